#pragma once

#include "meter/MeterCommands.h"

#include <QByteArray>
#include <QList>

#include <array>

// The last setting command sent per family. A setting goes to the meter only
// when its text differs (case-sensitively) from what that family last sent.
// Shared by the procedure run and the sweep; emptied when either finishes.
class SettingsCache
{
public:
    // The line to write for one setting (text plus line feed), or an empty
    // array when nothing is to be written. Remembers the text either way.
    QByteArray pass(const MeterCommands::Setting &setting);
    // The lines to write for a group of settings, in the given order.
    QList<QByteArray> filter(const QList<MeterCommands::Setting> &settings);

    // The remembered text of a family, without its line feed.
    const QByteArray &entry(MeterCommands::Family family) const;
    void clear();
    bool isEmpty() const;

private:
    std::array<QByteArray, MeterCommands::FamilyCount> m_entries;
};
