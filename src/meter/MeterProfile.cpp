#include "meter/MeterProfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

namespace {

const QStringList kSlots = {QStringLiteral("frequency"), QStringLiteral("level mode"), QStringLiteral("level"),
    QStringLiteral("function"), QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("speed")};
const QStringList kTransports = {QStringLiteral("serial"), QStringLiteral("tcp"), QStringLiteral("usbtmc")};
const QStringList kSpeeds = {QStringLiteral("MAX"), QStringLiteral("FAST"), QStringLiteral("MED"), QStringLiteral("SLOW")};

// Thrown inside read() and turned into its one sentence.
struct Broken
{
    QString key;
    QString what;
};

QString text(const QJsonObject &o, const QString &key, bool required)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() && !required)
        return QString();
    if (!v.isString() || (required && v.toString().trimmed().isEmpty()))
        throw Broken{key, QStringLiteral("must be a text that is not empty")};
    return v.toString();
}

QStringList lines(const QJsonValue &v, const QString &key)
{
    if (v.isUndefined())
        return {};
    if (!v.isArray())
        throw Broken{key, QStringLiteral("must be a list of command texts")};
    QStringList out;
    for (const QJsonValue &l : v.toArray()) {
        if (!l.isString() || l.toString().isEmpty())
            throw Broken{key, QStringLiteral("must hold only command texts that are not empty")};
        out << l.toString();
    }
    return out;
}

QMap<QString, QString> tokens(const QJsonObject &o, const QString &key)
{
    QMap<QString, QString> out;
    const QJsonValue v = o.value(key);
    if (v.isUndefined())
        return out;
    if (!v.isObject())
        throw Broken{key, QStringLiteral("must be an object of names and tokens")};
    const QJsonObject t = v.toObject();
    for (auto it = t.begin(); it != t.end(); ++it) {
        if (!it.value().isString() || it.value().toString().isEmpty())
            throw Broken{key + QLatin1Char('.') + it.key(), QStringLiteral("must be a token text")};
        out.insert(it.key().simplified(), it.value().toString());
    }
    return out;
}

int field(const QJsonObject &o, const QString &key, const QString &path, int fallback)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined())
        return fallback;
    if (!v.isDouble() || v.toDouble() != double(v.toInt()) || v.toInt() < 1 || v.toInt() > 16)
        throw Broken{path, QStringLiteral("must be a field number from 1 to 16")};
    return v.toInt();
}

