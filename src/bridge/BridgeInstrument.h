#pragma once

#include "bridge/ScpiParser.h"

#include <QObject>
#include <QQueue>

#include <functional>

// What a script sets on the bridge, in base units, for one measurement.
struct BridgeSettings
{
    double frequency = 1000;
    bool currentLevel = false; // the level is a current (A), not a voltage (V)
    double voltage = 1;
    double current = 0.01;
    QString function = QStringLiteral("CPD"); // the common function token
    QString aperture = QStringLiteral("MED"); // SHOR, MED or LONG
    int averages = 1;
};

// One reading as the common set gives it: A, B and the status
// (0 reading, 1 overload).
struct BridgeReading
{
    double a = 0;
    double b = 0;
    int status = 0;
};

// The meter behind the bridge: whatever is attached, through its profile.
class BridgeMeter : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual QString identity() const = 0;
    // 0 when the meter can measure with these settings, else the SCPI
    // error (-222 a value out of its range, -224 a function it lacks).
    virtual int check(const BridgeSettings &settings) const = 0;
    // Exactly one measured() or failed() follows, later.
    virtual void measure(const BridgeSettings &settings) = 0;

signals:
    void measured(const BridgeReading &reading);
    void failed(const QString &why);
};

// The instrument a script talks to: the settings, triggers, the list sweep,
// the status and error queue of the common SCPI LCR set. Units are handled
// in order; a measurement holds back everything after it until it is done,
// so a query always answers for what was sent before it.
class BridgeInstrument : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxListPoints = 201;

    BridgeInstrument(BridgeMeter &meter, const QString &version, QObject *parent = nullptr);

    // One program message, its terminator removed.
    void receive(const QByteArray &line);
    // The controlling client left: what it queued goes, a measurement under
    // way still ends (and is kept), its replies are dropped.
    void dropClient();
    // Units waiting behind a measurement.
    qsizetype backlog() const { return m_units.size(); }
    bool isMeasuring() const { return m_measuring; }
    Scpi::ErrorQueue &errors() { return m_errors; }
    const BridgeSettings &settings() const { return m_settings; }

signals:
    // A response message, without its terminator.
    void reply(const QByteArray &message);
    // Each reading taken, with the settings it was taken at.
    void measurement(const BridgeSettings &settings, const BridgeReading &reading);
    void meterFailed(const QString &why);
    // The backlog emptied (reading the client may go on).
    void drained();

private:
    enum Command {
        Idn, Rst, Cls, Opc, Wai, Trg, Esr, Ese, Stb, Frequency, Voltage, Current, Function, Aperture, TriggerSource,
        TriggerNow, Initiate, Continuous, Format, DisplayPage, Fetch, ListFrequency, ListMode, SystemError
    };
    struct Pending
    {
        Scpi::Unit unit;
        bool endOfMessage = false;
    };

    void process();
    // False: the unit waits for a measurement.
    bool execute(const Scpi::Unit &u);
    void reset();
    void startMeasurement(bool answer);
    void onMeasured(const BridgeReading &reading);
    void onFailed(const QString &why);
    void measureNext();
    void setting(const Scpi::Unit &u, const std::function<int(BridgeSettings &)> &apply);
    bool oneParam(const Scpi::Unit &u);
    QString fetched() const;

    BridgeMeter &m_meter;
    QString m_version;
    Scpi::CommandTable m_table;
    Scpi::ErrorQueue m_errors;
    QQueue<Pending> m_units;
    QStringList m_response;
    BridgeSettings m_settings;
    QString m_triggerSource;
    bool m_continuous = true;
    QString m_page;
    QVector<double> m_list;
    bool m_listSequential = false;
    int m_ese = 0;
    // The measurement under way and what the last one gave.
    bool m_measuring = false;
    bool m_answerWhenDone = false; // *TRG answers with its readings
    bool m_opcWhenDone = false;
    bool m_unfetched = false;
    bool m_failed = false;
    QVector<double> m_points; // the frequencies of the measurement under way (empty: one point)
    BridgeSettings m_taken;
    QVector<BridgeReading> m_readings;
    bool m_listReadings = false;
    bool m_processing = false;
};
