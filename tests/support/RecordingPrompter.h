#pragma once

#include "common/Prompter.h"

#include <QList>
#include <QString>

// Records every message and question; answers questions from a script
// (front first), then with the default answer.
class RecordingPrompter : public Prompter
{
public:
    struct Said
    {
        QString caption;
        QString text;
        Icon icon;
        bool question;
    };

    QList<Said> said;
    QList<bool> answers;
    bool defaultAnswer = true;

    void inform(const QString &caption, const QString &text, Icon icon) override
    {
        said.append({caption, text, icon, false});
    }
    bool ask(const QString &caption, const QString &text, Icon icon) override
    {
        said.append({caption, text, icon, true});
        return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
    }
    QStringList texts() const
    {
        QStringList out;
        for (const Said &s : said)
            out << s.text;
        return out;
    }
    void clear() { said.clear(); }
};
