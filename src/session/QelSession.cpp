#include "session/QelSession.h"

#include "statistics/BinOutputs.h"

#include "common/Prompter.h"
#include "document/ArchiveError.h"
#include "document/Document.h"
#include "document/DocumentLayouts.h"
#include "document/PageTransfer.h"
#include "document/PlotterStateAccess.h"
#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "measurement/MeasurementSequencer.h"
#include "measurement/RunCommands.h"
#include "measurement/SweepSequencer.h"
#include "plotter/GraphPainter.h"
#include "plotter/PlotterCommands.h"
#include "plotter/PlotterState.h"
#include "procedure/ProcedureModel.h"
#include "reports/GraphPrint.h"
#include "reports/ReportDescription.h"

#include <QFile>

QelSession::QelSession(Prompter *prompter, QObject *parent)
    : QObject(parent), m_link(prompter), m_connector(m_link)
{
    qRegisterMetaType<EndReason>();
    m_procedure = new ProcedureModel(this);
    m_results = new ResultTableModel(this);
    m_execution = new ExecutionState(this);
    m_plotter = new PlotterState(this);
    m_document = new Document(m_procedure, m_results, prompter, this);
    m_plotAccess = std::make_unique<PlotterStateAccess>(m_plotter);
    m_document->setPlotPage(m_plotAccess.get());
    m_description = new ReportDescription(this);
    m_description->followResultTable(m_results);

    // Connected before the sequencers, which react to the same loss: whoever
    // was running tells it, and only when nobody was is it told as such.
    connect(&m_link, &InstrumentLink::linkLost, this, [this](const QString &message) {
        m_lastLoss = message;
        m_lossPending = true;
        m_lossTold = false;
    });
    // A meter that went away may come back reset or swapped: the next run or
    // sweep sends every setting, not only changes. A disconnect the operator
    // asked for, or a document load, keeps the cache as the meter expects.
    connect(&m_link, &InstrumentLink::linkLost, this, [this] { m_cache.clear(); });

    m_measure = new MeasurementSequencer(m_link, m_cache, *m_procedure, *m_results, *m_execution, this);
    // How a run is refused or ends is reported by runRefused and runEnded.
    m_runCommands = new RunCommands(m_link, *m_procedure, *m_measure, this);
    m_sweep = new SweepSequencer(m_link, m_cache, *m_plotter, this);
    if (!prompter)
        m_silent = std::make_unique<SilentPrompter>(true);
    m_prompter = prompter ? prompter : m_silent.get();
    m_plotCommands = new PlotterCommands(*m_plotter, *m_prompter, this);
    m_plotCommands->setRunner(m_sweep);

    connect(m_measure, &MeasurementSequencer::rowJudged, this, &QelSession::rowJudged);
    connect(m_measure, &MeasurementSequencer::passWaiting, this, &QelSession::passWaiting);
    connect(m_measure, &MeasurementSequencer::finished, this,
        [this] { emit runEnded(reason(EndReason::Cause::Completed, QString(), QString())); });
    connect(m_measure, &MeasurementSequencer::interrupted, this, &QelSession::onRunInterrupted);
    connect(m_measure, &MeasurementSequencer::meterFailed, this,
        [this](const QString &text) { emit runEnded(reason(EndReason::Cause::MeterError, text, text)); });
    connect(m_sweep, &SweepSequencer::meterFailed, this,
        [this](const QString &text) { emit sweepEnded(reason(EndReason::Cause::MeterError, text, text)); });
    connect(m_measure, &MeasurementSequencer::timedOut, this, [this] {
        const QString ms = QString::number(m_measure->exchange().replyTimeout());
        emit runEnded(reason(EndReason::Cause::ReplyTimeout, ms, QString()));
    });
    connect(m_sweep, &SweepSequencer::pointTaken, this, &QelSession::pointTaken);
    connect(m_sweep, &SweepSequencer::finished, this,
        [this] { emit sweepEnded(reason(EndReason::Cause::Completed, QString(), QString())); });
    connect(m_sweep, &SweepSequencer::interrupted, this, &QelSession::onSweepInterrupted);
    connect(m_sweep, &SweepSequencer::timedOut, this, [this] {
        const QString ms = QString::number(m_sweep->exchange().replyTimeout());
        emit sweepEnded(reason(EndReason::Cause::ReplyTimeout, ms, QString()));
    });

    // After the sequencers: a loss that ended nothing.
    connect(&m_link, &InstrumentLink::linkLost, this, [this](const QString &message) {
        m_lossPending = false;
        if (m_lossTold)
            return;
        emit linkLostWhileIdle(reason(EndReason::Cause::MeterLost, message,
            message + QStringLiteral("\nThe port was closed; results already taken are kept. "
                                     "Use Setup > Communication to connect again.")));
    });
}

QelSession::~QelSession()
{
    // The sequencers stop before the models they write to go.
    m_measure->stop();
    m_sweep->stopSweep();
}

const MeterProfiles &QelSession::profiles()
{
    if (!m_profiles)
        m_profiles = std::make_unique<MeterProfiles>();
    return *m_profiles;
}

bool QelSession::chooseMeter(const QString &name, QString *error)
{
    if (name == MeterProfile::autoName()) {
        m_connector.setAutomatic(true, &profiles());
        return true;
    }
    const MeterProfile *p = profiles().find(name);
    if (!p) {
        if (error)
            *error = profiles().unknownText(name);
        return false;
    }
    m_connector.setAutomatic(false, nullptr);
    m_link.setProfile(*p);
    return true;
}

