#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QString>

#include <atomic>
#include <functional>

class QThread;
class QTimer;
class QWidget;

// How far work on another thread is, read by the window's thread; and the
// Cancel request going the other way.
class TaskProgress
{
public:
    // Thrown by advance() once Cancel was pressed; ends the work.
    struct Cancelled
    {
    };
    void setTotal(qint64 total) { m_total = total; }
    void advance(qint64 done)
    {
        m_done = done;
        if (m_cancel.load(std::memory_order_relaxed))
            throw Cancelled{};
    }
    // The same without ending the work, for work that stops by itself.
    void report(qint64 done) { m_done = done; }
    void cancel() { m_cancel = true; }
    bool cancelRequested() const { return m_cancel; }
    qint64 done() const { return m_done; }
    qint64 total() const { return m_total; }

private:
    std::atomic<qint64> m_done{0};
    std::atomic<qint64> m_total{0};
    std::atomic<bool> m_cancel{false};
};

// Long work (file reading and writing, exports, print preparation) on a
// thread of its own, on data of its own, so the window's thread keeps
// drawing and a run keeps measuring. A progress dialog appears once the work
// has taken half a second, with Cancel where cancelling is safe.
class BackgroundTask : public QObject
{
    Q_OBJECT
public:
    enum class Outcome { Done, Failed, Cancelled };
    // Runs on the worker thread: false with *error set when it failed.
    using Work = std::function<bool(TaskProgress &progress, QString *error)>;
    // Runs on the window's thread once the work has ended.
    using Finish = std::function<void(Outcome outcome, const QString &error)>;

    static constexpr int DialogDelayMs = 500;

    static BackgroundTask *start(QWidget *window, const QString &label, bool cancellable, Work work,
                                 Finish finish);
    // Tasks running now in the whole program.
    static int running();

    // Closing the window asks the work to stop when it may be cancelled
    // (exports, opens) unless told to let it finish (saves).
    void letFinishOnClose() { m_stopOnClose = false; }

    // Waits for the work to end (asking it to stop, see above); finish is
    // not called then.
    ~BackgroundTask() override;

    QProgressDialog *dialog() const { return m_dialog; }

signals:
    // The work has ended and finish has run; running() counts it no more.
    void ended();

private:
    BackgroundTask(QWidget *window, Work work, Finish finish);
    void poll();
    void workEnded();

    Work m_work;
    Finish m_finish;
    TaskProgress m_progress;
    QThread *m_thread = nullptr;
    QPointer<QProgressDialog> m_dialog;
    QTimer *m_poll = nullptr;
    bool m_cancellable = false;
    bool m_stopOnClose = true;
    QElapsedTimer m_clock;
    // Written by the worker before its thread finishes.
    Outcome m_outcome = Outcome::Failed;
    QString m_error;
};
