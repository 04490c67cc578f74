#include "procedure/ProcedureStep.h"

const QStringList &ProcedureStep::headers()
{
    static const QStringList h = {"Step", "F-Item", "F-Std", "F-Low", "F-High", "F-Unit", "S-Item", "S-Std", "S-Low",
        "S-High", "S-Unit", "Freq.", "Level", "Circuit", "Speed", "Type", "Delay"};
    return h;
}

int ProcedureStep::pictureFor(const QString &firstItem, const QString &circuit)
{
    if (circuit == QLatin1String("SER")) {
        if (firstItem == QLatin1String("C"))
            return CSer;
        if (firstItem == QLatin1String("L"))
            return LSer;
        return ROnly;
    }
    if (circuit == QLatin1String("PAR")) {
        if (firstItem == QLatin1String("C") || firstItem == QLatin1String("B"))
            return CPar;
        if (firstItem == QLatin1String("L"))
            return LPar;
    }
    return ROnly;
}
