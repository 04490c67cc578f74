#include "sheets/XlsxWorkbook.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

QString lxwText(lxw_error error)
{
    return QString::fromUtf8(lxw_strerror(error));
}

// Files we create get the permissions the user's umask asks for, not the
// private ones of a temporary file.
void applyUmask(const QString &path)
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(QFile::encodeName(path).constData(), 0666 & ~mask);
}

} // namespace

XlsxWorkbook::XlsxWorkbook(const QString &path, const QString &firstSheet)
    : m_path(QFile::encodeName(path))
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    m_workbook = workbook_new_opt(m_path.constData(), &options);
    if (!m_workbook) {
        fail(QStringLiteral("The spreadsheet library could not start a workbook."));
        return;
    }
    const QByteArray name = firstSheet.toUtf8();
    m_sheet = workbook_add_worksheet(m_workbook, firstSheet.isEmpty() ? nullptr : name.constData());
    if (!m_sheet)
        fail(QStringLiteral("The spreadsheet library could not add a sheet (no temporary file?)."));
}

XlsxWorkbook::~XlsxWorkbook()
{
    if (m_workbook)
        lxw_workbook_free(m_workbook);
}

void XlsxWorkbook::fail(const QString &text)
{
    if (m_error.isEmpty())
        m_error = text;
}

bool XlsxWorkbook::isCentred(int column) const
{
    return m_centred.contains(column);
}

lxw_format *XlsxWorkbook::format(bool bold, bool blue, bool centred)
{
    if (!bold && !blue && !centred)
        return nullptr;
    const int key = (bold ? 1 : 0) | (blue ? 2 : 0) | (centred ? 4 : 0);
    lxw_format *&f = m_formats[size_t(key)];
    if (!f) {
        f = workbook_add_format(m_workbook);
        if (bold)
            format_set_bold(f);
        if (blue)
            format_set_font_color(f, LXW_COLOR_BLUE);
        if (centred)
            format_set_align(f, LXW_ALIGN_CENTER);
    }
    return f;
}

void XlsxWorkbook::centreColumn(int column)
{
    if (!m_error.isEmpty())
        return;
    if (column < 0 || column >= MaxColumns) {
        fail(QStringLiteral("There is no column %1 in a sheet.").arg(column + 1));
        return;
    }
    if (m_row != 0 || m_lastFlushed != 0) {
        fail(QStringLiteral("A column must be centred before the first row is written."));
        return;
    }
    if (isCentred(column))
        return;
    m_centred.append(column);
    // The column format centres the cells nobody writes; written cells get a
    // format of their own that includes the centring.
    lxw_error e = worksheet_set_column(m_sheet, lxw_col_t(column), lxw_col_t(column), LXW_DEF_COL_WIDTH,
                                       format(false, false, true));
    if (e != LXW_NO_ERROR)
        fail(lxwText(e));
}

// Makes row the held-back row, writing out the one before. False when the
// row cannot be written any more, or at all.
bool XlsxWorkbook::startRow(int row)
{
    if (!m_error.isEmpty())
        return false;
    if (row < 1 || row > MaxRows) {
        fail(QStringLiteral("A sheet has no row %1: it holds rows 1 to %2.").arg(row).arg(MaxRows));
        return false;
    }
    if (row == m_row)
        return true;
    if (row < m_row || row <= m_lastFlushed) {
        fail(QStringLiteral("Row %1 came after row %2 had been written.").arg(row).arg(qMax(m_row, m_lastFlushed)));
        return false;
    }
    flushRow();
    m_row = row;
    return m_error.isEmpty();
}

void XlsxWorkbook::writeRow(int row, const QStringList &cells)
{
    if (!startRow(row))
        return;
    if (cells.size() > MaxColumns) {
        fail(QStringLiteral("Row %1 has %2 cells; a sheet holds %3 columns.").arg(row).arg(cells.size()).arg(MaxColumns));
        return;
    }
    // Writing a row again overwrites cell by cell, as in a spreadsheet.
    if (m_cells.size() <= cells.size()) {
        m_cells = cells;
    } else {
        for (int i = 0; i < cells.size(); ++i)
            m_cells[i] = cells[i];
    }
}

void XlsxWorkbook::boldRow(int row)
{
    if (startRow(row))
        m_bold = true;
}

