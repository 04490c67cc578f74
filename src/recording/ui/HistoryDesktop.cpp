#include "recording/ui/HistoryDesktop.h"

#include "common/Prompter.h"
#include "execution/ExecutionState.h"
#include "session/QelSession.h"
#include "history/HistoryRecorder.h"
#include "history/ui/ResultsDatabaseDialog.h"
#include "history/ui/ResultsHistoryWindow.h"
#include "meter/InstrumentLink.h"
#include "reports/ReportDescription.h"

#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QSettings>
#include <QStatusBar>

#include <algorithm>

namespace {

const char *const UrlKey = "Results/Database";

} // namespace

HistoryDesktop::HistoryDesktop(const Parts &parts, QObject *parent)
    : QObject(parent), m_parts(parts), m_recorder(new HistoryRecorder(this))
{
    QelSession &session = *parts.session;
    m_runs = new RunRecording(*m_recorder, session, [this] {
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
        return r;
    }, this);
    m_sweeps = new SweepRecording(*m_recorder, session, [this] {
        History::SweepRecord s;
        const InstrumentLink &link = m_parts.session->link();
        s.meter = QString::fromLatin1(m_parts.session->connector().identification()).trimmed();
        s.device = InstrumentLink::devicePathFor(link.settings());
        return s;
    }, this);

    // A run's start and end shown at once in an open history; rows between
    // come with the window's own catching up.
    connect(&session, &QelSession::runStarted, this, [this] { catchUpSoon(); });
    connect(&session, &QelSession::runEnded, this, [this] { catchUpSoon(); });

    if (parts.frame) {
        m_pane = new QLabel(parts.frame);
        m_pane->setObjectName(QStringLiteral("resultsPane"));
        m_pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        parts.frame->statusBar()->addPermanentWidget(m_pane);
    }
    connect(m_recorder, &HistoryRecorder::statusChanged, this, &HistoryDesktop::updatePane);
    connect(m_recorder, &HistoryRecorder::problem, this, [this](const QString &sentence) {
        // Said after the row's handlers are done: a dialog must not hold up the run.
        QMetaObject::invokeMethod(this, [this, sentence] {
            if (m_parts.prompter)
                m_parts.prompter->inform(QStringLiteral("Results"),
                    sentence + (m_recorder->isWaiting()
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
    }
    applyUrl(savedUrl());
}

HistoryDesktop::~HistoryDesktop()
{
    delete m_window;
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
    m_recorder->setTarget(target);
    if (m_window)
        m_window->setTarget(target);
    updatePane();
}

void HistoryDesktop::updatePane()
{
    if (!m_pane)
        return;
    m_pane->setText(m_recorder->statusText());
    m_pane->setToolTip(m_recorder->isRecording() && !m_recorder->isWaiting() ? QString() : m_recorder->lastProblem());
}

void HistoryDesktop::catchUpSoon()
{
    // After the recorders' own handlers of the same signal.
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
    m_window->setTarget(m_recorder->target());
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
