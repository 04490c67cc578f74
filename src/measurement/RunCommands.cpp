#include "measurement/RunCommands.h"

#include "meter/InstrumentLink.h"
#include "meter/ProfileDriver.h"
#include "measurement/StepSettings.h"
#include "measurement/MeasurementSequencer.h"
#include "procedure/ProcedureModel.h"

RunCommands::RunCommands(InstrumentLink &link, ProcedureModel &procedure, MeasurementSequencer &sequencer,
                         QObject *parent)
    : QObject(parent), m_link(link), m_procedure(procedure), m_sequencer(sequencer)
{
}

QString RunCommands::exceptionCaption()
{
    return QStringLiteral("Exception");
}

QString RunCommands::notConnectedText()
{
    return QStringLiteral("Not connect yet. Please setup and modify the communication status.");
}

QString RunCommands::noProcedureText()
{
    return QStringLiteral("No procedure in \"Procedure View\". Please edit your procedure in it.");
}

bool RunCommands::run()
{
    if (!m_link.isConnected()) {
        m_lastRefusal = notConnectedText();
        return false;
    }
    if (m_procedure.stepCount() == 0) {
        m_lastRefusal = noProcedureText();
        return false;
    }
    const MeterProfile &profile = m_link.profile();
    for (int i = 0; i < m_procedure.stepCount() && !profile.isLegacy(); ++i) {
        const QString why = ProfileDriver::cannot(profile, measureSettings(m_procedure.step(i)));
        if (!why.isEmpty()) {
            m_lastRefusal = QStringLiteral("Step %1 cannot be measured: %2; nothing was sent.").arg(i + 1).arg(why);
                return false;
        }
    }
    m_sequencer.start();
    return true;
}

void RunCommands::emergencyStop()
{
    m_sequencer.stop();
}
