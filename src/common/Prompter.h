#pragma once

#include <QString>

// How core code talks to the operator: a message or a question crosses the
// seam as data. The desktop program shows a message box, qel-cli prints to
// stderr, tests record and answer as scripted. No core class opens a dialog.
class Prompter
{
public:
    enum class Icon { None, Information, Warning, Error, Question };

    virtual ~Prompter() = default;

    // A message with an OK button.
    virtual void inform(const QString &caption, const QString &text, Icon icon) = 0;

    // A question with OK and Cancel; true means OK.
    virtual bool ask(const QString &caption, const QString &text, Icon icon) = 0;
};

// Answers every question with a fixed answer and forgets every message.
class SilentPrompter : public Prompter
{
public:
    explicit SilentPrompter(bool answer = true) : m_answer(answer) {}
    void inform(const QString &, const QString &, Icon) override {}
    bool ask(const QString &, const QString &, Icon) override { return m_answer; }

private:
    bool m_answer;
};
