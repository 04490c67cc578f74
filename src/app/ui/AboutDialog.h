#pragma once

#include <QDialog>

// "About Qel": name, version and what the program is.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);
};
