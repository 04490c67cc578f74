#include "execution/CsvWriter.h"

#include <QDir>
#include <QIODevice>
#include <QSaveFile>

namespace {

bool needsQuotes(const QString &cell)
{
    if (cell.isEmpty())
        return false;
    if (cell.front().isSpace() || cell.back().isSpace())
        return true;
    for (QChar c : cell)
        if (c == u',' || c == u'"' || c == u'\n' || c == u'\r')
            return true;
    return false;
}

void appendCell(QByteArray &out, const QString &cell)
{
    if (!needsQuotes(cell)) {
        out += cell.toUtf8();
        return;
    }
    QString quoted = cell;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    out += '"';
    out += quoted.toUtf8();
    out += '"';
}

// Rows go to the device in blocks this size rather than one write each.
constexpr qsizetype BufferBytes = 1 << 16;

} // namespace

CsvWriter::CsvWriter(QIODevice *out, RowFilter keep) : m_out(out), m_keep(std::move(keep)) {}

QByteArray CsvWriter::line(const QStringList &cells)
{
    QByteArray out;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            out += ',';
        appendCell(out, cells.at(i));
    }
    out += "\r\n";
    return out;
}

void CsvWriter::writeRow(int row, const QStringList &cells)
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
    m_buffer += line(cells);
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
