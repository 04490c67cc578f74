#pragma once

#include <QDialog>

// "About Qel": name, version and what the program is.
class CAboutDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget *parent = nullptr);
};
