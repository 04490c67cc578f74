#include "meter/SettingsCache.h"

QByteArray SettingsCache::pass(const MeterCommands::Setting &setting)
{
    QByteArray &last = m_entries[size_t(setting.family)];
    if (last == setting.text)
        return QByteArray();
    last = setting.text;
    if (!setting.writable)
        return QByteArray();
    return setting.text + '\n';
}

QList<QByteArray> SettingsCache::filter(const QList<MeterCommands::Setting> &settings)
{
    QList<QByteArray> lines;
    for (const MeterCommands::Setting &s : settings) {
        QByteArray line = pass(s);
        if (!line.isEmpty())
            lines << line;
    }
    return lines;
}

const QByteArray &SettingsCache::entry(MeterCommands::Family family) const
{
    return m_entries[size_t(family)];
}

void SettingsCache::clear()
{
    for (QByteArray &e : m_entries)
        e.clear();
}

bool SettingsCache::isEmpty() const
{
    for (const QByteArray &e : m_entries)
        if (!e.isEmpty())
            return false;
    return true;
}
