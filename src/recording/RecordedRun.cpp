#include "recording/RecordedRun.h"

#include "document/Document.h"
#include "document/DocumentNames.h"
#include "execution/ResultTableModel.h"
#include "history/HistoryDatabase.h"
#include "measurement/PassEvaluator.h"
#include "procedure/ProcedureModel.h"

#include "document/DocumentLayouts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>

#include <limits>

RecordedRun::RecordedRun() : m_rows(std::make_unique<ResultTableModel>()) {}

RecordedRun::~RecordedRun() = default;

int RecordedRun::rowCount() const
{
    return m_rows->resultCount();
}

bool RecordedRun::read(HistoryDatabase &db, const QString &runId, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    HistoryDatabase::Filter filter;
    filter.runId = runId;
    QVector<HistoryDatabase::RunSummary> runs;
    if (!db.listRuns(filter, runs, error))
        return false;
    if (runs.isEmpty())
        return fail(QStringLiteral("%1 holds no run %2.").arg(db.target().display(), runId));
    QString stepsJson;
    if (!db.runSteps(runId, stepsJson, error))
        return false;
    const QString damaged = QStringLiteral("The run %1 in %2 cannot be made into a report: its steps and rows do not fit together.")
                                .arg(runId, db.target().display());
    QJsonParseError parsed;
    const QJsonDocument doc = QJsonDocument::fromJson(stepsJson.toUtf8(), &parsed);
    if (parsed.error != QJsonParseError::NoError || !doc.isArray())
        return fail(damaged);
    QVector<ProcedureStep> steps;
    for (const QJsonValue &v : doc.array()) {
        const QJsonArray fields = v.toArray();
        if (fields.size() != ProcedureStep::ColumnCount)
            return fail(damaged);
        ProcedureStep s;
        for (int k = 0; k < ProcedureStep::ColumnCount; ++k)
            s.fields[size_t(k)] = fields[k].toString();
        s.picture = ProcedureStep::pictureFor(s[ProcedureStep::FItem], s[ProcedureStep::Circuit]);
        steps.append(s);
    }
    ProcedureModel procedure;
    procedure.setSteps(steps);
    const QStringList titles = ResultTableModel::stepColumnsFor(procedure);
    const int readings = int(titles.size()) / 2;

    auto rows = std::make_unique<ResultTableModel>();
    rows->setStepColumns(titles);
    QStringList dates, times;
    bool fits = true;
    QStringList cells;
    QVector<double> values;
    const bool ok = db.forEachRow(filter, [&](const HistoryDatabase::StoredRow &r) {
        if (r.texts.size() != readings || r.verdicts.size() != readings) {
            fits = false;
            return false;
        }
        cells.clear();
        values.clear();
        for (int i = 0; i < readings; ++i) {
            cells << r.texts[i] << r.verdicts[i];
            const std::optional<double> v = History::parseValue(r.values.value(i));
            values << (v ? *v : std::numeric_limits<double>::quiet_NaN());
        }
        const int image = r.verdict == PassEvaluator::passText() ? ResultTableModel::Passed : ResultTableModel::Failed;
        rows->appendRow(cells, image, values);
        // The row's moment in local time, as the run dated it.
        const QDateTime at = History::parseTime(r.measuredAt).toLocalTime();
        dates << PassEvaluator::dateText(at.date());
        times << PassEvaluator::timeText(at.time());
        return true;
    }, error);
    if (!ok)
        return false;
    if (!fits)
        return fail(damaged);
    rows->setReportDates(dates);
    rows->setReportTimes(times);
    m_procedureName = runs.first().procedure;
    m_started = History::parseTime(runs.first().started);
    m_steps = steps;
    m_rows = std::move(rows);
    return true;
}

void RecordedRun::takeInto(ProcedureModel &procedure, ResultTableModel &results)
{
    procedure.setSteps(m_steps);
    results.removeAllRows();
    results.setStepColumns(ResultTableModel::stepColumnsFor(procedure));
    results.adoptRows(*m_rows);
    results.setReportDates(m_rows->reportDates());
    results.setReportTimes(m_rows->reportTimes());
}

bool RecordedRun::save(const QString &procedurePath, const QString &reportPath, QString *error)
{
    ProcedureModel procedure;
    ResultTableModel results;
    takeInto(procedure, results);
    Document doc(&procedure, &results, nullptr);
    doc.onNewDocument();
    for (const QString &path : {procedurePath, reportPath}) {
        if (!doc.saveDocument(path)) {
            if (error) {
                const QString why = doc.lastError();
                *error = why.contains(path) ? why : QStringLiteral("Cannot write %1: %2").arg(path, why);
            }
            return false;
        }
    }
    return true;
}

QString RecordedRun::reportName(const QString &procedureName, const QDateTime &startedUtc)
{
    QString stem = procedureName;
    stem.remove(QStringLiteral(".pro"));
    return stem + QLatin1Char('_') + DocumentNames::timeStamp(startedUtc.toLocalTime()) + QStringLiteral(".rpt");
}

namespace RecordedSweep {

bool savePlot(HistoryDatabase &db, const QString &sweepId, const QString &path, QString *error)
{
    QVector<HistoryDatabase::SweepSummary> sweeps;
    if (!db.listSweeps(sweeps, error))
        return false;
    const auto it = std::find_if(sweeps.cbegin(), sweeps.cend(), [&](const auto &s) { return s.id == sweepId; });
    if (it == sweeps.cend()) {
        if (error)
            *error = QStringLiteral("%1 holds no sweep %2.").arg(db.target().display(), sweepId);
        return false;
    }
    QVector<History::PointRecord> points;
    if (!db.sweepPoints(sweepId, points, error))
        return false;
    const QJsonObject settings = QJsonDocument::fromJson(it->settings.toUtf8()).object();
    DocumentData data;
    data.plotFirstItem = settings.value(QStringLiteral("firstItem")).toString(data.plotFirstItem);
    data.plotSecondItem = settings.value(QStringLiteral("secondItem")).toString(data.plotSecondItem);
    const bool second = data.plotSecondItem != QLatin1String("off");
    // The swept value, then the first line and, with a second item, the second.
    data.plotColumnCount = second ? 3 : 2;
    for (const History::PointRecord &p : points)
        data.plotRows << p.x + QLatin1Char('\n') + p.first + QLatin1Char('\n') + (second ? p.second : QString())
                + QStringLiteral("\n\n\n");
    data.plotRowCount = qint32(data.plotRows.size());
    QSaveFile file(path);
    QString why;
    if (!file.open(QIODevice::WriteOnly) || !DocumentLayouts::write(DocumentNames::FileType::Plot, data, &file, &why)
        || !file.commit()) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2.").arg(path, why.isEmpty() ? file.errorString() : why);
        return false;
    }
    return true;
}

QString describe(const QString &started, const QString &station, const QString &operatorName, const QString &settings,
                 qint64 points)
{
    const QJsonObject s = QJsonDocument::fromJson(settings.toUtf8()).object();
    auto t = [&](const char *key) { return s.value(QLatin1String(key)).toString(); };
    QString items = t("firstItem");
    if (!t("secondItem").isEmpty() && t("secondItem") != QLatin1String("off"))
        items += QLatin1Char('/') + t("secondItem");
    const QDateTime at = History::parseTime(started).toLocalTime();
    return QStringLiteral("%1  %2 %3 %4 to %5 %6, %7 points  (%8, %9)")
        .arg(at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), items, t("kind"), t("start"), t("end"), t("unit"))
        .arg(points)
        .arg(station, operatorName);
}

} // namespace RecordedSweep
