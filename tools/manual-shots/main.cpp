// Pictures of the manual, taken from the desktop program itself: DesktopApp
// built as main() builds it, driven through its menu commands and controls,
// each window or dialog grabbed as it stands. scripts/manual-screenshots
// starts the simulated meters and turns the grabs into small palette PNGs.

#include "app/ui/MainWindow.h"
#include "app/ui/DesktopApp.h"
#include "execution/ExecutionState.h"
#include "components/ui/PictureButton.h"
#include "execution/ui/ExecutiveView.h"
#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"
#include "meter/ui/CommunicationDialog.h"
#include "procedure/ui/ProcedureView.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QMenu>
#include <QStatusBar>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

QString g_out;
QStringList g_made;
QStringList g_failed;

bool waitUntil(const std::function<bool()> &cond, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!cond()) {
        if (clock.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void settle(int ms = 200)
{
    waitUntil([] { return false; }, ms);
}

void save(QWidget *w, const QString &name, const QRect &part = QRect())
{
    if (!w) {
        g_failed << name;
        std::fprintf(stderr, "manual-shots: nothing to grab for %s\n", qPrintable(name));
        return;
    }
    settle();
    const QImage image = w->grab(part.isNull() ? QRect(QPoint(0, 0), QSize(-1, -1)) : part).toImage();
    if (image.isNull() || !image.save(g_out + QLatin1Char('/') + name, "PNG")) {
        g_failed << name;
        return;
    }
    g_made << name;
}

// Runs <trigger> (which may block in a modal loop); the first modal widget
// that comes up is handed to <shoot> and then closed.
bool withModal(const std::function<void()> &trigger, const std::function<void(QWidget *)> &shoot)
{
    bool seen = false;
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || seen)
            return;
        seen = true;
        poll.stop();
        settle(300);
        shoot(modal);
        if (auto *d = qobject_cast<QDialog *>(modal))
            d->reject();
        else
            modal->close();
    });
    poll.start();
    trigger();
    waitUntil([&] { return seen && !QApplication::activeModalWidget(); });
    if (!seen)
        g_failed << QStringLiteral("(a dialog that did not open)");
    return seen;
}

// Runs <trigger>; a message box it brings up means the picture would not
// show what it should: closed, and the picture counted as not made.
void withModalOrNot(const std::function<void()> &trigger)
{
    QTimer poll;
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            g_failed << QStringLiteral("(a message came up: %1)").arg(modal->windowTitle());
            modal->close();
        }
    });
    poll.start();
    trigger();
    settle(300);
}

QAction *resultsCommand(MainWindow *frame, const QString &text)
{
    for (QAction *a : frame->resultsMenu()->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

template <class T>
T *topLevel(const char *className)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->inherits(className))
            return static_cast<T *>(w);
    return nullptr;
}

