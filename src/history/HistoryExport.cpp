#include "history/HistoryExport.h"

#include "sheets/CsvWriter.h"
#include "sheets/XlsxWorkbook.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QVarLengthArray>

#include <cstdio>

using namespace History;

namespace HistoryExport {

namespace {

QJsonValue orNull(const QString &s)
{
    return s.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(s);
}

QString tsvField(QString s)
{
    s.replace(QLatin1Char('\t'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return s;
}

// Result columns of all selected runs: by step and item, in order of appearance.
struct Layout
{
    QVector<Column> columns;
    QHash<QString, int> index;
    static QString key(const Column &c) { return QString::number(c.step) + QLatin1Char('\x1f') + c.item; }
    QStringList headers() const
    {
        QStringList h = {QStringLiteral("run"), QStringLiteral("seq"), QStringLiteral("measuredAt"), QStringLiteral("verdict")};
        for (const Column &c : columns) {
            const QString name = c.item + QString::number(c.step);
            h << name << name + QStringLiteral(" value") << name + QStringLiteral(" P/F");
        }
        return h;
    }
};

bool layoutOf(HistoryDatabase &db, const HistoryDatabase::Filter &filter, Layout &layout, QString *error)
{
    QVector<HistoryDatabase::RunSummary> runs;
    if (!db.listRuns(filter, runs, error))
        return false;
    // Oldest first, as the rows come.
    for (auto it = runs.crbegin(); it != runs.crend(); ++it) {
        QVector<Column> cols;
        if (!db.runColumns(it->id, cols, error))
            return false;
        for (const Column &c : cols) {
            const QString k = Layout::key(c);
            if (!layout.index.contains(k)) {
                layout.index.insert(k, int(layout.columns.size()));
                layout.columns.append(c);
            }
        }
    }
    return true;
}

// The row's cells placed in the layout's columns: text, value, verdict each.
QStringList placed(const Layout &layout, const HistoryDatabase::StoredRow &r, QVector<int> &placement)
{
    QStringList out(int(layout.columns.size()) * 3);
    const QVector<Column> &cols = *r.columns;
    placement.resize(cols.size());
    for (int i = 0; i < cols.size(); ++i) {
        const int at = layout.index.value(Layout::key(cols[i]), -1);
        placement[i] = at;
        if (at < 0)
            continue;
        out[3 * at] = r.texts.value(i);
        out[3 * at + 1] = r.values.value(i);
        out[3 * at + 2] = r.verdicts.value(i);
    }
    return out;
}

class Output
{
public:
    // Everything written goes to bytes instead of a file.
    void toBytes(QByteArray *bytes) { m_bytes = bytes; }
    bool open(const QString &path, QString *error)
    {
        if (m_bytes)
            return true;
        if (path == QLatin1String("-")) {
            m_stdout = true;
            return true;
        }
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::WriteOnly)) {
            if (error)
                *error = QStringLiteral("Cannot write %1: %2.").arg(path, m_file.errorString());
            return false;
        }
        return true;
    }
    void write(const QByteArray &b)
    {
        m_buffer += b;
        if (m_buffer.size() > (1 << 16))
            drain();
    }
    bool close(QString *error)
    {
        drain();
        if (m_bytes)
            return true;
        if (m_stdout) {
            std::fflush(stdout);
            return true;
        }
        if (!m_file.commit()) {
            if (error)
                *error = QStringLiteral("Cannot write %1: %2.").arg(m_file.fileName(), m_file.errorString());
            return false;
        }
        return true;
    }

private:
    void drain()
    {
        if (m_bytes)
            m_bytes->append(m_buffer);
        else if (m_stdout)
            std::fwrite(m_buffer.constData(), 1, size_t(m_buffer.size()), stdout);
        else
            m_file.write(m_buffer);
        m_buffer.clear();
    }
    bool m_stdout = false;
    QByteArray *m_bytes = nullptr;
    QSaveFile m_file;
    QByteArray m_buffer;
};

// The JSON array of the selected rows, as qel-cli prints it.
bool jsonRows(HistoryDatabase &db, const HistoryDatabase::Filter &filter, Output &o, qint64 &count, QString *error,
              int afterSeq = 0, int limit = -1)
{
    o.write("[");
    const bool ok = db.forEachRow(filter, [&](const HistoryDatabase::StoredRow &r) {
        QJsonArray cells;
        for (int i = 0; i < r.columns->size(); ++i) {
            const Column &c = r.columns->at(i);
            const std::optional<double> v = parseValue(r.values.value(i));
            cells.append(QJsonObject{{QStringLiteral("step"), c.step}, {QStringLiteral("item"), c.item},
                {QStringLiteral("text"), r.texts.value(i)},
                {QStringLiteral("value"), v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null)},
                {QStringLiteral("verdict"), r.verdicts.value(i)}});
        }
        const QJsonObject row{{QStringLiteral("run"), r.runId}, {QStringLiteral("seq"), r.seq},
            {QStringLiteral("measuredAt"), r.measuredAt}, {QStringLiteral("verdict"), r.verdict},
            {QStringLiteral("cells"), cells}, {QStringLiteral("serial"), orNull(r.serial)}};
        o.write(count ? ",\n" : "\n");
        o.write(QJsonDocument(row).toJson(QJsonDocument::Compact));
        ++count;
        return true;
    }, error, afterSeq, limit);
    o.write(count ? "\n]\n" : "]\n");
    return ok && o.close(error);
}

QStringView listed(const QStringList &list, int i)
{
    return i < list.size() ? QStringView(list.at(i)) : QStringView();
}

// The CSV sheet of the selected rows: the header, then a line per row with
// its cells in the layout's columns (empty where its run has none).
bool csvRows(HistoryDatabase &db, const HistoryDatabase::Filter &filter, const Layout &layout, const QString &out,
             qint64 &count, const std::function<bool()> &stop, const bool &stopped, QString *error)
{
    QSaveFile file;
    QFile console;
    QIODevice *device = &file;
    if (out == QLatin1String("-")) {
        console.open(stdout, QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
        device = &console;
    } else {
        file.setFileName(out);
        if (!file.open(QIODevice::WriteOnly)) {
            if (error)
                *error = QStringLiteral("Cannot write %1: %2.").arg(out, file.errorString());
            return false;
        }
    }
    CsvWriter sheet(device, {}, CsvWriter::Quote::SeparatorsOnly);
    int line = 1;
    sheet.writeRow(line, layout.headers());
    // Per run, where each layout column's cell sits in the row (-1: none).
    const QVector<Column> *seen = nullptr;
    QVector<int> source;
    QVarLengthArray<QStringView, 64> cells;
    QString seq;
    const bool ok = db.forEachRow(filter, [&](const HistoryDatabase::StoredRow &r) {
        if (stop())
            return false;
        if (r.columns != seen) {
            seen = r.columns;
            source.fill(-1, layout.columns.size());
            for (int i = 0; i < seen->size(); ++i) {
                const int at = layout.index.value(Layout::key(seen->at(i)), -1);
                if (at >= 0)
                    source[at] = i;
            }
        }
        const bool escaped = r.rawTexts.contains(QLatin1Char('\\')) || r.rawVerdicts.contains(QLatin1Char('\\'));
        const QStringList texts = escaped ? splitList(r.rawTexts) : QStringList();
        const QStringList verdicts = escaped ? splitList(r.rawVerdicts) : QStringList();
        const QList<QStringView> t = QStringView(r.rawTexts).split(QLatin1Char('\t'));
        const QList<QStringView> v = QStringView(r.rawValues).split(QLatin1Char('\t'));
        const QList<QStringView> p = QStringView(r.rawVerdicts).split(QLatin1Char('\t'));
        seq = QString::number(r.seq);
        cells.clear();
        cells << r.runId << seq << r.measuredAt << r.verdict;
        for (int k = 0; k < source.size(); ++k) {
            const int i = source[k];
            if (i < 0) {
                cells << QStringView() << QStringView() << QStringView();
                continue;
            }
            cells << (escaped ? listed(texts, i) : t.value(i)) << v.value(i) << (escaped ? listed(verdicts, i) : p.value(i));
        }
        sheet.writeRow(++line, cells.constData(), cells.size());
        ++count;
        return true;
    }, error, 0, -1, true);
    if (!ok || !sheet.close() || (device == &file ? !file.commit() : !console.flush()) || stopped) {
        if (stopped) {
            QFile::remove(out);
            if (error)
                *error = QStringLiteral("The export was stopped.");
        } else if (ok && error) {
            *error = QStringLiteral("Cannot write %1: %2.").arg(out, device->errorString());
        }
        return false;
    }
    if (device == &console)
        std::fflush(stdout);
    return true;
}

// The workbook of the selected rows, sheet "Rows": seq and the values as
// numbers, every other cell as text.
bool xlsxRows(HistoryDatabase &db, const HistoryDatabase::Filter &filter, const Layout &layout, const QString &out,
              qint64 &count, const std::function<bool()> &stop, const bool &stopped, QString *error)
{
    // Written beside the target and renamed, as every save.
    const QFileInfo target(out);
    const QString part = target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".part");
    bool ok = false;
    bool closed = false;
    {
        XlsxWorkbook book(part, QStringLiteral("Rows"));
        if (!book.errorText().isEmpty()) {
            if (error)
                *error = QStringLiteral("Cannot write %1.").arg(out);
            return false;
        }
        book.writeRow(1, layout.headers());
        const auto numeric = [](int column) { return column == 1 || (column >= 4 && (column - 4) % 3 == 1); };
        QVector<int> placement;
        int line = 1;
        ok = db.forEachRow(filter, [&](const HistoryDatabase::StoredRow &r) {
            if (stop())
                return false;
            ++line;
            book.writeRow(line, QStringList{r.runId, QString::number(r.seq), r.measuredAt, r.verdict}
                                    + placed(layout, r, placement));
            book.numberCells(line, numeric);
            ++count;
            return line < XlsxWorkbook::MaxRows;
        }, error);
        closed = book.close();
    }
    if (!ok || !closed || stopped || std::rename(QFile::encodeName(part).constData(), QFile::encodeName(out).constData()) != 0) {
        QFile::remove(part);
        if (error && stopped)
            *error = QStringLiteral("The export was stopped.");
        else if (error && ok)
            *error = QStringLiteral("Cannot write %1.").arg(out);
        return false;
    }
    return true;
}

} // namespace

