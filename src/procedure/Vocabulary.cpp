#include "procedure/Vocabulary.h"

namespace Vocabulary {

QString degreeUnit()
{
    return QString(degreeSign);
}

const QVector<FirstItem> &firstItemTable()
{
    const QStringList capacitance = {"pF", "nF", "uF", "mF", "F"};
    const QStringList inductance = {"pH", "nH", "uH", "mH", "H", "KH", "MH"};
    const QStringList ohms = {"mO", "O", "KO", "MO"};
    const QStringList siemens = {"mS", "S"};
    static const QVector<FirstItem> table = {
        {"C", capacitance, "pF", {"SER", "PAR"}, {"off", "Q", "D", "R"}},
        {"L", inductance, "pH", {"SER", "PAR"}, {"off", "Q", "D", "R"}},
        {"X", ohms, "O", {"SER"}, {"off", "Q", "D", "R"}},
        {"B", siemens, "mS", {"PAR"}, {"off", "Q", "D", "R", "G"}},
        {"Z", ohms, "O", {}, {"off", "Angle"}},
        {"Y", siemens, "mS", {}, {"off", "Angle"}},
        {"Rdc", ohms, "O", {}, {"off"}},
    };
    return table;
}

const QVector<SecondItem> &secondItemTable()
{
    static const QVector<SecondItem> table = {
        {"off", {}, {}},
        {"Q", {"Q"}, "Q"},
        {"D", {"D"}, "D"},
        {"R", {"mO", "O", "KO", "MO"}, "O"},
        {"G", {"mS", "S"}, "mS"},
        {"Angle", {degreeUnit()}, degreeUnit()},
    };
    return table;
}

QStringList firstItems()
{
    QStringList out;
    for (const FirstItem &f : firstItemTable())
        out << f.text;
    return out;
}

QStringList secondItems()
{
    QStringList out;
    for (const SecondItem &s : secondItemTable())
        out << s.text;
    return out;
}

int firstItemIndex(const QString &text)
{
    const QVector<FirstItem> &t = firstItemTable();
    for (int i = 0; i < t.size(); ++i)
        if (t[i].text == text)
            return i;
    return -1;
}

int secondItemIndex(const QString &text)
{
    const QVector<SecondItem> &t = secondItemTable();
    for (int i = 0; i < t.size(); ++i)
        if (t[i].text == text)
            return i;
    return -1;
}

static bool validFirst(int i)
{
    return i >= 0 && i < FirstItemCount;
}

QStringList firstUnits(int firstIndex)
{
    return validFirst(firstIndex) ? firstItemTable()[firstIndex].units : QStringList();
}

QString defaultFirstUnit(int firstIndex)
{
    return validFirst(firstIndex) ? firstItemTable()[firstIndex].defaultUnit : QString();
}

QStringList circuitsFor(int firstIndex)
{
    return validFirst(firstIndex) ? firstItemTable()[firstIndex].circuits : QStringList();
}

QStringList secondItemsFor(int firstIndex, const QString &circuit)
{
    if (!validFirst(firstIndex))
        return QStringList();
    QStringList items = firstItemTable()[firstIndex].secondItems;
    if ((firstIndex == C || firstIndex == L || firstIndex == X) && circuit == QLatin1String("PAR"))
        items << QStringLiteral("G");
    return items;
}

QStringList secondUnits(const QString &secondItem)
{
    const int i = secondItemIndex(secondItem);
    return i < 0 ? QStringList() : secondItemTable()[i].units;
}

QString defaultSecondUnit(const QString &secondItem)
{
    const int i = secondItemIndex(secondItem);
    return i < 0 ? QString() : secondItemTable()[i].defaultUnit;
}

const QStringList &frequencyUnits()
{
    static const QStringList l = {"Hz", "KHz", "MHz"};
    return l;
}

const QStringList &levelUnits()
{
    static const QStringList l = {"mV", "V"};
    return l;
}

const QStringList &circuits()
{
    static const QStringList l = {"SER", "PAR"};
    return l;
}

const QStringList &speeds()
{
    static const QStringList l = {"SLOW", "MED", "FAST", "MAX"};
    return l;
}

const QStringList &types()
{
    static const QStringList l = {"%", "Absolute"};
    return l;
}

const EditorDefaults &editorDefaults()
{
    static const EditorDefaults d;
    return d;
}

QString defaultLowLimit(bool percent)
{
    return percent ? QStringLiteral("-5%") : QStringLiteral("-5");
}

QString defaultHighLimit(bool percent)
{
    return percent ? QStringLiteral("+5%") : QStringLiteral("+5");
}

QString limitForType(const QString &limit, bool percent)
{
    QString t = limit;
    t.remove(QLatin1Char('%'));
    if (percent)
        t += QLatin1Char('%');
    return t;
}

} // namespace Vocabulary
