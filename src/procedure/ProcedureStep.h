#pragma once

#include <QString>
#include <QStringList>

#include <array>

// One test step: one row of the procedure list, seventeen texts exactly as
// shown, plus the picture of its equivalent circuit. Texts are parsed only
// when used.
struct ProcedureStep
{
    enum Column {
        Step = 0,
        FItem,
        FStd,
        FLow,
        FHigh,
        FUnit,
        SItem,
        SStd,
        SLow,
        SHigh,
        SUnit,
        Freq,
        Level,
        Circuit,
        Speed,
        Type,
        Delay,
        ColumnCount
    };

    // Pictures of the procedure list, by index.
    enum Picture { CSer = 0, LSer, ROnly, CPar, LPar, Editing, PictureCount };

    std::array<QString, ColumnCount> fields;
    int picture = CSer;

    const QString &operator[](int column) const { return fields[column]; }
    QString &operator[](int column) { return fields[column]; }
    bool hasSecondItem() const { return fields[SItem] != QLatin1String("off"); }

    static const QStringList &headers();
    // Picture by first item and circuit: C/SER 0, L/SER 1, C|B/PAR 3, L/PAR 4, otherwise 2.
    static int pictureFor(const QString &firstItem, const QString &circuit);
};
