#pragma once

#include "sheets/XlsxWorkbook.h"

#include <QString>
#include <QStringList>
#include <QVector>

class PlotterState;
class Prompter;
class WorkbookWriter;

// What the sweep export reads from the Plotter View: the setup controls'
// texts as shown, and the result list.
struct SweepExportInput
{
    QString sweepKind = QStringLiteral("Freq."); // "Freq." or "Volt."
    QString firstItem = QStringLiteral("C");
    QString start;
    QString end;
    QString points;
    QString sweepUnit;
    QString fixedFrequency;
    QString fixedFrequencyUnit;
    QString fixedLevel;
    QString fixedLevelUnit;
    // Titles of the result list's line columns (C1, Q2, ...), line 1 first:
    // the lines that hold data now.
    QStringList lineTitles;
    // The result list's rows, cells of columns 0 ("Step") to 5; cells of
    // line columns that are not there are empty.
    QVector<QStringList> rows;

    bool isVoltageSweep() const;
};

// The sweep data as a sheet: row 1 the column titles (blue, bold), rows 2 to
// 5 the sweep settings under every line (bold), row 6 the units, then the
// result list with every value a plain number in base units.
class SweepExport
{
public:
    // The unit of a cell: the text from its first unit letter on, or the
    // whole text when it has none (20.000000Hz gives Hz, 123.450000pF F).
    static QString unitOf(const QString &cell);
    // The cell without its unit, scaled by its prefix and written with "%E"
    // and a three-digit exponent (1.500000KHz gives 1.500000E+003); without
    // a prefix the text before the unit is kept as it is.
    static QString plainNumber(const QString &cell);

    static void write(const SweepExportInput &input, WorkbookWriter &out);

    // For qel-cli: the workbook written to path, replacing it only when
    // complete.
    static bool exportToFile(const SweepExportInput &input, const QString &path, QString *error);

    // The Plotter View's "Export to Excel": a new workbook opened in the
    // desktop's spreadsheet application. Returns the file written, or empty.
    static QString exportAndOpen(const SweepExportInput &input, Prompter &prompter,
                                 const XlsxWorkbook::Opener &opener = XlsxWorkbook::openInDesktop);

    // What the Plotter View shows now: its setup texts, its line columns and
    // rows (cells of columns not shown are left out).
    static SweepExportInput inputFrom(const PlotterState &state);
    static bool exportToFile(const PlotterState &state, const QString &path, QString *error);
    static QString exportAndOpen(const PlotterState &state, Prompter &prompter,
                                 const XlsxWorkbook::Opener &opener = XlsxWorkbook::openInDesktop);
};