void parse(const QJsonObject &o, MeterProfile &p)
{
    p.name = text(o, QStringLiteral("name"), true);
    if (p.name == MeterProfile::legacyName() || p.name == MeterProfile::autoName()
        || p.name.contains(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]"))))
        throw Broken{QStringLiteral("name"),
            QStringLiteral("must be letters, digits, '.', '_' or '-', and not \"legacy\" or \"auto\"")};
    p.description = text(o, QStringLiteral("description"), false);
    p.identity = text(o, QStringLiteral("identity"), true);
    if (!QRegularExpression(p.identity).isValid())
        throw Broken{QStringLiteral("identity"), QStringLiteral("is not a valid regular expression")};
    const QString term = o.value(QStringLiteral("terminator")).toString(QStringLiteral("LF"));
    if (term == QLatin1String("LF"))
        p.terminator = "\n";
    else if (term == QLatin1String("CRLF"))
        p.terminator = "\r\n";
    else
        throw Broken{QStringLiteral("terminator"), QStringLiteral("must be \"LF\" or \"CRLF\"")};
    p.transports = lines(o.value(QStringLiteral("transports")), QStringLiteral("transports"));
    if (p.transports.isEmpty())
        p.transports = kTransports;
    for (const QString &t : p.transports)
        if (!kTransports.contains(t))
            throw Broken{QStringLiteral("transports"), QStringLiteral("may name only serial, tcp and usbtmc")};
    p.identify = text(o, QStringLiteral("identify"), false);
    if (p.identify.isEmpty())
        p.identify = QStringLiteral("*IDN?");
    p.connect = lines(o.value(QStringLiteral("connect")), QStringLiteral("connect"));
    p.finish = lines(o.value(QStringLiteral("finish")), QStringLiteral("finish"));
    p.measure = text(o, QStringLiteral("measure"), true);

    const QJsonValue settings = o.value(QStringLiteral("settings"));
    if (!settings.isArray() || settings.toArray().isEmpty())
        throw Broken{QStringLiteral("settings"), QStringLiteral("must be a list of settings")};
    int i = 0;
    for (const QJsonValue &sv : settings.toArray()) {
        const QString at = QStringLiteral("settings[%1]").arg(i++);
        if (!sv.isObject())
            throw Broken{at, QStringLiteral("must be an object with \"slot\" and the lines it sends")};
        const QJsonObject so = sv.toObject();
        MeterProfile::Setting s;
        s.slot = so.value(QStringLiteral("slot")).toString();
        if (!kSlots.contains(s.slot))
            throw Broken{at + QStringLiteral(".slot"), QStringLiteral("must be one of: ") + kSlots.join(QStringLiteral(", "))};
        for (const MeterProfile::Setting &other : std::as_const(p.settings))
            if (other.slot == s.slot)
                throw Broken{at + QStringLiteral(".slot"), QStringLiteral("names the slot \"%1\" twice").arg(s.slot)};
        s.send = lines(so.value(QStringLiteral("send")), at + QStringLiteral(".send"));
        s.voltage = lines(so.value(QStringLiteral("voltage")), at + QStringLiteral(".voltage"));
        s.current = lines(so.value(QStringLiteral("current")), at + QStringLiteral(".current"));
        if (s.send.isEmpty() && s.voltage.isEmpty() && s.current.isEmpty())
            throw Broken{at, QStringLiteral("sends no line (\"send\", \"voltage\" or \"current\")")};
        p.settings << s;
    }
    p.speeds = tokens(o, QStringLiteral("speeds"));
    for (auto it = p.speeds.begin(); it != p.speeds.end(); ++it)
        if (!kSpeeds.contains(it.key()))
            throw Broken{QStringLiteral("speeds.") + it.key(), QStringLiteral("is not a speed (MAX, FAST, MED, SLOW)")};

    const QJsonValue functions = o.value(QStringLiteral("functions"));
    if (!functions.isUndefined()) {
        if (!functions.isObject())
            throw Broken{QStringLiteral("functions"), QStringLiteral("must be an object of \"ITEM SECOND [CIRCUIT]\" keys")};
        const QJsonObject fo = functions.toObject();
        for (auto it = fo.begin(); it != fo.end(); ++it) {
            const QString at = QStringLiteral("functions.") + it.key();
            MeterProfile::Function f;
            if (it.value().isString()) {
                f.token = it.value().toString();
            } else if (it.value().isObject()) {
                const QJsonObject t = it.value().toObject();
                f.token = text(t, QStringLiteral("token"), true);
                f.primary = field(t, QStringLiteral("primary"), at + QStringLiteral(".primary"), 0);
                f.secondary = field(t, QStringLiteral("secondary"), at + QStringLiteral(".secondary"), 0);
            }
            if (f.token.isEmpty())
                throw Broken{at, QStringLiteral("must be a token or {\"token\", \"primary\", \"secondary\"}")};
            p.functions.insert(it.key().simplified(), f);
        }
    }
    p.first = tokens(o, QStringLiteral("first"));
    p.second = tokens(o, QStringLiteral("second"));
    if (p.functions.isEmpty() && p.first.isEmpty())
        throw Broken{QStringLiteral("functions"), QStringLiteral("is missing (or \"first\" for a meter with one parameter per slot)")};
    if (o.contains(QStringLiteral("secondOff")))
        p.secondOff = text(o, QStringLiteral("secondOff"), true);

    const QJsonValue reply = o.value(QStringLiteral("reply"));
    if (!reply.isUndefined() && !reply.isObject())
        throw Broken{QStringLiteral("reply"), QStringLiteral("must be an object")};
    const QJsonObject ro = reply.toObject();
    p.separator = ro.contains(QStringLiteral("separator")) ? text(ro, QStringLiteral("separator"), true) : QStringLiteral(",");
    p.primaryField = field(ro, QStringLiteral("primary"), QStringLiteral("reply.primary"), 1);
    p.secondaryField = field(ro, QStringLiteral("secondary"), QStringLiteral("reply.secondary"), 2);
    p.statusField = field(ro, QStringLiteral("status"), QStringLiteral("reply.status"), 0);
    const QJsonValue statuses = ro.value(QStringLiteral("statuses"));
    if (!statuses.isUndefined()) {
        if (!statuses.isObject())
            throw Broken{QStringLiteral("reply.statuses"), QStringLiteral("must be an object of codes and meanings")};
        const QJsonObject so = statuses.toObject();
        for (auto it = so.begin(); it != so.end(); ++it) {
            bool ok = false;
            const int code = it.key().toInt(&ok);
            if (!ok || !it.value().isString() || it.value().toString().isEmpty())
                throw Broken{QStringLiteral("reply.statuses.") + it.key(),
                    QStringLiteral("must pair a whole-number code with \"reading\", \"overload\" or an error's words")};
            p.statuses.insert(code, it.value().toString());
        }
    }
    const QJsonValue overload = o.value(QStringLiteral("overload"));
    if (!overload.isUndefined()) {
        if (!overload.isDouble() || overload.toDouble() <= 0)
            throw Broken{QStringLiteral("overload"), QStringLiteral("must be a number above 0")};
        p.overload = overload.toDouble();
    }
}

} // namespace

