#include "app/ui/ManualWindow.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolBar>

#ifndef QEL_MANUAL_SOURCE_DIR
#define QEL_MANUAL_SOURCE_DIR ""
#endif
#ifndef QEL_MANUAL_INSTALL_DIR
#define QEL_MANUAL_INSTALL_DIR "/usr/share/doc/qel/manual"
#endif

namespace {

const QString IndexPage = QStringLiteral("README.md");

QUrl withoutFragment(QUrl url)
{
    url.setFragment(QString());
    return url;
}

} // namespace

ManualBrowser::ManualBrowser(QWidget *parent) : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("manualBrowser"));
    setOpenExternalLinks(true);
}

QString ManualBrowser::anchorFor(const QString &heading)
{
    QString anchor;
    for (const QChar c : heading.toLower()) {
        if (c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-'))
            anchor += c;
        else if (c == QLatin1Char(' '))
            anchor += QLatin1Char('-');
    }
    return anchor;
}

void ManualBrowser::doSetSource(const QUrl &name, QTextDocument::ResourceType type)
{
    const bool markdown = name.path().endsWith(QLatin1String(".md"));
    QTextBrowser::doSetSource(name, markdown ? QTextDocument::MarkdownResource : type);
    const QUrl page = withoutFragment(source());
    if (page != m_named) {
        m_named = page;
        nameHeadings();
        // The base class looked for the section before the headings had names.
        if (!name.fragment().isEmpty())
            scrollToAnchor(name.fragment());
    }
}

void ManualBrowser::nameHeadings()
{
    m_anchors.clear();
    QTextCursor cursor(document());
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().headingLevel() <= 0)
            continue;
        const QString base = anchorFor(b.text().trimmed());
        QString anchor = base;
        for (int n = 1; m_anchors.contains(anchor); ++n)
            anchor = base + QLatin1Char('-') + QString::number(n);
        m_anchors << anchor;
        cursor.setPosition(b.position());
        cursor.setPosition(b.position() + qMax(1, b.length() - 1), QTextCursor::KeepAnchor);
        QTextCharFormat f;
        f.setAnchor(true);
        f.setAnchorNames({anchor});
        cursor.mergeCharFormat(f);
    }
    document()->setModified(false);
}

ManualWindow::ManualWindow(const QString &manualDir, QWidget *parent)
    : QMainWindow(parent), m_dir(manualDir), m_browser(new ManualBrowser(this)), m_search(new QLineEdit(this)),
      m_searchNote(new QLabel(this))
{
    setObjectName(QStringLiteral("manualWindow"));
    setWindowTitle(QStringLiteral("Qel Manual"));
    setWindowIcon(QIcon(QStringLiteral(":/qel/icons/qel.svg")));
    setCentralWidget(m_browser);
    m_browser->setSearchPaths({m_dir, QFileInfo(m_dir).absolutePath()});

    QToolBar *bar = addToolBar(QStringLiteral("Navigation"));
    bar->setObjectName(QStringLiteral("manualToolbar"));
    bar->setMovable(false);
    QAction *back = bar->addAction(QStringLiteral("Back"), m_browser, &QTextBrowser::backward);
    QAction *forward = bar->addAction(QStringLiteral("Forward"), m_browser, &QTextBrowser::forward);
    QAction *homeAction = bar->addAction(QStringLiteral("Home"), this, &ManualWindow::home);
    back->setObjectName(QStringLiteral("manualBack"));
    forward->setObjectName(QStringLiteral("manualForward"));
    homeAction->setObjectName(QStringLiteral("manualHome"));
    back->setShortcut(QKeySequence::Back);
    forward->setShortcut(QKeySequence::Forward);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);

    bar->addSeparator();
    m_search->setObjectName(QStringLiteral("manualSearch"));
    m_search->setPlaceholderText(QStringLiteral("Find in page"));
    m_search->setClearButtonEnabled(true);
    m_search->setMaximumWidth(240);
    bar->addWidget(m_search);
    QAction *previous = bar->addAction(QStringLiteral("Previous"), this, [this] { findNext(true); });
    QAction *next = bar->addAction(QStringLiteral("Next"), this, [this] { findNext(false); });
    previous->setShortcut(QKeySequence::FindPrevious);
    next->setShortcut(QKeySequence::FindNext);
    bar->addWidget(m_searchNote);
    connect(m_search, &QLineEdit::returnPressed, this, [this] {
        findNext(QApplication::keyboardModifiers() & Qt::ShiftModifier);
    });
    // Typing searches from the top of the page again.
    connect(m_search, &QLineEdit::textEdited, this, [this] {
        QTextCursor c = m_browser->textCursor();
        c.setPosition(c.selectionStart());
        m_browser->setTextCursor(c);
        if (!m_search->text().isEmpty())
            findNext(false);
        else
            m_searchNote->clear();
    });
    auto *focusSearch = new QShortcut(QKeySequence::Find, this);
    connect(focusSearch, &QShortcut::activated, this, [this] {
        m_search->setFocus();
        m_search->selectAll();
    });
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] { m_searchNote->clear(); });
    connect(m_browser, &QTextBrowser::highlighted, this, [this](const QUrl &link) {
        statusBar()->showMessage(link.isEmpty() ? QString() : link.toString());
    });
    resize(900, 700);
}

QString ManualWindow::findManual()
{
    QStringList candidates;
    const QString env = qEnvironmentVariable("QEL_MANUAL_DIR");
    if (!env.isEmpty())
        candidates << env;
    candidates << QCoreApplication::applicationDirPath() + QStringLiteral("/../share/doc/qel/manual");
    candidates << QStringLiteral(QEL_MANUAL_SOURCE_DIR) << QStringLiteral(QEL_MANUAL_INSTALL_DIR);
    for (const QString &dir : candidates)
        if (!dir.isEmpty() && QFileInfo::exists(dir + QLatin1Char('/') + IndexPage))
            return QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
    return {};
}

ManualWindow *ManualWindow::showManual(QWidget *parent, const QString &page, const QString &section)
{
    static QPointer<ManualWindow> window;
    if (!window) {
        const QString dir = findManual();
        if (dir.isEmpty()) {
            QMessageBox::information(parent, QStringLiteral("Qel Manual"),
                QStringLiteral("The manual was not found. The package installs it in %1.")
                    .arg(QStringLiteral(QEL_MANUAL_INSTALL_DIR)));
            return nullptr;
        }
        window = new ManualWindow(dir, parent);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->home();
    }
    if (!page.isEmpty())
        window->openPage(page, section);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void ManualWindow::openPage(const QString &page, const QString &section)
{
    QUrl url = QUrl::fromLocalFile(QDir(m_dir).absoluteFilePath(page));
    if (!section.isEmpty())
        url.setFragment(section);
    m_browser->setSource(url, QTextDocument::MarkdownResource);
}

void ManualWindow::home()
{
    openPage(IndexPage);
}

bool ManualWindow::findNext(bool backward)
{
    const QString text = m_search->text();
    if (text.isEmpty())
        return false;
    const QTextDocument::FindFlags flags = backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    bool found = m_browser->find(text, flags);
    if (!found) {
        // Round the page once.
        QTextCursor c = m_browser->textCursor();
        c.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
        m_browser->setTextCursor(c);
        found = m_browser->find(text, flags);
    }
    m_searchNote->setText(found ? QString() : QStringLiteral("Not found"));
    return found;
}
