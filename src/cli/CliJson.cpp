#include "cli/CliJson.h"

#include "document/Cp950Codec.h"
#include "procedure/ProcedureStep.h"

#include <QJsonArray>

#include <stdexcept>

namespace CliJson {

namespace {

// Files hold code page 950: a character it has no code for would be stored
// as "?", so such text is refused rather than changed without a word.
QString storable(const QString &text, const QString &where)
{
    if (Cp950Codec::isAscii(text))
        return text;
    QString expected = text;
    expected.replace(QChar(0x00B5), QChar(0x03BC)); // the codec writes micro as mu
    if (Cp950Codec::decode(Cp950Codec::encode(text)) == expected)
        return text;
    for (const QChar c : text)
        if (Cp950Codec::decode(Cp950Codec::encode(QString(c))) != QString(c) && c != QChar(0x00B5))
            throw std::runtime_error(QStringLiteral("%1 holds \"%2\" (U+%3), which the file's code page cannot store")
                                         .arg(where, QString(c), QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0')))
                                         .toStdString());
    throw std::runtime_error(QStringLiteral("%1 holds text the file's code page cannot store").arg(where).toStdString());
}

// A stored row is its cells, each followed by a line feed. A row that does
// not end in one (not written by this program, but readable) stays one raw
// string, so that it goes back into the file as it was.
QJsonValue splitRow(const QString &joined)
{
    if (joined.isEmpty())
        return QJsonArray();
    if (!joined.endsWith(QLatin1Char('\n')))
        return joined;
    QStringList cells = joined.split(QLatin1Char('\n'));
    cells.removeLast();
    return QJsonArray::fromStringList(cells);
}

QString joinRow(const QJsonValue &row, int index)
{
    const QString where = QStringLiteral("row %1").arg(index + 1);
    if (row.isString())
        return storable(row.toString(), where);
    if (!row.isArray())
        throw std::runtime_error(QStringLiteral("row %1 is not an array of cells").arg(index + 1).toStdString());
    QString out;
    for (const QJsonValue &cell : row.toArray()) {
        if (!cell.isString())
            throw std::runtime_error(QStringLiteral("row %1 holds a cell that is not a string").arg(index + 1).toStdString());
        // A line feed inside a cell would split it in two in the file.
        if (cell.toString().contains(QLatin1Char('\n')))
            throw std::runtime_error(QStringLiteral("row %1 holds a cell with a line feed").arg(index + 1).toStdString());
        out += storable(cell.toString(), where);
        out += QLatin1Char('\n');
    }
    return out;
}

QStringList stringList(const QJsonObject &json, const char *key)
{
    const QJsonValue v = json.value(QLatin1String(key));
    if (v.isUndefined())
        return {};
    if (!v.isArray())
        throw std::runtime_error(QStringLiteral("\"%1\" must be an array of strings").arg(QLatin1String(key)).toStdString());
    QStringList out;
    for (const QJsonValue &s : v.toArray()) {
        if (!s.isString())
            throw std::runtime_error(QStringLiteral("\"%1\" must hold strings only").arg(QLatin1String(key)).toStdString());
        out << storable(s.toString(), QStringLiteral("\"%1\"").arg(QLatin1String(key)));
    }
    return out;
}

qint32 count(const QJsonObject &json, const char *key, qint32 fallback)
{
    const QJsonValue v = json.value(QLatin1String(key));
    if (v.isUndefined())
        return fallback;
    if (!v.isDouble() || v.toDouble() != double(qint32(v.toDouble())))
        throw std::runtime_error(QStringLiteral("\"%1\" must be an integer").arg(QLatin1String(key)).toStdString());
    return qint32(v.toDouble());
}

QString text(const QJsonObject &json, const char *key, const QString &fallback)
{
    const QJsonValue v = json.value(QLatin1String(key));
    if (v.isUndefined())
        return fallback;
    if (!v.isString())
        throw std::runtime_error(QStringLiteral("\"%1\" must be a string").arg(QLatin1String(key)).toStdString());
    return storable(v.toString(), QStringLiteral("\"%1\"").arg(QLatin1String(key)));
}

} // namespace

QStringList reportColumns(const DocumentData &procedure)
{
    QStringList t{QStringLiteral("Seq.")};
    for (int i = 0; i < procedure.stepCount; ++i) {
        const QString n = QString::number(i + 1);
        const QString first = procedure.stepColumns[ProcedureStep::FItem - 1].value(i);
        const QString second = procedure.stepColumns[ProcedureStep::SItem - 1].value(i);
        t << first + n << QStringLiteral("P/F");
        if (second != QLatin1String("off"))
            t << second + n << QStringLiteral("P/F");
    }
    return t;
}

QJsonObject toJson(DocumentNames::FileType type, const DocumentData &data, const DocumentData *procedure)
{
    QJsonObject o;
    switch (type) {
    case DocumentNames::FileType::Procedure: {
        o.insert(QStringLiteral("type"), QStringLiteral("procedure"));
        QJsonArray steps;
        const QStringList &headers = ProcedureStep::headers();
        for (int i = 0; i < data.stepCount; ++i) {
            QJsonObject step;
            step.insert(headers[0], QString::number(i + 1));
            for (int c = 1; c < ProcedureStep::ColumnCount; ++c)
                step.insert(headers[c], data.stepColumns[c - 1].value(i));
            steps.append(step);
        }
        o.insert(QStringLiteral("steps"), steps);
        break;
    }
    case DocumentNames::FileType::Report: {
        o.insert(QStringLiteral("type"), QStringLiteral("report"));
        o.insert(QStringLiteral("rowCount"), data.reportRowCount);
        if (procedure)
            o.insert(QStringLiteral("columns"), QJsonArray::fromStringList(reportColumns(*procedure)));
        QJsonArray rows;
        for (qsizetype i = 0; i < data.reportEntryCount(); ++i)
            rows.append(splitRow(data.reportEntry(i)));
        o.insert(QStringLiteral("rows"), rows);
        o.insert(QStringLiteral("dates"), QJsonArray::fromStringList(data.reportDates));
        o.insert(QStringLiteral("times"), QJsonArray::fromStringList(data.reportTimes));
        break;
    }
    case DocumentNames::FileType::Plot: {
        o.insert(QStringLiteral("type"), QStringLiteral("plot"));
        o.insert(QStringLiteral("rowCount"), data.plotRowCount);
        o.insert(QStringLiteral("columnCount"), data.plotColumnCount);
        o.insert(QStringLiteral("firstItem"), data.plotFirstItem);
        o.insert(QStringLiteral("secondItem"), data.plotSecondItem);
        o.insert(QStringLiteral("spare"), data.plotSpare);
        QJsonArray rows;
        for (const QString &r : data.plotRows)
            rows.append(splitRow(r));
        o.insert(QStringLiteral("rows"), rows);
        break;
    }
    case DocumentNames::FileType::None:
        break;
    }
    return o;
}

DocumentNames::FileType fromJson(const QJsonObject &json, DocumentData &data)
{
    const QString type = json.value(QStringLiteral("type")).toString();
    if (type == QLatin1String("procedure")) {
        const QJsonValue stepsValue = json.value(QStringLiteral("steps"));
        if (!stepsValue.isArray())
            throw std::runtime_error("\"steps\" must be an array of step objects");
        const QJsonArray steps = stepsValue.toArray();
        data.stepCount = qint32(steps.size());
        for (QStringList &column : data.stepColumns)
            column.clear();
        const QStringList &headers = ProcedureStep::headers();
        for (int i = 0; i < steps.size(); ++i) {
            if (!steps[i].isObject())
                throw std::runtime_error(QStringLiteral("step %1 is not an object").arg(i + 1).toStdString());
            const QJsonObject step = steps[i].toObject();
            for (int c = 1; c < ProcedureStep::ColumnCount; ++c) {
                const QJsonValue v = step.value(headers[c]);
                if (!v.isUndefined() && !v.isString())
                    throw std::runtime_error(
                        QStringLiteral("step %1: \"%2\" must be a string").arg(i + 1).arg(headers[c]).toStdString());
                data.stepColumns[c - 1] << storable(v.toString(), QStringLiteral("step %1 \"%2\"").arg(i + 1).arg(headers[c]));
            }
        }
        return DocumentNames::FileType::Procedure;
    }
    if (type == QLatin1String("report")) {
        const QJsonArray rows = json.value(QStringLiteral("rows")).toArray();
        data.reportRows.clear();
        for (int i = 0; i < rows.size(); ++i)
            data.reportRows.append(joinRow(rows[i], i));
        data.reportRowCount = count(json, "rowCount", qint32(rows.size()));
        data.reportDates = stringList(json, "dates");
        data.reportTimes = stringList(json, "times");
        return DocumentNames::FileType::Report;
    }
    if (type == QLatin1String("plot")) {
        const QJsonArray rows = json.value(QStringLiteral("rows")).toArray();
        data.plotRows.clear();
        for (int i = 0; i < rows.size(); ++i)
            data.plotRows << joinRow(rows[i], i);
        data.plotRowCount = count(json, "rowCount", qint32(rows.size()));
        data.plotColumnCount = count(json, "columnCount", 1);
        data.plotFirstItem = text(json, "firstItem", QStringLiteral("C"));
        data.plotSecondItem = text(json, "secondItem", QStringLiteral("off"));
        data.plotSpare = text(json, "spare", QStringLiteral("10"));
        return DocumentNames::FileType::Plot;
    }
    throw std::runtime_error("\"type\" must be \"procedure\", \"report\" or \"plot\"");
}

} // namespace CliJson