QByteArray runsJson(const QVector<HistoryDatabase::RunSummary> &runs)
{
    QJsonArray a;
    for (const auto &r : runs) {
        QJsonObject o;
        o.insert(QStringLiteral("id"), r.id);
        o.insert(QStringLiteral("started"), r.started);
        o.insert(QStringLiteral("finished"), orNull(r.finished));
        o.insert(QStringLiteral("station"), r.station);
        o.insert(QStringLiteral("operator"), r.operatorName);
        o.insert(QStringLiteral("meter"), r.meter);
        o.insert(QStringLiteral("procedure"), r.procedure);
        o.insert(QStringLiteral("lot"), r.lot);
        o.insert(QStringLiteral("rows"), double(r.rows));
        o.insert(QStringLiteral("fails"), double(r.fails));
        o.insert(QStringLiteral("outcome"), orNull(r.outcome));
        // Only where rows are missing: every other run keeps its eleven keys.
        if (r.unrecorded > 0)
            o.insert(QStringLiteral("unrecorded"), double(r.unrecorded));
        a.append(o);
    }
    return QJsonDocument(a).toJson(QJsonDocument::Indented);
}

QByteArray runsTsv(const QVector<HistoryDatabase::RunSummary> &runs)
{
    QByteArray out = "id\tstarted\tfinished\tstation\toperator\tmeter\tprocedure\tlot\trows\tfails\toutcome\n";
    for (const auto &r : runs) {
        const QStringList f = {r.id, r.started, r.finished, r.station, r.operatorName, r.meter, r.procedure, r.lot,
            QString::number(r.rows), QString::number(r.fails), r.outcome};
        QStringList clean;
        for (const QString &s : f)
            clean << tsvField(s);
        out += clean.join(QLatin1Char('\t')).toUtf8() + '\n';
    }
    return out;
}

