#include "execution/ExecutionState.h"

#include "procedure/FieldParsing.h"

ExecutionState::ExecutionState(QObject *parent) : QObject(parent) {}

void ExecutionState::setProgress(double value)
{
    if (value == m_progress)
        return;
    m_progress = value;
    emit progressChanged(value);
}

void ExecutionState::setFinishedLamp(bool on)
{
    if (on == m_lamp)
        return;
    m_lamp = on;
    emit finishedLampChanged(on);
}

void ExecutionState::setRunEnabled(bool enabled)
{
    if (enabled == m_runEnabled)
        return;
    m_runEnabled = enabled;
    emit runEnabledChanged(enabled);
}

void ExecutionState::setLoopText(const QString &text)
{
    if (text != m_loopText) {
        m_loopText = text;
        emit loopTextChanged(text);
    }
    reloadLoopCount();
}

void ExecutionState::reloadLoopCount()
{
    m_loopCount = loopTextValue();
}

int ExecutionState::loopTextValue() const
{
    return FieldParsing::leadingInt(m_loopText);
}

void ExecutionState::resetToStartup()
{
    setLoopText(QStringLiteral("1"));
    setProgress(100.0);
    setFinishedLamp(false);
    setRunEnabled(true);
}
