#pragma once
// The whole desktop program inside a test: DesktopApp with a RecordingPrompter,
// a private settings folder, key presses that reach the shortcut map as a
// keyboard's would, and modal dialogs answered from a timer.

#include "../../procedure/ui/GuiDriver.h"
#include "../../support/MeterSim.h"
#include "../../support/RecordingPrompter.h"
#include "../../support/TestPaths.h"

#include "app/ui/MainWindow.h"
#include "app/ui/DesktopApp.h"
#include "components/ui/PictureButton.h"
#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "execution/ui/ExecutiveView.h"
#include "procedure/ui/ProcedureView.h"

#include <QAction>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>

// Exported by QtGui: offers a key to the shortcut map before it goes to the
// widget, which is what a real key press does (QTest uses the same entry).
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject *o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString &text = QString(), bool autorep = false,
                                               ushort count = 1);

// The recent-file list is per user: point HOME and the config folder at a
// temporary one before anything reads them, so the tester's own list is
// never touched. Set up before main() runs.
struct SettingsSandbox
{
    SettingsSandbox()
    {
        char pattern[] = "/tmp/qel-apptest-home-XXXXXX";
        if (const char *made = mkdtemp(pattern)) {
            home = QString::fromLocal8Bit(made);
            QDir(home).mkpath(QStringLiteral(".config"));
            qputenv("HOME", home.toLocal8Bit());
            qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toLocal8Bit());
        }
    }
    ~SettingsSandbox()
    {
        if (!home.isEmpty())
            QDir(home).removeRecursively();
    }
    QString configHome() const { return home + QStringLiteral("/.config"); }

    QString home;
};
inline SettingsSandbox settingsSandbox;

namespace Desktop {

inline bool waitUntil(const std::function<bool()> &cond, int ms = 5000)
{
    return MeterSim::waitUntil(cond, ms);
}

// Lets queued events and zero-time timers run.
inline void settle(int ms = 20)
{
    MeterSim::waitUntil([] { return false; }, ms);
}

// A key press and release as the window system delivers them: shortcuts first.
inline void pressKey(QWidget *w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    // Keys go to the active window; with no window manager nothing gives the
    // main window back its activation after a dialog has closed.
    if (QApplication::activeWindow() != w->window()) {
        w->window()->activateWindow();
        waitUntil([w] { return QApplication::activeWindow() == w->window(); }, 2000);
    }
    const QString text = (mods & (Qt::ControlModifier | Qt::AltModifier)) || key > 0xffff
        ? QString()
        : QString(QChar(key)).toLower();
    if (!qt_sendShortcutOverrideEvent(w, 0, key, mods, text)) {
        QKeyEvent press(QEvent::KeyPress, key, mods, text);
        QApplication::sendEvent(w, &press);
    }
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(w, &release);
}

// Chooses a file in an open file dialog and accepts it. selectFile() leaves
// the name field alone while it has focus, which depends on timing, so the
// whole path is typed into the field as well.
inline void chooseFile(QFileDialog *d, const QString &path)
{
    d->selectFile(path);
    if (auto *edit = d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        edit->setText(path);
    static_cast<QDialog *>(d)->accept();
}

// Answers the first modal dialog of type T that opens, from a timer, so a
// command that shows one can be run from the test. seen() tells whether it came.
template <class T>
class ModalAnswer
{
public:
    explicit ModalAnswer(std::function<void(T *)> answer) : m_answer(std::move(answer))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (T *d = qobject_cast<T *>(QApplication::activeModalWidget())) {
                m_timer.stop();
                m_seen = true;
                m_answer(d);
            }
        });
        m_timer.start();
    }
    bool seen() const { return m_seen; }

private:
    std::function<void(T *)> m_answer;
    QTimer m_timer;
    bool m_seen = false;
};

} // namespace Desktop

// One desktop program, optionally with a simulated meter, per test.
class DesktopRig : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A dialog nobody answers would wait forever: fail the test and close it.
        m_watchdog.setInterval(200);
        QObject::connect(&m_watchdog, &QTimer::timeout, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            m_modalTicks = modal && modal == m_lastModal ? m_modalTicks + 1 : 0;
            m_lastModal = modal;
            if (!modal || m_modalTicks < 15)
                return;
            QString text = modal->windowTitle();
            if (auto *box = qobject_cast<QMessageBox *>(modal))
                text += QStringLiteral(": ") + box->text();
            ADD_FAILURE() << "a modal " << modal->metaObject()->className() << " was left open: "
                          << text.toStdString();
            if (auto *d = qobject_cast<QDialog *>(modal))
                d->reject();
            else
                modal->close();
        });
        m_watchdog.start();
    }

    void TearDown() override
    {
        m_watchdog.stop();
        app.reset();
        sim.reset();
        QSettings(QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("Qel")).clear();
    }

    // Starts a simulated meter with these arguments (zero time).
    bool startMeter(const QStringList &args = {QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05")})
    {
        sim = std::make_unique<MeterSim>(args);
        return sim->isRunning();
    }

    // The program with the meter's device (if a meter runs), started and shown.
    bool startApp(const QString &file = {}, bool connect = true)
    {
        DesktopApp::Options o;
        o.device = sim ? sim->devicePath() : QString();
        o.file = file;
        o.connect = connect && sim;
        app = std::make_unique<DesktopApp>(o, &prompter);
        app->session().connector().setIdentificationDelay(200);
        if (!app->start())
            return false;
        mainWindow()->activateWindow();
        Desktop::waitUntil([this] { return QApplication::activeWindow() == mainWindow(); }, 2000);
        if (o.connect)
            return waitConnected();
        return true;
    }

    bool waitConnected(int ms = 5000)
    {
        return Desktop::waitUntil([this] { return !app->session().connector().isIdentifying(); }, ms) && app->link().isConnected();
    }

    MainWindow *mainWindow() const { return app->mainWindow(); }
    QAction *action(int id) const { return mainWindow()->action(id); }
    void trigger(int id) { action(id)->trigger(); }

    ExecutiveView *execPage() const { return app->executiveView(); }
    ResultTableModel *results() const { return app->procedureView()->resultModel(); }
    bool runActive() const { return !app->procedureView()->executionState()->runEnabled(); }
    // The Executive View shown, the loop count typed and Run clicked.
    void runLoops(const QString &loops)
    {
        trigger(MainWindow::ViewExecutive);
        GuiDriver::retype(execPage()->loopEdit(), loops);
        GuiDriver::click(execPage()->runButton());
    }

    // A copy of an example file in a folder of the test's own.
    QString example(const QString &name)
    {
        const QString to = dir.path() + QLatin1Char('/') + name;
        QFile::remove(to);
        QFile::copy(qelSourceDir() + QStringLiteral("/examples/") + name, to);
        QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
        return to;
    }

    QTemporaryDir dir;
    QTimer m_watchdog;
    QPointer<QWidget> m_lastModal;
    int m_modalTicks = 0;
    RecordingPrompter prompter;
    std::unique_ptr<MeterSim> sim;
    std::unique_ptr<DesktopApp> app;
};
