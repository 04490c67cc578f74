#pragma once

#include <QMainWindow>
#include <QStringList>
#include <QTextBrowser>
#include <QUrl>

class QLabel;
class QLineEdit;

// Shows the Markdown pages of the manual. Headings get the anchors a
// Markdown renderer on the web gives them ("## Port numbers and devices" is
// #port-numbers-and-devices), so the pages' links to sections work here too.
class ManualBrowser : public QTextBrowser
{
    Q_OBJECT
public:
    explicit ManualBrowser(QWidget *parent = nullptr);

    // The anchors of the page shown, in order.
    const QStringList &headingAnchors() const { return m_anchors; }
    // The anchor a heading with this text gets (before duplicates are numbered).
    static QString anchorFor(const QString &heading);

protected:
    void doSetSource(const QUrl &name, QTextDocument::ResourceType type) override;

private:
    void nameHeadings();

    QUrl m_named;
    QStringList m_anchors;
};

// Help > Qel Manual: the manual in a window of its own, with Back, Forward,
// Home and a search within the page shown.
class ManualWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit ManualWindow(const QString &manualDir, QWidget *parent = nullptr);

    // Where the manual is: $QEL_MANUAL_DIR, then the documentation folder
    // beside the program (share/doc/qel/manual), then, for a program run
    // from its build tree, the source tree's docs/manual, then the folder
    // the package installs. Empty when none holds README.md.
    static QString findManual();
    // Opens (or raises) the one window and shows <page>#<section> of the
    // manual found; tells in a box when there is no manual.
    static ManualWindow *showManual(QWidget *parent, const QString &page = {}, const QString &section = {});

    ManualBrowser *browser() const { return m_browser; }
    QLineEdit *searchField() const { return m_search; }
    QString manualDir() const { return m_dir; }
    // A page of the manual by its file name, with an optional section.
    void openPage(const QString &page, const QString &section = {});
    void home();
    // Next (or previous) place of the search text, wrapping round the page.
    bool findNext(bool backward = false);

private:
    QString m_dir;
    ManualBrowser *m_browser;
    QLineEdit *m_search;
    QLabel *m_searchNote;
};
