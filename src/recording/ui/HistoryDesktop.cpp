#include "recording/ui/HistoryDesktop.h"

#include "common/Prompter.h"
#include "execution/ExecutionState.h"
#include "session/QelSession.h"
#include "history/HistoryWriter.h"
#include "history/ui/ResultsDatabaseDialog.h"
#include "history/ui/ResultsHistoryWindow.h"
#include "meter/InstrumentLink.h"
#include "document/DocumentNames.h"
#include "history/HistoryDatabase.h"
#include "recording/RecordedRun.h"
#include "recording/ui/OperatorWindow.h"
#include "reports/ReportDescription.h"

#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QSettings>
#include <QStatusBar>

#include <algorithm>

namespace {

const char *const UrlKey = "Results/Database";
const char *const AskSerialsKey = "Operator/AskSerials";

} // namespace

HistoryDesktop::HistoryDesktop(const Parts &parts, QObject *parent)
    : QObject(parent), m_parts(parts), m_writer(new HistoryWriter(this))
{
    QelSession &session = *parts.session;
    m_runs = new RunRecording(*m_writer, session, [this] {
        History::RunRecord r;
        const InstrumentLink *link = &m_parts.session->link();
        r.meter = QString::fromLatin1(m_parts.session->connector().identification()).trimmed();
        r.device = InstrumentLink::devicePathFor(link->settings());
        if (!link->profile().isLegacy())
            r.meterProfile = link->profile().name;
        r.procedure = QFileInfo(m_parts.procedurePath ? m_parts.procedurePath() : QString()).fileName();
        r.loops = std::max(1, m_parts.session->execution().loopTextValue());
        if (const ReportDescription *d = &m_parts.session->description()) {
            r.title = d->title();
            r.company = d->company();
            r.customer = d->customer();
            r.instrument = d->instrument();
            r.partNo = d->partNo();
            r.lotNo = d->lotNo();
            r.quantity = d->quantity();
            r.remark = d->remark();
        }
        // A signed-in operator stands for the login name, the lot for the description's.
        const QString name = OperatorWindow::signedInName();
        if (!name.isEmpty()) {
            r.operatorName = name;
            r.lotNo = OperatorWindow::signedInLot();
        }
        return r;
    }, this);
    m_sweeps = new SweepRecording(*m_writer, session, [this] {
        History::SweepRecord s;
        const InstrumentLink &link = m_parts.session->link();
        s.meter = QString::fromLatin1(m_parts.session->connector().identification()).trimmed();
        s.device = InstrumentLink::devicePathFor(link.settings());
        s.operatorName = OperatorWindow::signedInName();
        return s;
    }, this);

    // A run's start and end shown at once in an open history; rows between
    // come with the window's own catching up.
    connect(&session, &QelSession::runStarted, this, [this] { catchUpSoon(); });
    connect(&session, &QelSession::runEnded, this, [this] { catchUpSoon(); });
    connect(&session, &QelSession::passWaiting, this, &HistoryDesktop::askSerial);
    // A run that ends while its serial is asked (the meter lost) takes the question with it.
    connect(&session, &QelSession::runEnded, this, [this] {
        if (m_serialDialog)
            m_serialDialog->deleteLater();
    });

    if (parts.frame) {
        m_pane = new QLabel(parts.frame);
        m_pane->setObjectName(QStringLiteral("resultsPane"));
        m_pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        parts.frame->statusBar()->addPermanentWidget(m_pane);
    }
    connect(m_writer, &HistoryWriter::statusChanged, this, &HistoryDesktop::updatePane);
    connect(m_writer, &HistoryWriter::problem, this, [this](const QString &sentence) {
        // Said after the row's handlers are done: a dialog must not hold up the run.
        QMetaObject::invokeMethod(this, [this, sentence] {
            if (m_parts.prompter)
                m_parts.prompter->inform(QStringLiteral("Results"),
                    sentence + (m_writer->isWaiting()
                        ? QStringLiteral("\nRows are recorded again as soon as it can be written (tried every second); "
                                         "the run goes on and the Executive View keeps every row.")
                        : QStringLiteral("\nRecording is off; the run goes on and the Executive View keeps every row.")),
                    Prompter::Icon::Warning);
        }, Qt::QueuedConnection);
    });
    if (parts.addCommand) {
        m_databaseAction = parts.addCommand(tr("Results &Database..."),
            tr("Choose where the rows of runs and sweeps are recorded\nResults Database"), [this] { chooseDatabase(); });
        m_historyAction = parts.addCommand(tr("Results &History..."),
            tr("Look back at recorded runs and export their rows\nResults History"), [this] { showHistory(); });
        m_operatorAction = parts.addCommand(tr("&Operator and Lot..."),
            tr("Sign an operator in for a lot; runs record them\nOperator and Lot"), [this] { showOperator(); });
        m_askSerialsAction = parts.addCommand(tr("Ask for Each Part's Serial &Number"),
            tr("Before each pass, ask for the serial number of the part (typed or scanned)"), [this] {
                QSettings().setValue(QLatin1String(AskSerialsKey), m_askSerialsAction->isChecked());
                m_parts.session->setHoldBeforePass(m_askSerialsAction->isChecked());
            });
        m_askSerialsAction->setCheckable(true);
        m_askSerialsAction->setChecked(QSettings().value(QLatin1String(AskSerialsKey), false).toBool());
        session.setHoldBeforePass(m_askSerialsAction->isChecked());
    }
    applyUrl(savedUrl());
}