QString QelSession::meterName() const
{
    if (m_connector.isAutomatic() && !m_link.isConnected())
        return MeterProfile::autoName();
    return m_link.profile().name;
}

void QelSession::setReplyTimeout(int ms)
{
    m_measure->exchange().setReplyTimeout(ms);
    m_sweep->exchange().setReplyTimeout(ms);
}

bool QelSession::run()
{
    if (!m_runCommands->run()) {
        const EndReason::Cause cause = !m_link.isConnected() ? EndReason::Cause::NotConnected
            : m_procedure->stepCount() == 0                  ? EndReason::Cause::NoProcedure
                                                             : EndReason::Cause::Unsupported;
        emit runRefused(reason(cause, QString(), m_runCommands->lastRefusal()));
        return false;
    }
    emit runStarted();
    return true;
}

void QelSession::setHoldBeforePass(bool hold)
{
    m_measure->setHoldBeforePass(hold);
}

void QelSession::resumePass()
{
    m_measure->resumePass();
}

void QelSession::emergencyStop()
{
    const bool wasRunning = m_measure->isRunning();
    m_runCommands->emergencyStop();
    if (wasRunning)
        emit runEnded(reason(EndReason::Cause::EmergencyStop, QString(), QString()));
}

void QelSession::draw()
{
    m_plotCommands->draw();
    if (m_sweep->isRunning())
        emit sweepStarted();
    else if (!m_sweep->lastRefusal().isEmpty())
        m_prompter->inform(QStringLiteral("Exception"), m_sweep->lastRefusal(), Prompter::Icon::Warning);
}

void QelSession::stopReset()
{
    const bool wasSweeping = m_sweep->isRunning();
    m_plotCommands->stopReset();
    if (wasSweeping)
        emit sweepEnded(reason(EndReason::Cause::EmergencyStop, QString(), QString()));
}

bool QelSession::isRunning() const
{
    return m_measure->isRunning();
}

bool QelSession::isSweeping() const
{
    return m_sweep->isRunning();
}

EndReason QelSession::reason(EndReason::Cause cause, const QString &detail, const QString &text) const
{
    EndReason r;
    r.cause = cause;
    r.device = InstrumentLink::devicePathFor(m_link.settings());
    r.detail = detail;
    r.text = text;
    return r;
}

void QelSession::onRunInterrupted(const QString &text)
{
    if (m_lossPending) {
        m_lossTold = true;
        emit runEnded(reason(EndReason::Cause::MeterLost, m_lastLoss, text));
        return;
    }
    emit runEnded(reason(EndReason::Cause::ProcedureChanged, QString(), text));
}

void QelSession::onSweepInterrupted(const QString &text)
{
    m_lossTold = true;
    emit sweepEnded(reason(EndReason::Cause::MeterLost, m_lastLoss, text));
}

QelSession::FileRead QelSession::readFile(const QString &path, DocumentData &data, DocumentLayouts::PastCount pastCount)
{
    FileRead r;
    r.type = DocumentNames::fileType(DocumentNames::fileName(path));
    if (r.type == DocumentNames::FileType::None) {
        r.problem = FileRead::NotADocument;
        return r;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        r.problem = FileRead::CannotRead;
        r.detail = f.errorString();
        return r;
    }
    try {
        DocumentLayouts::read(r.type, &f, f.size(), data, pastCount);
    } catch (const ArchiveError &e) {
        r.problem = FileRead::Damaged;
        r.detail = e.describe();
    }
    return r;
}

void QelSession::takePages(const DocumentData &data)
{
    PageTransfer::rebuild(data, *m_procedure, *m_results, m_plotAccess.get());
}

ResultOutputs QelSession::resultOutputs() const
{
    ResultOutputs outputs(*m_procedure, *m_results);
    outputs.setBinPlan(m_binPlan);
    return outputs;
}

SweepOutputs QelSession::sweepOutputs() const
{
    return SweepOutputs(SweepExport::inputFrom(*m_plotter));
}

ReportDescription::Texts QelSession::reportHeader() const
{
    return m_description->texts();
}

bool QelSession::printReport(const QString &path, bool withStatistics, bool withBins) const
{
    const ResultOutputs outputs = resultOutputs();
    const ReportPainter::Appendix appendix
        = BinOutputs::chain(withStatistics ? outputs.statisticsAppendix() : ReportPainter::Appendix(),
                            withBins ? outputs.binsAppendix() : ReportPainter::Appendix());
    return printReportToPdf(outputs.reportLayout(), reportHeader(), path, appendix);
}

const QSize QelSession::GraphPictureSize(900, 560);

GraphData &QelSession::graph(bool logX, bool logY)
{
    GraphData &g = m_plotter->headlessGraph();
    g.setAxisLog(1, logX);
    for (int axis = 2; axis <= GraphSink::AxisCount; ++axis)
        g.setAxisLog(axis, logY);
    return g;
}

QImage QelSession::graphPicture(bool logX, bool logY)
{
    return GraphPainter::render(graph(logX, logY), GraphPictureSize);
}

bool QelSession::printGraph(const QString &path, const QString &description, bool landscape, bool logX, bool logY)
{
    // Drawn in lines and text where the picture goes: sharp, and its values readable from the file.
    return printGraphToPdf(graph(logX, logY), GraphPictureSize, description, landscape, path);
}
