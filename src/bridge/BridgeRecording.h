#pragma once

#include "bridge/BridgeInstrument.h"
#include "history/HistoryRecords.h"

#include <QObject>

class HistoryWriter;

// One history run a bridge session: procedure "remote", every reading a
// row with the settings it was taken at (columns A, B, Function,
// Frequency, Level, Aperture).
class BridgeRecording : public QObject
{
    Q_OBJECT
public:
    static QString procedureName() { return QStringLiteral("remote"); }

    // The run's context (meter, device, profile, operator, lot) is the
    // caller's; the run begins with the first client (its address in the
    // remark) or the first reading.
    BridgeRecording(HistoryWriter &writer, History::RunRecord run, QObject *parent = nullptr);
    ~BridgeRecording() override;

    // The client now in control.
    void setClient(const QString &address);
    void record(const BridgeSettings &settings, const BridgeReading &reading);
    // Closes the run (also on destruction).
    void end(const QString &outcome);
    const QString &runId() const { return m_run.id; }

private:
    HistoryWriter &m_writer;
    History::RunRecord m_run;
    void begin();

    int m_seq = 0;
    bool m_begun = false;
    bool m_ended = false;
};
