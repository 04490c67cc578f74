#include "history/HistoryExport.h"

#include "history/HistoryRowSheets.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

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
        const QJsonObject row{{QStringLiteral("bin"), r.bin.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(r.bin)},
            {QStringLiteral("run"), r.runId}, {QStringLiteral("seq"), r.seq},
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
        // Only for a run on a meter profile other than the legacy one.
        if (!r.meterProfile.isEmpty())
            o.insert(QStringLiteral("meterProfile"), r.meterProfile);
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
    bool ok = false;
    switch (format) {
    case Format::Json: {
        Output o;
        ok = o.open(out, error) && jsonRows(db, filter, o, count, error);
        break;
    }
    case Format::Csv:
        ok = HistoryRowSheets::writeCsv(db, filter, out, count, keepGoing, error);
        break;
    case Format::Xlsx:
        ok = HistoryRowSheets::writeXlsx(db, filter, out, count, keepGoing, error);
        break;
    }
    if (!ok)
        return false;
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
