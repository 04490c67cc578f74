#pragma once

#include "sheets/WorkbookWriter.h"

#include <QByteArray>
#include <functional>

class QIODevice;

// A sheet as comma-separated values: UTF-8, one line per row ended by CR LF,
// a cell quoted (inner quotes doubled) when it holds a comma, a quote, a line
// break or (unless told otherwise) space at either end. Styles have no place
// in the format; rows the filter refuses are left out.
class CsvWriter : public WorkbookWriter
{
public:
    using RowFilter = std::function<bool(int row)>;
    // EdgeSpaces also quotes a cell with space at either end; the results
    // history's sheets have always left such cells bare.
    enum class Quote { EdgeSpaces, SeparatorsOnly };
    explicit CsvWriter(QIODevice *out, RowFilter keep = {}, Quote quote = Quote::EdgeSpaces);

    void centreColumn(int) override {}
    void writeRow(int row, const QStringList &cells) override;
    // The same for cells that need not be strings of their own.
    void writeRow(int row, const QStringView *cells, qsizetype count);
    void boldRow(int) override {}
    void blueRow(int) override {}
    bool close() override;
    QString errorText() const override { return m_error; }

    static QByteArray line(const QStringList &cells);

    using Fill = std::function<void(WorkbookWriter &)>;
    // Fills a sheet into path through a file beside it that replaces path
    // only when complete; an exception from fill leaves no file and passes on.
    static bool writeFile(const QString &path, const RowFilter &keep, const Fill &fill, QString *error);

private:
    void flush();

    QIODevice *m_out;
    RowFilter m_keep;
    Quote m_quote;
    QString m_line;
    QByteArray m_buffer;
    int m_lastRow = 0;
    QString m_error;
};
