#include "history/HistoryWriter.h"

#include "history/HistoryDatabase.h"
#include "history/HistoryForwarder.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace {

// Between two tries of a database that could not be written, and how long a
// try waits for another program's lock (a bench must not stall on it).
constexpr int RetryMs = 1000;
constexpr int RetryBusyMs = 100;
constexpr int BusyMs = 1500;

} // namespace

HistoryWriter::HistoryWriter(QObject *parent) : QObject(parent), m_retry(new QTimer(this))
{
    m_clock.start();
    m_retry->setInterval(RetryMs);
    connect(m_retry, &QTimer::timeout, this, [this] {
        if (m_unclosed.isEmpty() && (!m_run || m_run->stored))
            m_retry->stop();
        else
            retryNow();
    });
}

HistoryWriter::~HistoryWriter()
{
    stopForwarder();
}

void HistoryWriter::stopForwarder()
{
    if (!m_thread)
        return;
    QMetaObject::invokeMethod(m_forwarder, [f = m_forwarder] { f->stop(); }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_forwarder = nullptr;
}

bool HistoryWriter::setTarget(const HistoryTarget &target)
{
    stopForwarder();
    m_db.reset();
    m_target = target;
    m_pending = 0;
    m_reachable = false;
    m_progressSeen = false;
    m_serverProblem.clear();
    m_told.clear();
    m_off = false;
    m_waiting = false;
    m_unrecorded = 0;
    m_nextTry = 0;
    m_retry->stop();
    m_run.reset();
    m_unclosed.clear();
    m_sweepId.clear();
    if (!target.isValid()) {
        emit statusChanged();
        return true;
    }
    auto db = std::make_unique<HistoryDatabase>();
    QString error;
    if (!db->open(localTarget(), HistoryDatabase::Mode::ReadWrite, &error)) {
        stall(error, db->failedForGood());
        return false;
    }
    m_db = std::move(db);
    startForwarder();
    emit statusChanged();
    return true;
}

void HistoryWriter::startForwarder()
{
    if (!m_target.isServer() || m_thread || !m_db)
        return;
    m_pending = HistoryForwarder::pending(*m_db, m_target.key());
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("qel-history-forwarder"));
    m_forwarder = new HistoryForwarder(m_target);
    m_forwarder->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_forwarder, &QObject::deleteLater);
    connect(m_forwarder, &HistoryForwarder::progress, this, &HistoryWriter::onProgress, Qt::QueuedConnection);
    m_thread->start();
    written(); // whatever an earlier session left behind goes first
}

HistoryTarget HistoryWriter::localTarget() const
{
    if (!m_target.isServer())
        return m_target;
    HistoryTarget local;
    local.kind = HistoryTarget::Kind::SQLite;
    local.path = HistoryTarget::spoolPath();
    return local;
}

bool HistoryWriter::write(const std::function<bool(HistoryDatabase &, QString *)> &op)
{
    if (!isRecording() || (m_waiting && m_clock.elapsed() < m_nextTry))
        return false;
    QString error;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!m_db) {
            auto db = std::make_unique<HistoryDatabase>();
            db->setBusyTimeout(m_waiting ? RetryBusyMs : BusyMs);
            if (!db->open(localTarget(), HistoryDatabase::Mode::ReadWrite, &error)) {
                if (db->failedForGood()) {
                    stall(error, true);
                    return false;
                }
                break;
            }
            m_db = std::move(db);
            startForwarder(); // the spool could not be opened at first
        }
        if (op(*m_db, &error)) {
            if (m_waiting)
                resumed();
            return true;
        }
        // A connection that failed is opened afresh: what failed may have
        // been the connection's own view of the file.
        m_db.reset();
    }
    stall(error, false);
    return false;
}

void HistoryWriter::stall(const QString &sentence, bool forGood)
{
    m_problem = sentence;
    if (forGood) {
        m_off = true;
        m_waiting = false;
        m_db.reset();
        stopForwarder();
        m_retry->stop();
    } else {
        m_waiting = true;
        if (!m_clock.isValid())
            m_clock.start();
        m_nextTry = m_clock.elapsed() + RetryMs;
        m_retry->start();
    }
    tell(sentence);
    emit statusChanged();
}

void HistoryWriter::resumed()
{
    m_waiting = false;
    m_unrecorded = 0;
    if (m_db)
        m_db->setBusyTimeout(BusyMs);
    emit statusChanged();
}

void HistoryWriter::tell(const QString &sentence)
{
    // Once a session: a database that comes and goes is not a stream of messages.
    if (m_told.contains(sentence))
        return;
    m_told << sentence;
    emit problem(sentence);
}

bool HistoryWriter::storeRun(RunState &run)
{
    if (run.stored)
        return true;
    const bool ok = write([&](HistoryDatabase &db, QString *error) {
        if (m_target.isServer() && !db.markSpooled(run.record.id, QStringLiteral("run"), m_target.key(), error))
            return false;
        return db.insertRun(run.record, error);
    });
    if (ok) {
        run.stored = true;
        written();
    }
    return ok;
}