HistoryDesktop::~HistoryDesktop()
{
    delete m_window;
    delete m_serialDialog;
}

bool HistoryDesktop::openRecordedRun(const QString &runId)
{
    auto tell = [this](const QString &text) {
        if (m_parts.prompter)
            m_parts.prompter->inform(QStringLiteral("Results"), text, Prompter::Icon::Warning);
        return false;
    };
    if (m_parts.session->isRunning() || m_parts.session->isSweeping())
        return tell(tr("A recorded run opens when no run or sweep goes on; stop it first."));
    HistoryDatabase db;
    RecordedRun run;
    QString error;
    if (!db.open(m_writer->target(), HistoryDatabase::Mode::ReadOnly, &error) || !run.read(db, runId, &error))
        return tell(error);
    db.close();
    QString name = run.procedureName();
    if (DocumentNames::fileType(name) != DocumentNames::FileType::Procedure)
        name = QStringLiteral("recorded.pro");
    const QString folder = QFileInfo(HistoryTarget::defaultPath()).absolutePath() + QStringLiteral("/reopened/") + runId;
    if (!QDir().mkpath(folder))
        return tell(tr("The folder %1 cannot be made.").arg(folder));
    const QString pro = folder + QLatin1Char('/') + name;
    const QString rpt = folder + QLatin1Char('/') + RecordedRun::reportName(name, run.started());
    if (!run.save(pro, rpt, &error))
        return tell(error);
    return m_parts.openFiles && m_parts.openFiles({pro, rpt}, 2);
}

bool HistoryDesktop::chooseRecordedSweep()
{
    HistoryDatabase db;
    QVector<HistoryDatabase::SweepSummary> sweeps;
    QString error;
    if (!db.open(m_writer->target(), HistoryDatabase::Mode::ReadOnly, &error) || !db.listSweeps(sweeps, &error, 500)) {
        if (m_parts.prompter)
            m_parts.prompter->inform(QStringLiteral("Results"), error, Prompter::Icon::Warning);
        return false;
    }
    db.close();
    if (sweeps.isEmpty()) {
        if (m_parts.prompter)
            m_parts.prompter->inform(QStringLiteral("Results"), tr("No sweep has been recorded in %1.").arg(m_writer->target().display()),
                Prompter::Icon::Information);
        return false;
    }
    QStringList names;
    for (const auto &s : sweeps)
        names << RecordedSweep::describe(s.started, s.station, s.operatorName, s.settings, s.points);
    bool ok = false;
    const QString chosen = QInputDialog::getItem(m_window ? static_cast<QWidget *>(m_window) : m_parts.frame, tr("Open Sweep"),
        tr("Recorded sweeps, newest first:"), names, 0, false, &ok);
    const qsizetype at = names.indexOf(chosen);
    return ok && at >= 0 && openRecordedSweep(sweeps[at].id);
}

bool HistoryDesktop::openRecordedSweep(const QString &sweepId)
{
    auto tell = [this](const QString &text) {
        if (m_parts.prompter)
            m_parts.prompter->inform(QStringLiteral("Results"), text, Prompter::Icon::Warning);
        return false;
    };
    if (m_parts.session->isRunning() || m_parts.session->isSweeping())
        return tell(tr("A recorded sweep opens when no run or sweep goes on; stop it first."));
    const QString folder = QFileInfo(HistoryTarget::defaultPath()).absolutePath() + QStringLiteral("/reopened/") + sweepId;
    if (!QDir().mkpath(folder))
        return tell(tr("The folder %1 cannot be made.").arg(folder));
    const QString pic = folder + QStringLiteral("/sweep.pic");
    HistoryDatabase db;
    QString error;
    if (!db.open(m_writer->target(), HistoryDatabase::Mode::ReadOnly, &error) || !RecordedSweep::savePlot(db, sweepId, pic, &error))
        return tell(error);
    return m_parts.openFiles && m_parts.openFiles({pic}, 3);
}

