#include "meter/ProfileDriver.h"

#include "common/LocaleNumbers.h"

#include <cmath>

namespace ProfileDriver {

namespace {

using Family = MeterCommands::Family;

Family familyOf(const QString &slot)
{
    if (slot == QLatin1String("frequency"))
        return Family::Frequency;
    if (slot == QLatin1String("level mode"))
        return Family::TestMode;
    if (slot == QLatin1String("level"))
        return Family::Level;
    if (slot == QLatin1String("second"))
        return Family::Circuit;
    if (slot == QLatin1String("speed"))
        return Family::Speed;
    return Family::Function; // "function" and "first"
}

// A circuit the step leaves empty is the meter's series one unless only
// the parallel one exists.
QStringList circuits(const QString &circuit)
{
    if (!circuit.isEmpty())
        return {circuit, QString()};
    return {QString(), QStringLiteral("SER"), QStringLiteral("PAR")};
}

QString key(const QString &a, const QString &b, const QString &c = QString())
{
    return QStringList{a, b, c}.join(QLatin1Char(' ')).simplified();
}

const MeterProfile::Function *functionFor(const MeterProfile &p, const MeasureSettings &s)
{
    const bool off = s.secondItem == QLatin1String("off") || s.secondItem.isEmpty();
    for (const QString &c : circuits(s.circuit)) {
        auto it = p.functions.constFind(key(s.firstItem, off ? p.secondOff : s.secondItem, c));
        if (it != p.functions.constEnd())
            return &it.value();
    }
    if (!off)
        return nullptr;
    // Any form of the item will do when only the primary is shown.
    for (const QString &c : circuits(s.circuit))
        for (auto it = p.functions.constBegin(); it != p.functions.constEnd(); ++it) {
            const QStringList words = it.key().split(QLatin1Char(' '));
            if (words.value(0) == s.firstItem && words.value(2) == c)
                return &it.value();
        }
    return nullptr;
}

QString slotToken(const QMap<QString, QString> &table, const QString &name, const QString &circuit)
{
    for (const QString &c : circuits(circuit)) {
        auto it = table.constFind(key(name, c));
        if (it != table.constEnd())
            return it.value();
    }
    return QString();
}

QString describe(const MeasureSettings &s)
{
    QString what = s.firstItem;
    if (!s.secondItem.isEmpty() && s.secondItem != QLatin1String("off"))
        what += QStringLiteral(" with ") + s.secondItem;
    if (!s.circuit.isEmpty())
        what += QStringLiteral(" (") + s.circuit + QLatin1Char(')');
    return what;
}

const MeterProfile::Setting *slot(const MeterProfile &p, const QString &name)
{
    for (const MeterProfile::Setting &s : p.settings)
        if (s.slot == name)
            return &s;
    return nullptr;
}

QString plain(QString text)
{
    text = text.trimmed();
    if (text.startsWith(QLatin1Char('+')))
        text.remove(0, 1);
    return text;
}

} // namespace

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', 6);
}

QString cannot(const MeterProfile &p, const MeasureSettings &s)
{
    if (p.isLegacy())
        return QString();
    if (p.first.isEmpty()) {
        if (!functionFor(p, s))
            return QStringLiteral("the meter profile %1 cannot measure %2").arg(p.name, describe(s));
    } else {
        const bool off = s.secondItem == QLatin1String("off") || s.secondItem.isEmpty();
        if (slotToken(p.first, s.firstItem, s.circuit).isEmpty()
            || slotToken(p.second, off ? QStringLiteral("off") : s.secondItem, s.circuit).isEmpty())
            return QStringLiteral("the meter profile %1 cannot measure %2").arg(p.name, describe(s));
    }
    if (const MeterProfile::Setting *level = slot(p, QStringLiteral("level"))) {
        if (s.current && level->current.isEmpty())
            return QStringLiteral("the meter profile %1 cannot set a current level").arg(p.name);
        if (!s.current && level->voltage.isEmpty() && level->send.isEmpty())
            return QStringLiteral("the meter profile %1 cannot set a voltage level").arg(p.name);
    }
    if (!p.speeds.isEmpty() && !p.speeds.contains(s.speed))
        return QStringLiteral("the meter profile %1 cannot measure at speed %2").arg(p.name, s.speed);
    return QString();
}

QList<MeterCommands::Setting> settings(const MeterProfile &p, const MeasureSettings &s)
{
    return plan(p, s).settings;
}

