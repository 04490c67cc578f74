#pragma once

#include "sheets/XlsxWorkbook.h"
#include "reports/ReportPainter.h"

#include <QString>

struct BinPlan;
struct ColumnStatistics;
class ProcedureModel;
class Prompter;
class ResultTableModel;
class TableStatistics;
class WorkbookWriter;
struct Figure;

// The statistics in the outputs, always after what is there already: a
// sheet "Statistics" after the result sheet, a page after the report's last.
namespace StatisticsOutputs {

// The base unit of an item's numbers: F, H, O, S, degrees, or none (D, Q).
QString baseUnit(const QString &item);
// A reading-like figure in the step's unit, six significant digits
// ("100.012nF"); a plain number for Cp, Cpk; empty when undefined.
QString display(const ColumnStatistics &column, const Figure &figure);
QString displayIndex(const Figure &figure);
QString displayYield(const Figure &figure); // "97.5%"

// The sheet "Statistics": a title row, one row per result column in base
// units (numbers as numbers; an undefined figure leaves its cell empty and
// says why in the last column), then the rows and the first-pass yield.
void writeSheet(const TableStatistics &statistics, WorkbookWriter &out);

// The result export with the statistics sheet after it, and with a bin
// plan the sheet "Bins" after that.
void writeWorkbook(const ProcedureModel &procedure, const ResultTableModel &results, WorkbookWriter &out,
                   const BinPlan *bins = nullptr);
bool exportToFile(const ProcedureModel &procedure, const ResultTableModel &results, const QString &path,
                  QString *error);
QString exportAndOpen(const ProcedureModel &procedure, const ResultTableModel &results, Prompter &prompter,
                      const XlsxWorkbook::Opener &opener = XlsxWorkbook::openInDesktop);

// The statistics page(s) of a print, a snapshot of the figures now.
constexpr int ColumnsPerPage = 30;
ReportPainter::Appendix appendix(const TableStatistics &statistics);

} // namespace StatisticsOutputs