void HistoryDesktop::showOperator()
{
    OperatorWindow window(m_parts.frame);
    window.exec();
}

QString HistoryDesktop::currentLot() const
{
    if (!OperatorWindow::signedInName().isEmpty())
        return OperatorWindow::signedInLot();
    return m_parts.session->description().lotNo();
}

void HistoryDesktop::askSerial(int pass)
{
    delete m_serialDialog;
    auto *d = new PartSerialDialog(pass, currentLot(), m_parts.frame);
    d->setAttribute(Qt::WA_DeleteOnClose);
    m_serialDialog = d;
    connect(d, &QDialog::accepted, this, [this, d] {
        const QString serial = d->serial();
        m_runs->setPartSerial(serial);
        warnIfMeasuredBefore(serial);
        m_parts.session->resumePass();
    });
    // Stop Run, Escape or closing the entry: the run ends as Emergency Stop ends it.
    connect(d, &QDialog::rejected, this, [this] { m_parts.session->emergencyStop(); });
    d->open();
    d->serialEdit()->setFocus();
}

void HistoryDesktop::warnIfMeasuredBefore(const QString &serial)
{
    const QString lot = currentLot();
    QSet<QString> &seen = m_serials[lot];
    bool again = seen.contains(serial);
    seen.insert(serial);
    if (!again) {
        // Measured in this lot by an earlier program or another bench.
        HistoryDatabase db;
        HistoryDatabase::Filter filter;
        filter.lot = lot;
        filter.serial = serial;
        if (db.open(m_writer->target(), HistoryDatabase::Mode::ReadOnly, nullptr))
            db.forEachRow(filter, [&](const HistoryDatabase::StoredRow &) { again = true; return false; }, nullptr, 0, 1, true);
    }
    if (!again || !m_parts.frame)
        return;
    m_parts.frame->statusBar()->showMessage(
        tr("Serial %1 was measured before in lot \"%2\"; this part is measured and recorded again.").arg(serial, lot), 20000);
}

QString HistoryDesktop::savedUrl()
{
    return QSettings().value(QLatin1String(UrlKey)).toString();
}

void HistoryDesktop::applyUrl(const QString &url)
{
    HistoryTarget target = HistoryTarget::defaultTarget();
    if (!url.isEmpty()) {
        QString error;
        const HistoryTarget parsed = HistoryTarget::parse(url, &error);
        if (parsed.isValid())
            target = parsed;
    }
    m_writer->setTarget(target);
    if (m_window)
        m_window->setTarget(target);
    updatePane();
}

void HistoryDesktop::updatePane()
{
    if (!m_pane)
        return;
    // A long path is shortened in its middle, so the status bar keeps room
    // for its messages; the whole text stays in the tooltip and the name
    // that screen readers read.
    const QString full = m_writer->statusText();
    const int room = m_pane->fontMetrics().averageCharWidth() * 30;
    m_pane->setText(m_pane->fontMetrics().elidedText(full, Qt::ElideMiddle, room));
    m_pane->setAccessibleName(full);
    const QString problem = m_writer->isRecording() && !m_writer->isWaiting() ? QString() : m_writer->lastProblem();
    m_pane->setToolTip(problem.isEmpty() ? full : full + QLatin1Char('\n') + problem);
}

void HistoryDesktop::catchUpSoon()
{
    // After the writers' own handlers of the same signal.
    QMetaObject::invokeMethod(this, [this] {
        if (m_window && m_window->isVisible())
            m_window->catchUp();
    }, Qt::QueuedConnection);
}

void HistoryDesktop::chooseDatabase()
{
    ResultsDatabaseDialog dialog(m_parts.frame);
    dialog.setUrl(savedUrl());
    if (dialog.exec() != QDialog::Accepted)
        return;
    QSettings().setValue(QLatin1String(UrlKey), dialog.url());
    applyUrl(dialog.url());
}

void HistoryDesktop::showHistory()
{
    if (!m_window) {
        m_window = new ResultsHistoryWindow(m_parts.prompter, m_parts.frame);
        m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    m_window->setTarget(m_writer->target());
    connect(m_window, &ResultsHistoryWindow::openRunRequested, this, &HistoryDesktop::openRecordedRun, Qt::UniqueConnection);
    connect(m_window, &ResultsHistoryWindow::openSweepRequested, this, &HistoryDesktop::chooseRecordedSweep, Qt::UniqueConnection);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