Plan plan(const MeterProfile &p, const MeasureSettings &s)
{
    Plan out;
    out.secondOff = s.secondItem == QLatin1String("off") || s.secondItem.isEmpty();
    out.primaryField = p.primaryField;
    out.secondaryField = p.secondaryField;
    QString function, first, second;
    if (p.first.isEmpty()) {
        if (const MeterProfile::Function *f = functionFor(p, s)) {
            function = f->token;
            if (f->primary > 0)
                out.primaryField = f->primary;
            if (f->secondary > 0)
                out.secondaryField = f->secondary;
        }
    } else {
        const bool off = s.secondItem == QLatin1String("off") || s.secondItem.isEmpty();
        first = slotToken(p.first, s.firstItem, s.circuit);
        second = slotToken(p.second, off ? QStringLiteral("off") : s.secondItem, s.circuit);
    }
    const QString speed = p.speeds.value(s.speed, s.speed);
    for (const MeterProfile::Setting &setting : p.settings) {
        QStringList lines = setting.send;
        if (s.current && !setting.current.isEmpty())
            lines = setting.current;
        else if (!s.current && !setting.voltage.isEmpty())
            lines = setting.voltage;
        QByteArray text;
        for (QString line : std::as_const(lines)) {
            if (line.contains(QLatin1Char('{'))) {
            line.replace(QStringLiteral("{frequency}"), QString::fromLatin1(number(s.frequencyHz)));
            line.replace(QStringLiteral("{level}"), QString::fromLatin1(number(s.level)));
            line.replace(QStringLiteral("{function}"), function);
            line.replace(QStringLiteral("{first}"), first);
            line.replace(QStringLiteral("{second}"), second);
            line.replace(QStringLiteral("{speed}"), speed);
            }
            if (!text.isEmpty())
                text += '\n';
            text += line.toLatin1();
        }
        out.settings.append({familyOf(setting.slot), text, !text.isEmpty()});
    }
    return out;
}

QByteArray wire(const MeterProfile &p, const QByteArray &text)
{
    QByteArray out = text;
    if (p.terminator != "\n")
        out.replace('\n', p.terminator);
    return out + p.terminator;
}

Reading read(const MeterProfile &p, const MeasureSettings &s, const QByteArray &reply)
{
    return read(p, plan(p, s), reply);
}

Reading read(const MeterProfile &p, const Plan &plan, const QByteArray &reply)
{
    Reading r;
    const QString text = QString::fromLatin1(reply).trimmed();
    const QStringList fields = text.split(p.separator);
    const int primary = plan.primaryField;
    const int secondary = plan.secondaryField;
    if (p.statusField > 0) {
        bool ok = false;
        r.status = plain(fields.value(p.statusField - 1)).toInt(&ok);
        const QString meaning = ok ? p.statuses.value(r.status) : QString();
        if (!ok || meaning.isEmpty()) {
            r.kind = Reading::Kind::Error;
            r.error = ok ? QStringLiteral("status %1, a code the meter profile %2 does not know").arg(r.status).arg(p.name)
                         : QStringLiteral("a reply without a status (\"%1\")").arg(text.left(80));
            return r;
        }
        if (meaning == QLatin1String("overload"))
            r.kind = Reading::Kind::Overload;
        else if (meaning != QLatin1String("reading")) {
            r.kind = Reading::Kind::Error;
            r.error = QStringLiteral("status %1%2 (%3)").arg(r.status > 0 ? QStringLiteral("+") : QString()).arg(r.status).arg(meaning);
            return r;
        }
    }
    if (text.isEmpty() || primary > fields.size()) {
        r.kind = Reading::Kind::Error;
        r.error = QStringLiteral("a reply without a reading (\"%1\")").arg(text.left(80));
        return r;
    }
    auto reading = [&](const QString &field) {
        const QString t = plain(field);
        const double v = LocaleNumbers::leadingDouble(t);
        if (std::fabs(v) >= p.overload * 0.999) {
            r.kind = Reading::Kind::Overload;
            return QString::fromLatin1(v < 0 ? "-9.90000E+37" : "9.90000E+37");
        }
        return t;
    };
    r.primary = reading(fields.value(primary - 1));
    if (!plan.secondOff && secondary <= fields.size()) {
        r.secondary = reading(fields.value(secondary - 1));
        r.hasSecondary = true;
    }
    r.line = r.primary.toLatin1();
    if (r.hasSecondary)
        r.line += ',' + r.secondary.toLatin1();
    r.line += '\n';
    return r;
}

} // namespace ProfileDriver