bool writeRows(HistoryDatabase &db, const HistoryDatabase::Filter &filter, Format format, const QString &out, qint64 *rows,
               QString *error, const std::function<bool(qint64 rows)> &keepGoing)
{
    qint64 count = 0;
    bool stopped = false;
    auto stop = [&] {
        if (keepGoing && count % 256 == 0 && !keepGoing(count))
            stopped = true;
        return stopped;
    };
    if (format == Format::Json) {
        Output o;
        if (!o.open(out, error) || !jsonRows(db, filter, o, count, error))
            return false;
    } else {
        Layout layout;
        if (!layoutOf(db, filter, layout, error))
            return false;
        if (format == Format::Csv) {
            if (!csvRows(db, filter, layout, out, count, stop, stopped, error))
                return false;
        } else if (!xlsxRows(db, filter, layout, out, count, stop, stopped, error)) {
            return false;
        }
    }
    if (rows)
        *rows = count;
    return true;
}

bool rowsJson(HistoryDatabase &db, const HistoryDatabase::Filter &filter, QByteArray &out, QString *error)
{
    Output o;
    o.toBytes(&out);
    qint64 count = 0;
    return jsonRows(db, filter, o, count, error);
}

bool rowsJson(HistoryDatabase &db, const HistoryDatabase::Filter &filter, int afterSeq, int limit, QByteArray &out,
              qint64 *rows, QString *error)
{
    Output o;
    o.toBytes(&out);
    qint64 count = 0;
    const bool ok = jsonRows(db, filter, o, count, error, afterSeq, limit);
    if (rows)
        *rows = count;
    return ok;
}

} // namespace HistoryExport
