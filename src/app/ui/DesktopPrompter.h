#pragma once

#include "common/Prompter.h"

class QWidget;

// Shows messages and questions as modal message boxes over the main window.
class DesktopPrompter : public Prompter
{
public:
    explicit DesktopPrompter(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    void inform(const QString &caption, const QString &text, Icon icon) override;
    bool ask(const QString &caption, const QString &text, Icon icon) override;

private:
    QWidget *m_parent;
};
