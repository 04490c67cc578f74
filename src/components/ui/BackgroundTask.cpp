#include "components/ui/BackgroundTask.h"

#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <new>

namespace {

int g_running = 0;

constexpr int PollMs = 50;
constexpr int Steps = 1000;

} // namespace

int BackgroundTask::running()
{
    return g_running;
}

BackgroundTask::BackgroundTask(QWidget *window, Work work, Finish finish)
    : QObject(window), m_work(std::move(work)), m_finish(std::move(finish))
{
}

BackgroundTask *BackgroundTask::start(QWidget *window, const QString &label, bool cancellable, Work work,
                                      Finish finish)
{
    auto *task = new BackgroundTask(window, std::move(work), std::move(finish));
    task->m_cancellable = cancellable;

    auto *dialog = new QProgressDialog(label, cancellable ? QStringLiteral("Cancel") : QString(), 0, 0, window);
    dialog->setObjectName(QStringLiteral("backgroundProgress"));
    dialog->setWindowTitle(QStringLiteral("Qel"));
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    if (!cancellable)
        dialog->setCancelButton(nullptr);
    // Not modal: Emergency Stop and the pages stay usable while it works.
    dialog->setWindowModality(Qt::NonModal);
    dialog->setMinimumDuration(DialogDelayMs);
    dialog->setValue(0);
    task->m_dialog = dialog;
    connect(dialog, &QProgressDialog::canceled, task, [task] {
        task->m_progress.cancel();
        if (task->m_dialog)
            task->m_dialog->setLabelText(QStringLiteral("Cancelling..."));
    });

    task->m_clock.start();
    task->m_poll = new QTimer(task);
    task->m_poll->setInterval(PollMs);
    connect(task->m_poll, &QTimer::timeout, task, &BackgroundTask::poll);
    task->m_poll->start();

    task->m_thread = QThread::create([task] {
        try {
            QString error;
            const bool ok = task->m_work(task->m_progress, &error);
            task->m_outcome = ok ? Outcome::Done : Outcome::Failed;
            task->m_error = error;
        } catch (const TaskProgress::Cancelled &) {
            task->m_outcome = Outcome::Cancelled;
        } catch (const std::bad_alloc &) {
            task->m_outcome = Outcome::Failed;
            task->m_error = QStringLiteral("not enough memory");
        } catch (const std::exception &e) {
            task->m_outcome = Outcome::Failed;
            task->m_error = QString::fromStdString(e.what());
        }
    });
    connect(task->m_thread, &QThread::finished, task, &BackgroundTask::workEnded, Qt::QueuedConnection);
    ++g_running;
    task->m_thread->start();
    return task;
}

void BackgroundTask::poll()
{
    // Before its time the dialog is left alone: a value would make it guess
    // the remaining time and show itself early.
    if (!m_dialog || m_clock.elapsed() < DialogDelayMs)
        return;
    const qint64 total = m_progress.total();
    if (total <= 0)
        return;
    if (m_dialog->maximum() != Steps)
        m_dialog->setRange(0, Steps);
    const int value = int(qBound(qint64(1), m_progress.done() * Steps / total, qint64(Steps - 1)));
    if (!m_progress.cancelRequested())
        m_dialog->setValue(value);
}

void BackgroundTask::workEnded()
{
    m_poll->stop();
    if (m_dialog) {
        m_dialog->hide();
        m_dialog->deleteLater();
    }
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    --g_running;
    const Finish finish = std::move(m_finish);
    m_finish = nullptr;
    if (finish)
        finish(m_outcome, m_error);
    emit ended();
    deleteLater();
}

BackgroundTask::~BackgroundTask()
{
    if (!m_thread)
        return;
    if (m_cancellable && m_stopOnClose)
        m_progress.cancel();
    m_thread->wait();
    delete m_thread;
    --g_running;
}
