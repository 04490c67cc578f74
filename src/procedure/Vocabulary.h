#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <QVector>

// The closed word lists a step's fields are chosen from, and the editor's
// starting values. Everything here is constant.
namespace Vocabulary {

// In memory the "Angle" unit is U+00B0; files carry it as CP950 A2 58.
inline constexpr QChar degreeSign{char16_t(0x00B0)};
QString degreeUnit();

struct FirstItem
{
    QString text;
    QStringList units;
    QString defaultUnit;
    QStringList circuits;    // empty: the item has no equivalent circuit
    QStringList secondItems; // as offered with "SER" or no circuit
};

struct SecondItem
{
    QString text;
    QStringList units; // empty for "off"
    QString defaultUnit;
};

enum FirstIndex { C = 0, L, X, B, Z, Y, Rdc, FirstItemCount };

const QVector<FirstItem> &firstItemTable();
const QVector<SecondItem> &secondItemTable();

QStringList firstItems();  // "C" .. "Rdc"
QStringList secondItems(); // "off" .. "Angle", every second item
// Position in the first-item list, -1 when the text is none of them.
int firstItemIndex(const QString &text);
int secondItemIndex(const QString &text);

QStringList firstUnits(int firstIndex);
QString defaultFirstUnit(int firstIndex);
QStringList circuitsFor(int firstIndex);
// "C" and "L" offer "G" only with "PAR"; "B" always offers it.
QStringList secondItemsFor(int firstIndex, const QString &circuit);
QStringList secondUnits(const QString &secondItem);
QString defaultSecondUnit(const QString &secondItem);

const QStringList &frequencyUnits(); // "Hz", "KHz", "MHz"
const QStringList &levelUnits();     // "mV", "V"
const QStringList &circuits();       // "SER", "PAR"
const QStringList &speeds();         // "SLOW", "MED", "FAST", "MAX"
const QStringList &types();          // "%", "Absolute"

inline QString offText() { return QStringLiteral("off"); }
inline QString rdcText() { return QStringLiteral("Rdc"); }
inline QString percentType() { return QStringLiteral("%"); }
inline QString absoluteType() { return QStringLiteral("Absolute"); }

// Starting values of a fresh editor.
struct EditorDefaults
{
    QString frequency = QStringLiteral("20");
    QString frequencyUnit = QStringLiteral("Hz");
    QString level = QStringLiteral("10");
    QString levelUnit = QStringLiteral("mV");
    QString circuit = QStringLiteral("SER");
    QString speed = QStringLiteral("MED");
    int speedIndex = 1;
    QString type = QStringLiteral("%");
    QString delay = QStringLiteral("0");
    QString firstItem = QStringLiteral("C");
    QString firstUnit = QStringLiteral("pF");
    QString secondItem = QStringLiteral("off");
};
const EditorDefaults &editorDefaults();

// Limits written when a standard is entered: "-5"/"+5", with "%" for the
// percent type.
QString defaultLowLimit(bool percent);
QString defaultHighLimit(bool percent);
// A limit text rewritten for a type: every "%" removed, one appended for
// the percent type.
QString limitForType(const QString &limit, bool percent);

} // namespace Vocabulary