MeterProfile MeterProfile::legacy()
{
    MeterProfile p;
    p.name = legacyName();
    p.description = QStringLiteral("The built-in meter family (the default).");
    p.identity = QStringLiteral("44");
    p.transports = kTransports;
    p.identify = QStringLiteral("*IDN?");
    p.connect = {QStringLiteral("*LOC")};
    p.finish = {QStringLiteral("*LOC")};
    p.measure = QStringLiteral("MEAS:TRIG");
    return p;
}

bool MeterProfile::matches(const QByteArray &identification) const
{
    if (isLegacy())
        return identification.contains("44");
    return QRegularExpression(identity).match(QString::fromLatin1(identification)).hasMatch();
}

QStringList MeterProfile::items() const
{
    if (isLegacy())
        return {"C", "L", "X", "B", "Z", "Y", "Rdc"};
    QStringList out;
    const QStringList keys = first.isEmpty() ? functions.keys() : first.keys();
    for (const QString &k : keys) {
        const QString item = k.section(QLatin1Char(' '), 0, 0);
        if (!out.contains(item))
            out << item;
    }
    return out;
}

QString MeterProfile::terminatorName() const
{
    return terminator == "\r\n" ? QStringLiteral("CRLF") : QStringLiteral("LF");
}

bool MeterProfile::read(const QString &path, MeterProfile *out, QString *error)
{
    auto fail = [&](const QString &key, const QString &what) {
        if (error)
            *error = key.isEmpty() ? QStringLiteral("The meter profile %1 %2.").arg(path, what)
                                   : QStringLiteral("The meter profile %1 is refused: \"%2\" %3.").arg(path, key, what);
        return false;
    };
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return fail(QString(), QStringLiteral("cannot be read (%1)").arg(f.errorString()));
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &pe);
    if (pe.error != QJsonParseError::NoError)
        return fail(QString(), QStringLiteral("is not JSON (%1 at byte %2)").arg(pe.errorString()).arg(pe.offset));
    if (!doc.isObject())
        return fail(QString(), QStringLiteral("must hold one JSON object"));
    MeterProfile p;
    try {
        parse(doc.object(), p);
    } catch (const Broken &b) {
        return fail(b.key, b.what);
    }
    p.file = QFileInfo(path).absoluteFilePath();
    if (p.name != QFileInfo(path).completeBaseName())
        return fail(QStringLiteral("name"), QStringLiteral("must equal the file's name without \".json\""));
    if (out)
        *out = p;
    return true;
}

MeterProfiles::MeterProfiles() : MeterProfiles(defaultFolders()) {}

MeterProfiles::MeterProfiles(const QStringList &folders)
{
    m_profiles << MeterProfile::legacy();
    for (const QString &folder : folders) {
        const QDir dir(folder);
        for (const QString &name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
            MeterProfile p;
            QString error;
            if (!MeterProfile::read(dir.filePath(name), &p, &error)) {
                m_problems << error;
                continue;
            }
            bool replaced = false;
            for (MeterProfile &known : m_profiles)
                if (known.name == p.name) {
                    known = p;
                    replaced = true;
                }
            if (!replaced)
                m_profiles << p;
        }
    }
}

const MeterProfile *MeterProfiles::find(const QString &name) const
{
    for (const MeterProfile &p : m_profiles)
        if (p.name == name)
            return &p;
    return nullptr;
}

const MeterProfile *MeterProfiles::identify(const QByteArray &identification) const
{
    for (const MeterProfile &p : m_profiles)
        if (!p.isLegacy() && p.matches(identification))
            return &p;
    for (const MeterProfile &p : m_profiles)
        if (p.isLegacy() && p.matches(identification))
            return &p;
    return nullptr;
}

QString MeterProfiles::patterns() const
{
    QStringList out;
    for (const MeterProfile &p : m_profiles)
        out << QStringLiteral("%1 \"%2\"").arg(p.name, p.identity);
    return out.join(QStringLiteral(", "));
}

QString MeterProfiles::unknownText(const QString &name) const
{
    for (const QString &problem : m_problems)
        if (problem.contains(QLatin1Char('/') + name + QStringLiteral(".json")))
            return problem;
    QStringList names;
    for (const MeterProfile &p : m_profiles)
        names << p.name;
    return QStringLiteral("There is no meter profile \"%1\"; the profiles are %2 (or auto).")
        .arg(name, names.join(QStringLiteral(", ")));
}

QStringList MeterProfiles::defaultFolders()
{
    QStringList folders;
    const QString env = qEnvironmentVariable("QEL_METER_PROFILES");
    if (!env.isEmpty())
        folders = env.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    else
        folders << QCoreApplication::applicationDirPath() + QStringLiteral("/../share/qel/meters");
    folders << userFolder();
    return folders;
}

QString MeterProfiles::userFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Qel/meters");
}
