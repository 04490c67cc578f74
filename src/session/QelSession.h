#pragma once

#include "document/DocumentData.h"
#include "document/DocumentLayouts.h"
#include "measurement/PassEvaluator.h"
#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"
#include "meter/SettingsCache.h"
#include "reports/ReportDescription.h"
#include "session/EndReason.h"
#include "session/SessionOutputs.h"

#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QSize>

#include <memory>

class Document;
class ExecutionState;
class GraphData;
class MeasurementSequencer;
class PlotterCommands;
class PlotterState;
class PlotterStateAccess;
class ProcedureModel;
class Prompter;
class ReportDescription;
class ResultTableModel;
class RunCommands;
class SweepSequencer;

// Everything the desktop program and qel-cli share, built and connected in
// this one place: the procedure, result and execution models, the Plotter
// View state, the document over them, the report description, the link to
// the meter with the connector that opens and identifies it and its settings
// cache, both sequencers and their commands.
// Widget-free. Front ends only talk to it and present what it reports; see
// src/session/README.md for the signals recorders attach to.
class QelSession : public QObject
{
    Q_OBJECT
public:
    // prompter: where questions and the core's own messages go (the
    // document's load and save errors, the sweep's refusals). Never used for
    // how a run or sweep ended: that is reported by the signals below.
    explicit QelSession(Prompter *prompter, QObject *parent = nullptr);
    ~QelSession() override;

    ProcedureModel &procedure() const { return *m_procedure; }
    ResultTableModel &results() const { return *m_results; }
    ExecutionState &execution() const { return *m_execution; }
    PlotterState &plotter() const { return *m_plotter; }
    Document &document() const { return *m_document; }
    ReportDescription &description() const { return *m_description; }
    InstrumentLink &link() { return m_link; }
    // Connect and disconnect through this, from every front end.
    MeterConnector &connector() { return m_connector; }
    SettingsCache &cache() { return m_cache; }
    MeasurementSequencer &measurement() const { return *m_measure; }
    SweepSequencer &sweep() const { return *m_sweep; }
    RunCommands &runCommands() const { return *m_runCommands; }
    PlotterCommands &plotterCommands() const { return *m_plotCommands; }

    // The meter profiles found (read on first use).
    const MeterProfiles &profiles();
    // Chooses the meter family for the next connect: a profile's name,
    // "auto" (identified at connect), or "legacy" (the default). False with
    // one sentence in *error for a name that is not a profile.
    bool chooseMeter(const QString &name, QString *error);
    // The profile chosen ("auto" while automatic) or identified.
    QString meterName() const;

    // Milliseconds to wait for each reply of a run or sweep; 0 (the
    // default) waits for ever.
    void setReplyTimeout(int ms);

    // Run: refused (runRefused) without a meter or steps, else started.
    bool run();
    // Each pass of a run waits (passWaiting) until resumePass(): the front
    // end names the part first. Emergency Stop ends a waiting run.
    void setHoldBeforePass(bool hold);
    void resumePass();
    // Emergency Stop: always allowed, nothing is sent.
    void emergencyStop();
    // Draw and Stop / Reset of the Plotter View.
    void draw();
    void stopReset();

    bool isRunning() const;
    bool isSweeping() const;

    // ---- Files, exports and prints, prepared alike for every front end ----

    // What readFile found: the file's type by its name's ending, or why it
    // could not be read (detail: the system's or the layout reader's words).
    struct FileRead
    {
        enum Problem { Read, NotADocument, CannotRead, Damaged };
        DocumentNames::FileType type = DocumentNames::FileType::None;
        Problem problem = Read;
        QString detail;
    };
    // Reads a procedure, report or plot file into its part of data, a window
    // of the file at a time, as the desktop's open does (a report's rows go
    // straight into a table); the session is not touched.
    static FileRead readFile(const QString &path, DocumentData &data,
        DocumentLayouts::PastCount pastCount = DocumentLayouts::PastCount::Drop);
    // Takes pages read into data into the models and the Plotter View state,
    // as the desktop's open does once its name checks passed; the report
    // description's Sampling follows the rows taken.
    void takePages(const DocumentData &data);

    // The result workbook, CSV and report of the result table as it is now.
    ResultOutputs resultOutputs() const;
    // The bin plan the outputs count by (the sheet "Bins", the bins page); none by default.
    void setBinPlan(const std::optional<BinPlan> &plan) { m_binPlan = plan; }
    const std::optional<BinPlan> &binPlan() const { return m_binPlan; }
    // The sweep export of the Plotter View as it is now.
    SweepOutputs sweepOutputs() const;
    // The report's header texts: the report description as it stands.
    ReportDescription::Texts reportHeader() const;
    // The whole report as an A4 PDF; withStatistics adds the statistics page.
    bool printReport(const QString &path, bool withStatistics, bool withBins = false) const;

    // The size the graph has on the Plotter View, for pictures made without one.
    static const QSize GraphPictureSize;
    // The sweep's graph as drawn without a window, with X and Y axes linear
    // or logarithmic.
    GraphData &graph(bool logX, bool logY);
    QImage graphPicture(bool logX, bool logY);
    // The graph print as an A4 PDF, drawn in lines and text.
    bool printGraph(const QString &path, const QString &description, bool landscape, bool logX, bool logY);

signals:
    // Recorders attach here (see README.md).
    void runStarted();
    void rowJudged(int row, const PassEvaluator::Row &judged, const QDateTime &measuredAtUtc);
    void passWaiting(int pass);
    void runEnded(const EndReason &reason);
    void runRefused(const EndReason &reason);
    void sweepStarted();
    void pointTaken(int pointIndex);
    void sweepEnded(const EndReason &reason);
    // The link went away while neither a run nor a sweep was going on.
    void linkLostWhileIdle(const EndReason &reason);

private:
    EndReason reason(EndReason::Cause cause, const QString &detail, const QString &text) const;
    void onRunInterrupted(const QString &text);
    void onSweepInterrupted(const QString &text);

    std::unique_ptr<Prompter> m_silent;
    Prompter *m_prompter = nullptr; // the given one, or m_silent
    std::unique_ptr<MeterProfiles> m_profiles;
    InstrumentLink m_link;
    MeterConnector m_connector;
    SettingsCache m_cache;
    ProcedureModel *m_procedure = nullptr;
    ResultTableModel *m_results = nullptr;
    ExecutionState *m_execution = nullptr;
    PlotterState *m_plotter = nullptr;
    std::unique_ptr<PlotterStateAccess> m_plotAccess;
    std::optional<BinPlan> m_binPlan;
    Document *m_document = nullptr;
    ReportDescription *m_description = nullptr;
    MeasurementSequencer *m_measure = nullptr;
    SweepSequencer *m_sweep = nullptr;
    RunCommands *m_runCommands = nullptr;
    PlotterCommands *m_plotCommands = nullptr;
    QString m_lastLoss;
    bool m_lossPending = false;
    bool m_lossTold = false;
};