void XlsxWorkbook::blueRow(int row)
{
    if (startRow(row))
        m_blue = true;
}

void XlsxWorkbook::numberRow(int row)
{
    if (startRow(row)) {
        m_numbers = true;
        m_numeric = nullptr;
    }
}

void XlsxWorkbook::numberCells(int row, const std::function<bool(int column)> &numeric)
{
    if (startRow(row)) {
        m_numbers = true;
        m_numeric = numeric;
    }
}

bool XlsxWorkbook::addSheet(const QString &name)
{
    if (!m_error.isEmpty())
        return false;
    flushRow();
    lxw_worksheet *sheet = workbook_add_worksheet(m_workbook, name.toUtf8().constData());
    if (!sheet) {
        fail(QStringLiteral("The spreadsheet library could not add the sheet \"%1\".").arg(name));
        return false;
    }
    m_sheet = sheet;
    m_lastFlushed = 0;
    m_centred.clear();
    return true;
}

void XlsxWorkbook::flushRow()
{
    if (m_row == 0)
        return;
    const lxw_row_t r = lxw_row_t(m_row - 1);
    if (lxw_format *rowFormat = format(m_bold, m_blue, false)) {
        lxw_error e = worksheet_set_row(m_sheet, r, LXW_DEF_ROW_HEIGHT, rowFormat);
        if (e != LXW_NO_ERROR)
            fail(lxwText(e));
    }
    for (int c = 0; c < m_cells.size() && m_error.isEmpty(); ++c) {
        const QString &text = m_cells.at(c);
        lxw_format *f = format(m_bold, m_blue, isCentred(c));
        lxw_error e = LXW_NO_ERROR;
        if (text.isEmpty()) {
            if (f)
                e = worksheet_write_blank(m_sheet, r, lxw_col_t(c), f);
        } else {
            bool isNumber = false;
            const double number = m_numbers && (!m_numeric || m_numeric(c)) ? text.toDouble(&isNumber) : 0.0;
            if (isNumber)
                e = worksheet_write_number(m_sheet, r, lxw_col_t(c), number, f);
            else
                e = worksheet_write_string(m_sheet, r, lxw_col_t(c), text.toUtf8().constData(), f);
            if (e == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED) {
                fail(QStringLiteral("The text of row %1, column %2 has %3 characters; a cell holds at most %4.")
                         .arg(m_row)
                         .arg(c + 1)
                         .arg(text.size())
                         .arg(MaxCellText));
                break;
            }
        }
        if (e != LXW_NO_ERROR)
            fail(QStringLiteral("Row %1, column %2: %3").arg(m_row).arg(c + 1).arg(lxwText(e)));
    }
    m_lastFlushed = m_row;
    m_row = 0;
    m_cells.clear();
    m_bold = false;
    m_blue = false;
    m_numbers = false;
    m_numeric = nullptr;
}

bool XlsxWorkbook::close()
{
    if (!m_workbook)
        return false;
    if (m_error.isEmpty())
        flushRow();
    if (!m_error.isEmpty()) {
        lxw_workbook_free(m_workbook);
        m_workbook = nullptr;
        return false;
    }
    lxw_error e = workbook_close(m_workbook); // frees the workbook too
    m_workbook = nullptr;
    if (e != LXW_NO_ERROR) {
        fail(lxwText(e));
        return false;
    }
    return true;
}

bool XlsxWorkbook::writeFile(const QString &path, const Fill &fill, QString *error)
{
    const QFileInfo target(path);
    QTemporaryFile part(target.absolutePath() + QLatin1String("/.") + target.fileName()
                        + QLatin1String(".XXXXXX"));
    if (!part.open()) {
        if (error)
            *error = QStringLiteral("Cannot create a file in %1: %2")
                         .arg(QDir::toNativeSeparators(target.absolutePath()), part.errorString());
        return false;
    }
    part.close();

    XlsxWorkbook workbook(part.fileName());
    fill(workbook);
    if (!workbook.close()) {
        if (error)
            *error = workbook.errorText();
        return false; // the temporary file goes with `part`
    }
    const QByteArray from = QFile::encodeName(part.fileName());
    const QByteArray to = QFile::encodeName(target.absoluteFilePath());
    if (std::rename(from.constData(), to.constData()) != 0) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2")
                         .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    part.setAutoRemove(false);
    applyUmask(target.absoluteFilePath());
    return true;
}
