#pragma once

#include <QObject>
#include <QString>

// What the Executive View shows of a procedure run, kept in the core so the
// sequencer (and qel-cli) can drive it without a window: the progress, the
// "finished" lamp, the Run button's enabled state and the loop count.
class ExecutionState : public QObject
{
    Q_OBJECT
public:
    explicit ExecutionState(QObject *parent = nullptr);

    double progress() const { return m_progress; }
    void setProgress(double value);
    void addProgress(double increment) { setProgress(m_progress + increment); }

    bool finishedLamp() const { return m_lamp; }
    void setFinishedLamp(bool on);

    bool runEnabled() const { return m_runEnabled; }
    void setRunEnabled(bool enabled);

    // The loop edit's text; every change sets loopCount from it.
    const QString &loopText() const { return m_loopText; }
    void setLoopText(const QString &text);
    // Passes still to run, counting the present one.
    int loopCount() const { return m_loopCount; }
    void setLoopCount(int count) { m_loopCount = count; }
    void reloadLoopCount();
    // The loop edit's value as the sequencer reads it at every step.
    int loopTextValue() const;

    // As on a page just created: loop "1", full progress, lamp off, Run enabled.
    void resetToStartup();

signals:
    void progressChanged(double value);
    void finishedLampChanged(bool on);
    void runEnabledChanged(bool enabled);
    void loopTextChanged(const QString &text);

private:
    double m_progress = 100.0;
    bool m_lamp = false;
    bool m_runEnabled = true;
    QString m_loopText = QStringLiteral("1");
    int m_loopCount = 1;
};
