#pragma once

#include "sheets/WorkbookWriter.h"

#include <QByteArray>
#include <QVector>

#include <array>
#include <functional>

class Prompter;
struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// An .xlsx workbook (one sheet unless more are added) on libxlsxwriter in constant-memory mode: each
// row goes to disk as soon as a later row is started, so a long result table
// costs no more memory than one row. The current row is held back until then
// so that its style can still be set after its cells.
class XlsxWorkbook : public WorkbookWriter
{
public:
    using Fill = std::function<void(WorkbookWriter &)>;
    // Shows a written workbook to the operator; false when it could not.
    using Opener = std::function<bool(const QString &path)>;

    static constexpr int MaxRows = 1048576;
    static constexpr int MaxColumns = 16384;
    static constexpr int MaxCellText = 32767;

    // Nothing is written to path before close(). The first sheet is named
    // firstSheet, or the library's default name when that is empty.
    explicit XlsxWorkbook(const QString &path, const QString &firstSheet = QString());
    // Without a successful close() the workbook is dropped unwritten.
    ~XlsxWorkbook() override;
    XlsxWorkbook(const XlsxWorkbook &) = delete;
    XlsxWorkbook &operator=(const XlsxWorkbook &) = delete;

    void centreColumn(int column) override;
    void writeRow(int row, const QStringList &cells) override;
    void boldRow(int row) override;
    void blueRow(int row) override;
    bool addSheet(const QString &name) override;
    void numberRow(int row) override;
    void numberCells(int row, const std::function<bool(int column)> &numeric) override;
    bool close() override;
    QString errorText() const override { return m_error; }

    // Fills a workbook and writes it to path through a temporary file beside
    // it, so path is only ever replaced by a complete workbook.
    static bool writeFile(const QString &path, const Fill &fill, QString *error);

    // What the export buttons do: a new workbook named stem-<time>.xlsx in the
    // temporary folder, opened at once in the desktop's spreadsheet program
    // for the operator to save. A failure to write, or no program to open it
    // with, is told through the prompter. Returns the path written, or an
    // empty string when nothing was written.
    static QString exportAndOpen(const QString &stem, const Fill &fill, Prompter &prompter,
                                 const Opener &opener = openInDesktop);

    // The two halves of exportAndOpen, for a workbook written elsewhere (on
    // another thread): a free name stem-<time>.xlsx in the temporary folder,
    // and the opening of the written file (or saying where it is).
    static QString exportPath(const QString &stem);
    static void openOrTell(const QString &path, Prompter &prompter, const Opener &opener = openInDesktop);

    // Hands the file to the desktop's default spreadsheet application. False
    // without a display or without such an application.
    static bool openInDesktop(const QString &path);

    // Caption of the export messages: the buttons' caption.
    static QString messageCaption();

private:
    bool startRow(int row);
    void flushRow();
    lxw_format *format(bool bold, bool blue, bool centred);
    void fail(const QString &text);
    bool isCentred(int column) const;

    lxw_workbook *m_workbook = nullptr;
    lxw_worksheet *m_sheet = nullptr;
    QString m_error;
    QByteArray m_path;

    // The held-back row: 0 when none.
    int m_row = 0;
    int m_lastFlushed = 0;
    QStringList m_cells;
    bool m_bold = false;
    bool m_blue = false;
    bool m_numbers = false;
    std::function<bool(int column)> m_numeric; // empty: every column

    QVector<int> m_centred;
    std::array<lxw_format *, 8> m_formats{};
};
