#include "sheets/CsvWriter.h"

#include <QDir>
#include <QIODevice>
#include <QSaveFile>
#include <QVarLengthArray>

namespace {

bool needsQuotes(QStringView cell, CsvWriter::Quote quote)
{
    if (cell.isEmpty())
        return false;
    if (quote == CsvWriter::Quote::EdgeSpaces && (cell.front().isSpace() || cell.back().isSpace()))
        return true;
    for (QChar c : cell)
        if (c == u',' || c == u'"' || c == u'\n' || c == u'\r')
            return true;
    return false;
}

void appendCell(QString &out, QStringView cell, CsvWriter::Quote quote)
{
    if (!needsQuotes(cell, quote)) {
        out += cell;
        return;
    }
    out += QLatin1Char('"');
    for (QChar c : cell) {
        if (c == u'"')
            out += QLatin1Char('"');
        out += c;
    }
    out += QLatin1Char('"');
}

void appendLine(QString &out, const QStringView *cells, qsizetype count, CsvWriter::Quote quote)
{
    for (qsizetype i = 0; i < count; ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        appendCell(out, cells[i], quote);
    }
    out += QLatin1String("\r\n");
}

// Rows go to the device in blocks this size rather than one write each.
constexpr qsizetype BufferBytes = 1 << 16;

} // namespace

CsvWriter::CsvWriter(QIODevice *out, RowFilter keep, Quote quote)
    : m_out(out), m_keep(std::move(keep)), m_quote(quote)
{
}

QByteArray CsvWriter::line(const QStringList &cells)
{
    QVarLengthArray<QStringView, 64> views(cells.begin(), cells.end());
    QString out;
    appendLine(out, views.constData(), views.size(), Quote::EdgeSpaces);
    return out.toUtf8();
}

void CsvWriter::writeRow(int row, const QStringList &cells)
{
    QVarLengthArray<QStringView, 64> views(cells.begin(), cells.end());
    writeRow(row, views.constData(), views.size());
}

void CsvWriter::writeRow(int row, const QStringView *cells, qsizetype count)
{
    if (!m_error.isEmpty())
        return;
    if (row <= m_lastRow) {
        m_error = QStringLiteral("Row %1 came after row %2 had been written.").arg(row).arg(m_lastRow);
        return;
    }
    m_lastRow = row;
    if (m_keep && !m_keep(row))
        return;
    m_line.clear();
    appendLine(m_line, cells, count, m_quote);
    m_buffer += m_line.toUtf8();
    if (m_buffer.size() >= BufferBytes)
        flush();
}

void CsvWriter::flush()
{
    if (m_buffer.isEmpty() || !m_error.isEmpty())
        return;
    if (m_out->write(m_buffer) != m_buffer.size())
        m_error = m_out->errorString();
    m_buffer.clear();
}

bool CsvWriter::close()
{
    flush();
    return m_error.isEmpty();
}

bool CsvWriter::writeFile(const QString &path, const RowFilter &keep, const Fill &fill, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    CsvWriter sheet(&file, keep);
    fill(sheet);
    if (!sheet.close() || !file.commit()) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2")
                         .arg(QDir::toNativeSeparators(path), sheet.errorText().isEmpty() ? file.errorString()
                                                                                        : sheet.errorText());
        return false;
    }
    return true;
}
