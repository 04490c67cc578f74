#include "history/ui/HistoryDesktop.h"

#include "common/Prompter.h"
#include "execution/ExecutionState.h"
#include "history/HistoryRecorder.h"
#include "history/ui/ResultsDatabaseDialog.h"
#include "history/ui/ResultsHistoryWindow.h"
#include "instrument/InstrumentLink.h"
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
    m_runs = new RunRecording(*m_recorder, *parts.measure, *parts.procedure, [this] {
        History::RunRecord r;
        const InstrumentLink *link = m_parts.link;
        r.meter = QString::fromLatin1(link->identification()).trimmed();
        r.device = InstrumentLink::devicePathFor(link->settings());
        r.procedure = QFileInfo(m_parts.procedurePath ? m_parts.procedurePath() : QString()).fileName();
        r.loops = m_parts.execution ? std::max(1, m_parts.execution->loopTextValue()) : 1;
        if (const ReportDescription *d = m_parts.description) {
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
    m_sweeps = new SweepRecording(*m_recorder, *parts.sweep, *parts.plotter, [this] {
        History::SweepRecord s;
        s.meter = QString::fromLatin1(m_parts.link->identification()).trimmed();
        s.device = InstrumentLink::devicePathFor(m_parts.link->settings());
        return s;
    }, this);

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
                    sentence + QStringLiteral("\nRecording is off; the run goes on and the Executive View keeps every row."),
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
    m_pane->setToolTip(m_recorder->isRecording() ? QString() : m_recorder->lastProblem());
}

void HistoryDesktop::runStarted()
{
    m_runs->started();
}

void HistoryDesktop::runEnded(RunEnd end)
{
    m_runs->ended(end);
}

void HistoryDesktop::sweepEnded(RunEnd end)
{
    m_sweeps->ended(end);
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