// Mouse input as the window system delivers it, so the pages' own event
// handling runs.
void mouse(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    const QPointF local(pos);
    QMouseEvent e(type, local, w->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void click(QWidget *w, QPoint pos, bool twice = false)
{
    mouse(w, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
    mouse(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
    if (twice) {
        mouse(w, QEvent::MouseButtonDblClick, pos, Qt::LeftButton, Qt::LeftButton);
        mouse(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
    }
}

bool connectTo(DesktopApp &app)
{
    return waitUntil([&] { return !app.session().connector().isIdentifying(); }) && app.link().isConnected();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    // As main() sets them: the settings and the results database live there.
    QApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QApplication::setApplicationName(QStringLiteral("Qel"));
    QApplication::setApplicationVersion(QStringLiteral(QEL_VERSION));
    Q_INIT_RESOURCE(qel);
    QCommandLineParser p;
    p.addOption({QStringLiteral("out"), QStringLiteral("Folder for the pictures."), QStringLiteral("dir")});
    p.addOption({QStringLiteral("meter"), QStringLiteral("Device of a meter that answers."), QStringLiteral("path")});
    p.addOption({QStringLiteral("silent-meter"), QStringLiteral("Device of a meter that never identifies."),
        QStringLiteral("path")});
    p.addOption({QStringLiteral("examples"), QStringLiteral("The examples folder."), QStringLiteral("dir")});
    p.process(qapp);
    g_out = p.value(QStringLiteral("out"));
    const QString examples = p.value(QStringLiteral("examples"));
    QDir().mkpath(g_out);
    qapp.setFont(QFont(QStringLiteral("DejaVu Sans"), 9));

    using F = MainWindow;
    {
        // Start-up with a meter that never answers: the legacy box, then the
        // Communication dialog the operator goes to next.
        DesktopApp::Options o;
        o.device = p.value(QStringLiteral("silent-meter"));
        DesktopApp app(o);
        withModal([&] { app.start(); }, [](QWidget *box) { save(box, QStringLiteral("connecting-error-box.png")); });
        withModal([&] { app.mainWindow()->action(F::Communication)->trigger(); }, [](QWidget *w) {
            auto *d = qobject_cast<CommunicationDialog *>(w);
            if (!d) {
                save(nullptr, QStringLiteral("communication-dialog.png"));
                return;
            }
            d->portEdit()->setText(QStringLiteral("1"));
            d->deviceBox()->setCurrentText(QStringLiteral("By port number"));
            save(d, QStringLiteral("communication-dialog.png"));
            d->deviceBox()->setEditText(QStringLiteral("/tmp/qel-meter"));
            save(d, QStringLiteral("communication-dialog-device-path.png"));
        });
    }

    DesktopApp::Options o;
    o.device = p.value(QStringLiteral("meter"));
    DesktopApp app(o);
    app.start();
    MainWindow *frame = app.mainWindow();
    if (!connectTo(app))
        std::fprintf(stderr, "manual-shots: the meter did not answer\n");
    save(frame, QStringLiteral("main-window-procedure-view.png"));
    if (QWidget *pane = frame->statusBar()->findChild<QWidget *>(QStringLiteral("resultsPane"))) {
        const QRect bar = frame->statusBar()->rect();
        const int left = qMax(0, pane->mapTo(frame->statusBar(), QPoint(0, 0)).x() - 120);
        save(frame->statusBar(), QStringLiteral("status-bar-results-pane.png"), QRect(left, 0, bar.width() - left, bar.height()));
    }

    if (QAction *db = resultsCommand(frame, QStringLiteral("Results &Database...")))
        withModal([&] { db->trigger(); }, [](QWidget *d) { save(d, QStringLiteral("results-database-dialog.png")); });

    // The capacitor check: its steps, one opened into the controls.
    if (app.openFile(examples + QStringLiteral("/capacitor.pro")) && connectTo(app)) {
        frame->showPage(F::ProcedurePage);
        QTableView *list = app.procedureView()->procedureList();
        click(list->viewport(), list->visualRect(list->model()->index(0, 1)).center(), true);
        save(frame, QStringLiteral("procedure-view-with-steps.png"));

        // Three passes on the Executive View.
        frame->action(F::ViewExecutive)->trigger();
        ExecutiveView *exec = app.executiveView();
        exec->loopEdit()->setText(QStringLiteral("3"));
        click(exec->runButton(), exec->runButton()->rect().center());
        ExecutionState *state = app.procedureView()->executionState();
        if (waitUntil([&] { return state->runEnabled(); }, 60000))
            save(frame, QStringLiteral("executive-view-after-run.png"));
        withModal([&] { frame->action(F::ReportDescription)->trigger(); }, [](QWidget *d) {
            if (auto *lot = d->findChild<QLineEdit *>(QStringLiteral("edit1040")))
                lot->setText(QStringLiteral("L2026-117"));
            save(d, QStringLiteral("report-description-dialog.png"));
        });
        withModal([&] { frame->action(F::FilePrintPreview)->trigger(); }, [](QWidget *w) {
            w->resize(1000, 760);
            save(w, QStringLiteral("print-preview-report.png"));
        });
        // Fifty passes more for the statistics.
        exec->loopEdit()->setText(QStringLiteral("50"));
        click(exec->runButton(), exec->runButton()->rect().center());
        if (waitUntil([&] { return state->runEnabled(); }, 120000)) {
            if (QAction *stats = resultsCommand(frame, QStringLiteral("&Statistics..."))) {
                stats->trigger();
                QWidget *window = topLevel<QWidget>("StatisticsWindow");
                save(window, QStringLiteral("statistics-window.png"));
                // The same window over the recorded runs of any lot.
                QComboBox *source = nullptr;
                for (QComboBox *box : window ? window->findChildren<QComboBox *>() : QList<QComboBox *>())
                    if (box->findText(QStringLiteral("Results history")) >= 0)
                        source = box;
                if (source) {
                    source->setCurrentIndex(source->findText(QStringLiteral("Results history")));
                    for (QPushButton *b : window->findChildren<QPushButton *>())
                        if (b->text() == QStringLiteral("Show"))
                            withModalOrNot([b] { b->click(); });
                    save(window, QStringLiteral("statistics-window-history-source.png"));
                }
            }
            if (QAction *history = resultsCommand(frame, QStringLiteral("Results &History..."))) {
                history->trigger();
                save(topLevel<QWidget>("ResultsHistoryWindow"), QStringLiteral("results-history-window.png"));
            }
        }
    }

    // A stored sweep on the Plotter View, its table, and its analysis.
    if (app.openFile(examples + QStringLiteral("/sweep.pic"))) {
        frame->showPage(F::PlotterPage);
        save(frame, QStringLiteral("plotter-view-after-sweep.png"));
        if (auto *tabs = frame->findChild<QTabBar *>()) {
            tabs->setCurrentIndex(tabs->count() - 1);
            save(frame, QStringLiteral("plotter-view-result-tab.png"));
            tabs->setCurrentIndex(0);
        }
        withModal([&] { frame->action(F::PrintGraph)->trigger(); },
            [](QWidget *d) { save(d, QStringLiteral("print-graph-options-dialog.png")); });
        if (QAction *analysis = resultsCommand(frame, QStringLiteral("Sweep Analysis..."))) {
            analysis->trigger();
            QWidget *window = topLevel<QWidget>("SweepAnalysisWindow");
            auto button = [window](const QString &text) -> QPushButton * {
                for (QPushButton *b : window ? window->findChildren<QPushButton *>() : QList<QPushButton *>())
                    if (b->text() == text)
                        return b;
                return nullptr;
            };
            for (const QString &text : {QStringLiteral("Minimum"), QStringLiteral("Maximum"), QStringLiteral("Fit")})
                if (QPushButton *b = button(text))
                    withModalOrNot([b] { b->click(); });
            save(window, QStringLiteral("sweep-analysis-markers-and-fit.png"));
            // A mask the sweep fails: C between 100.8 pF and 102 pF.
            const QString mask = g_out + QStringLiteral("/../c-mask.json");
            QFile f(mask);
            if (f.open(QIODevice::WriteOnly)) {
                f.write(R"({"lines": [{"line": 1, "upper": [[20, 1.02e-10], [100, 1.02e-10]],)"
                        R"( "lower": [[20, 1.008e-10], [100, 1.008e-10]]}]})");
                f.close();
            }
            if (QPushButton *load = button(QStringLiteral("Load mask..."))) {
                QTimer poll;
                poll.setInterval(50);
                QObject::connect(&poll, &QTimer::timeout, [&] {
                    if (auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                        poll.stop();
                        d->selectFile(mask);
                        if (auto *edit = d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                            edit->setText(mask);
                        static_cast<QDialog *>(d)->accept();
                    }
                });
                poll.start();
                withModalOrNot([load] { load->click(); });
                save(window, QStringLiteral("sweep-analysis-mask-fail.png"));
            }
        }
    }

    for (const QString &name : g_made)
        std::printf("%s\n", qPrintable(name));
    for (const QString &name : g_failed)
        std::fprintf(stderr, "manual-shots: could not make %s\n", qPrintable(name));
    return g_failed.isEmpty() ? 0 : 1;
}
