#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

// One meter family as data (docs/meter-profiles.md): how it is identified,
// the lines each setting sends, how a measurement is started and its reply
// read. The built-in "legacy" profile has no data of its own: with it the
// link sends exactly the legacy command set through MeterCommands.
struct MeterProfile
{
    // One setting family: its cache slot and the lines it sends, with the
    // placeholders {frequency} {level} {function} {first} {second} {speed}.
    struct Setting
    {
        QString slot;
        QStringList send;    // used when neither of the two below applies
        QStringList voltage; // for a voltage level
        QStringList current; // for a current level
    };
    // A function token and where its readings are in the reply (1-based).
    struct Function
    {
        QString token;
        int primary = 0;   // 0: the reply's default
        int secondary = 0;
    };

    QString name;
    QString file; // empty for the built-in one
    QString description;
    QString identity; // a regular expression the *IDN? reply must match
    QByteArray terminator = "\n";
    QStringList transports;
    QString identify;
    QStringList connect;
    QStringList finish;
    QList<Setting> settings;
    QMap<QString, QString> speeds;
    QMap<QString, Function> functions; // "ITEM SECOND [CIRCUIT]"
    QMap<QString, QString> first;      // "ITEM [CIRCUIT]"
    QMap<QString, QString> second;     // "SECOND [CIRCUIT]"
    QString secondOff = QStringLiteral("D");
    QString measure;
    QString separator = QStringLiteral(",");
    int primaryField = 1;
    int secondaryField = 2;
    int statusField = 0; // 0: the reply has no status
    QMap<int, QString> statuses; // "reading", "overload" or an error's words
    double overload = 9.9e37;

    bool isLegacy() const { return file.isEmpty() && name == legacyName(); }
    static QString legacyName() { return QStringLiteral("legacy"); }
    static QString autoName() { return QStringLiteral("auto"); }
    static MeterProfile legacy();

    // Whether an identification reply is this profile's meter.
    bool matches(const QByteArray &identification) const;
    // The items the profile can measure, for listings.
    QStringList items() const;
    QString terminatorName() const;

    // Reads a profile file. False with one sentence naming the file, the key
    // and what is wrong in *error.
    static bool read(const QString &path, MeterProfile *out, QString *error);
};

// The profiles a program can choose from: the built-in legacy one, then the
// installed data folder's files, then the user's (~/.local/share/Qel/meters),
// a user's file of the same name winning. Broken files are left out and
// said in problems().
class MeterProfiles
{
public:
    // Reads the folders now.
    MeterProfiles();
    explicit MeterProfiles(const QStringList &folders);

    const QList<MeterProfile> &all() const { return m_profiles; }
    const QStringList &problems() const { return m_problems; }
    // Null when there is none of that name.
    const MeterProfile *find(const QString &name) const;
    // The profile whose identity matches; profiles from files are tried
    // before the legacy one, whose mark is the loosest. Null when none does.
    const MeterProfile *identify(const QByteArray &identification) const;
    // "legacy: 44; scpi-lcr: LCR-E[0-9]; ..."
    QString patterns() const;
    // One sentence for a name that is not a profile, or a broken file of it.
    QString unknownText(const QString &name) const;

    // The installed folder (beside the programs, share/qel/meters) and the
    // user's; QEL_METER_PROFILES (folders separated by ':') replaces the
    // installed one.
    static QStringList defaultFolders();
    static QString userFolder();

private:
    QList<MeterProfile> m_profiles;
    QStringList m_problems;
};
