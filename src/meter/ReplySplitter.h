#pragma once

#include <QByteArray>
#include <QString>

// Splits the meter's reply to a trigger, "primary[,secondary]\n", into its
// two reading texts and reads their numbers.
class ReplySplitter
{
public:
    struct Parts
    {
        QString primary;   // keeps leading blanks when a comma follows
        QString secondary; // blanks and line ends removed
        bool hasSecondary = false;

        double primaryValue() const;
        double secondaryValue() const;
    };

    // Text up to the first comma is the primary reading, the rest the
    // secondary one; without a comma the whole line, blanks and line ends
    // removed, is the primary reading.
    static Parts split(const QString &line);
    static Parts split(const QByteArray &line);
    // Longest leading decimal number of a reading text; 0 without one.
    static double value(const QString &text);
};