bool HistoryWriter::closeRun(RunState &run)
{
    if (!storeRun(run))
        return false;
    const QString outcome = run.unrecorded > 0 ? History::Outcome::recordingInterrupted() : run.outcome;
    const bool ok = write([&](HistoryDatabase &db, QString *error) {
        return db.finishRun(run.record.id, run.finished, outcome, error, !m_target.isServer(), run.unrecorded);
    });
    if (ok)
        written();
    return ok;
}

bool HistoryWriter::retryNow()
{
    if (!isRecording())
        return true;
    m_nextTry = 0;
    if (m_run)
        storeRun(*m_run);
    while (!m_unclosed.isEmpty() && closeRun(m_unclosed.first()))
        m_unclosed.removeFirst();
    const bool done = m_unclosed.isEmpty() && (!m_run || m_run->stored);
    if (done)
        m_retry->stop();
    return done;
}

void HistoryWriter::written()
{
    if (m_forwarder)
        QMetaObject::invokeMethod(m_forwarder, &HistoryForwarder::kick, Qt::QueuedConnection);
}

void HistoryWriter::onProgress(bool reachable, qint64 pending, const QString &problem)
{
    m_progressSeen = true;
    m_reachable = reachable;
    if (pending >= 0)
        m_pending = pending;
    m_serverProblem = problem;
    emit statusChanged();
}

void HistoryWriter::beginRun(const History::RunRecord &run)
{
    if (!isRecording())
        return;
    m_run = std::make_unique<RunState>();
    m_run->record = run;
    storeRun(*m_run);
}

void HistoryWriter::writeRow(const History::RowRecord &row)
{
    if (!isRecording())
        return;
    RunState *run = m_run && m_run->record.id == row.runId ? m_run.get() : nullptr;
    const bool ok = (!run || storeRun(*run)) && write([&](HistoryDatabase &db, QString *error) {
        return db.insertRow(row, error);
    });
    if (!ok) {
        if (run)
            ++run->unrecorded;
        ++m_unrecorded;
        emit statusChanged();
        return;
    }
    if (m_forwarder) {
        ++m_pending;
        written();
        emit statusChanged();
    }
    if (!m_unclosed.isEmpty())
        retryNow();
}

void HistoryWriter::endRun(const QString &runId, const QString &outcome)
{
    if (!isRecording() || runId.isEmpty())
        return;
    RunState run;
    if (m_run && m_run->record.id == runId)
        run = *m_run;
    else {
        run.record.id = runId;
        run.stored = true;
    }
    m_run.reset();
    run.ended = true;
    run.finished = QDateTime::currentDateTimeUtc();
    run.outcome = outcome;
    // Earlier runs first: the database takes them in order once it can.
    if (!m_unclosed.isEmpty())
        retryNow();
    if (!m_unclosed.isEmpty() || !closeRun(run)) {
        m_unclosed.append(run);
        m_retry->start();
    }
}

void HistoryWriter::beginSweep(const History::SweepRecord &sweep)
{
    m_sweepId.clear();
    if (!isRecording())
        return;
    // A sweep whose record could not be written keeps none of its points.
    if (write([&](HistoryDatabase &db, QString *error) {
            if (m_target.isServer() && !db.markSpooled(sweep.id, QStringLiteral("sweep"), m_target.key(), error))
                return false;
            return db.insertSweep(sweep, error);
        })) {
        m_sweepId = sweep.id;
        written();
    }
}

void HistoryWriter::writePoint(const History::PointRecord &point)
{
    if (m_sweepId.isEmpty() || point.sweepId != m_sweepId)
        return;
    if (!write([&](HistoryDatabase &db, QString *error) { return db.insertPoint(point, error); }))
        return;
    if (m_forwarder) {
        ++m_pending;
        written();
    }
}

void HistoryWriter::endSweep(const QString &sweepId, const QString &outcome)
{
    if (sweepId.isEmpty() || sweepId != m_sweepId)
        return;
    m_sweepId.clear();
    if (write([&](HistoryDatabase &db, QString *error) {
            return db.finishSweep(sweepId, QDateTime::currentDateTimeUtc(), outcome, error);
        }))
        written();
}

QString HistoryWriter::statusText() const
{
    if (!m_target.isValid())
        return QStringLiteral("Results: not recorded");
    if (m_off)
        return QStringLiteral("Results: recording off");
    QString s = QStringLiteral("Results: %1").arg(m_target.display());
    if (m_waiting)
        s += QStringLiteral(" (cannot be written; %1 row%2 not recorded, trying again)")
                 .arg(m_unrecorded)
                 .arg(m_unrecorded == 1 ? "" : "s");
    if (!m_target.isServer())
        return s;
    if (m_progressSeen && !m_reachable)
        s += QStringLiteral(" (unreachable)");
    if (m_pending > 0)
        s += QStringLiteral(", %1 waiting").arg(m_pending);
    return s;
}

bool HistoryWriter::flush(int timeoutMs)
{
    if (!m_forwarder)
        return true;
    written();
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(20);
    connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    tick.start();
    m_progressSeen = false;
    while (clock.elapsed() < timeoutMs) {
        loop.exec();
        if (m_progressSeen && m_pending == 0 && m_reachable)
            return true;
        if (m_progressSeen && !m_reachable)
            break;
    }
    if (!m_serverProblem.isEmpty())
        m_problem = m_serverProblem;
    return false;
}
