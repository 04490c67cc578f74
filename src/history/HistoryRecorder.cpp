#include "history/HistoryRecorder.h"

#include "history/HistoryDatabase.h"
#include "history/HistoryForwarder.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

HistoryRecorder::HistoryRecorder(QObject *parent) : QObject(parent)
{
}

HistoryRecorder::~HistoryRecorder()
{
    stopForwarder();
}

void HistoryRecorder::stopForwarder()
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

bool HistoryRecorder::setTarget(const HistoryTarget &target)
{
    stopForwarder();
    m_db.reset();
    m_target = target;
    m_pending = 0;
    m_reachable = false;
    m_progressSeen = false;
    m_serverProblem.clear();
    if (!target.isValid()) {
        emit statusChanged();
        return true;
    }
    HistoryTarget local = target;
    if (target.isServer()) {
        local = HistoryTarget();
        local.kind = HistoryTarget::Kind::SQLite;
        local.path = HistoryTarget::spoolPath();
    }
    auto db = std::make_unique<HistoryDatabase>();
    QString error;
    if (!db->open(local, HistoryDatabase::Mode::ReadWrite, &error)) {
        fail(error);
        return false;
    }
    m_db = std::move(db);
    if (target.isServer()) {
        m_pending = HistoryForwarder::pending(*m_db, target.key());
        m_thread = new QThread;
        m_thread->setObjectName(QStringLiteral("qel-history-forwarder"));
        m_forwarder = new HistoryForwarder(target);
        m_forwarder->moveToThread(m_thread);
        connect(m_thread, &QThread::finished, m_forwarder, &QObject::deleteLater);
        connect(m_forwarder, &HistoryForwarder::progress, this, &HistoryRecorder::onProgress, Qt::QueuedConnection);
        m_thread->start();
        written(); // whatever an earlier session left behind goes first
    }
    emit statusChanged();
    return true;
}

void HistoryRecorder::fail(const QString &sentence)
{
    m_problem = sentence;
    m_db.reset();
    stopForwarder();
    emit problem(sentence);
    emit statusChanged();
}

void HistoryRecorder::written()
{
    if (m_forwarder)
        QMetaObject::invokeMethod(m_forwarder, &HistoryForwarder::kick, Qt::QueuedConnection);
}

void HistoryRecorder::onProgress(bool reachable, qint64 pending, const QString &problem)
{
    m_progressSeen = true;
    m_reachable = reachable;
    if (pending >= 0)
        m_pending = pending;
    m_serverProblem = problem;
    emit statusChanged();
}

void HistoryRecorder::beginRun(const History::RunRecord &run)
{
    if (!m_db)
        return;
    QString error;
    if (m_target.isServer() && !m_db->markSpooled(run.id, QStringLiteral("run"), m_target.key(), &error))
        return fail(error);
    if (!m_db->insertRun(run, &error))
        return fail(error);
    written();
}

void HistoryRecorder::recordRow(const History::RowRecord &row)
{
    if (!m_db)
        return;
    QString error;
    if (!m_db->insertRow(row, &error))
        return fail(error);
    if (m_forwarder) {
        ++m_pending;
        written();
        emit statusChanged();
    }
}

void HistoryRecorder::endRun(const QString &runId, const QString &outcome)
{
    if (!m_db || runId.isEmpty())
        return;
    QString error;
    if (!m_db->finishRun(runId, QDateTime::currentDateTimeUtc(), outcome, &error, !m_target.isServer()))
        return fail(error);
    written();
}

void HistoryRecorder::beginSweep(const History::SweepRecord &sweep)
{
    if (!m_db)
        return;
    QString error;
    if (m_target.isServer() && !m_db->markSpooled(sweep.id, QStringLiteral("sweep"), m_target.key(), &error))
        return fail(error);
    if (!m_db->insertSweep(sweep, &error))
        return fail(error);
    written();
}

void HistoryRecorder::recordPoint(const History::PointRecord &point)
{
    if (!m_db)
        return;
    QString error;
    if (!m_db->insertPoint(point, &error))
        return fail(error);
    if (m_forwarder) {
        ++m_pending;
        written();
    }
}

void HistoryRecorder::endSweep(const QString &sweepId, const QString &outcome)
{
    if (!m_db || sweepId.isEmpty())
        return;
    QString error;
    if (!m_db->finishSweep(sweepId, QDateTime::currentDateTimeUtc(), outcome, &error))
        return fail(error);
    written();
}

QString HistoryRecorder::statusText() const
{
    if (!m_target.isValid())
        return QStringLiteral("Results: not recorded");
    if (!m_db)
        return QStringLiteral("Results: recording off");
    if (!m_target.isServer())
        return QStringLiteral("Results: %1").arg(m_target.display());
    QString s = QStringLiteral("Results: %1").arg(m_target.display());
    if (m_progressSeen && !m_reachable)
        s += QStringLiteral(" (unreachable)");
    if (m_pending > 0)
        s += QStringLiteral(", %1 waiting").arg(m_pending);
    return s;
}

bool HistoryRecorder::flush(int timeoutMs)
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
