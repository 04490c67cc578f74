// The manual in its window: every page opened in the real browser, every
// link (page and section) followed, every picture loaded; navigation and
// search; and the start-up hint in the status bar when no meter answers.

#include "DesktopRig.h"

#include "app/ui/ManualWindow.h"

#include <QDirIterator>
#include <QLayout>
#include <QImage>
#include <QScrollBar>
#include <QSet>

#include <iostream>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextFragment>

namespace {

QString manualDir() { return qelSourceDir() + QStringLiteral("/docs/manual"); }

struct PageRefs
{
    QStringList links;
    QStringList images;
};

PageRefs refsOf(const QTextDocument *doc)
{
    PageRefs refs;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (f.isImageFormat())
                refs.images << f.toImageFormat().name();
            else if (f.isAnchor() && !f.anchorHref().isEmpty() && !refs.links.contains(f.anchorHref()))
                refs.links << f.anchorHref();
        }
    }
    return refs;
}

// Pictures the script cannot make yet are marked so in the pictures' list.
QStringList picturesNotMadeYet()
{
    QFile f(manualDir() + QStringLiteral("/images/README.md"));
    QStringList names;
    if (!f.open(QIODevice::ReadOnly))
        return names;
    static const QRegularExpression row(QStringLiteral("^\\| `([^`]+\\.png)` \\|.*\\(not made yet\\)"));
    for (const QString &line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        const auto m = row.match(line);
        if (m.hasMatch())
            names << m.captured(1);
    }
    return names;
}

} // namespace

TEST(ManualWindow, EveryPageLinkSectionAndPictureResolves)
{
    qputenv("QEL_MANUAL_DIR", manualDir().toLocal8Bit());
    const QString dir = ManualWindow::findManual();
    qunsetenv("QEL_MANUAL_DIR");
    ASSERT_EQ(dir, QDir::cleanPath(manualDir()));
    ManualWindow window(dir);
    window.show();
    ManualBrowser *browser = window.browser();
    const QStringList pending = picturesNotMadeYet();

    QStringList pages;
    QDirIterator it(dir, {QStringLiteral("*.md")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        pages << QDir(dir).relativeFilePath(it.next());
    pages.sort();
    ASSERT_GE(pages.size(), 14);

    int links = 0, sections = 0, pictures = 0;
    QStringList picturesSeen;
    for (const QString &page : pages) {
        SCOPED_TRACE(page.toStdString());
        window.openPage(page);
        const QUrl pageUrl = browser->source();
        ASSERT_EQ(pageUrl.toLocalFile(), QDir(dir).absoluteFilePath(page));
        EXPECT_FALSE(browser->document()->toPlainText().trimmed().isEmpty());
        EXPECT_FALSE(browser->headingAnchors().isEmpty()) << "a page without a heading";
        const PageRefs refs = refsOf(browser->document());

        for (const QString &name : refs.images) {
            const QUrl url = pageUrl.resolved(QUrl(name));
            const QString file = QFileInfo(url.toLocalFile()).fileName();
            picturesSeen << file;
            if (pending.contains(file))
                continue;
            ++pictures;
            // What the browser hands the page: the file's bytes, which must decode.
            const QVariant loaded = browser->loadResource(QTextDocument::ImageResource, QUrl(name));
            const QImage image = loaded.typeId() == QMetaType::QByteArray
                ? QImage::fromData(loaded.toByteArray())
                : loaded.value<QImage>();
            EXPECT_FALSE(image.isNull()) << "missing picture " << qPrintable(name);
            EXPECT_LE(image.width(), 1000) << qPrintable(name);
            EXPECT_LE(QFileInfo(url.toLocalFile()).size(), 150 * 1024) << qPrintable(name) << " is large";
        }
        for (const QString &href : refs.links) {
            SCOPED_TRACE(href.toStdString());
            const QUrl target = pageUrl.resolved(QUrl(href));
            if (target.scheme() != QLatin1String("file"))
                continue; // a web address
            ++links;
            if (!QFileInfo::exists(target.toLocalFile())) {
                ADD_FAILURE() << "broken link " << qPrintable(href);
                continue;
            }
            browser->setSource(target);
            EXPECT_EQ(browser->source().adjusted(QUrl::RemoveFragment), target.adjusted(QUrl::RemoveFragment));
            if (!target.fragment().isEmpty()) {
                ++sections;
                EXPECT_TRUE(browser->headingAnchors().contains(target.fragment()))
                    << "no section " << qPrintable(target.fragment()) << " in " << qPrintable(target.path());
            }
            window.openPage(page);
        }
    }
    EXPECT_GT(links, 40);
    EXPECT_GT(sections, 15);
    // Every picture the list names is shown somewhere, and a pending one is
    // really still missing (it comes off the list once made).
    for (const QString &name : pending) {
        EXPECT_TRUE(picturesSeen.contains(name)) << qPrintable(name);
        EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/images/") + name))
            << qPrintable(name) << " exists: take it off the not-made-yet list";
    }
    std::cout << pages.size() << " pages, " << links << " links (" << sections << " to sections), " << pictures
              << " pictures checked, " << pending.size() << " not made yet\n";
}

TEST(ManualWindow, SectionsHaveTheAnchorsOfTheWebRendering)
{
    EXPECT_EQ(ManualBrowser::anchorFor(QStringLiteral("A box says \"Connecting Error!\"")),
        QStringLiteral("a-box-says-connecting-error"));
    EXPECT_EQ(ManualBrowser::anchorFor(QStringLiteral("Look at recorded runs: the Results History window")),
        QStringLiteral("look-at-recorded-runs-the-results-history-window"));
    EXPECT_EQ(ManualBrowser::anchorFor(QStringLiteral("Stop a run (Emergency Stop)")),
        QStringLiteral("stop-a-run-emergency-stop"));
}

class ManualFromTheProgram : public DesktopRig
{
};

TEST_F(ManualFromTheProgram, F1OpensTheManualAfterTheLegacyHelpItemAndItNavigatesAndSearches)
{
    qputenv("QEL_MANUAL_DIR", manualDir().toLocal8Bit());
    ASSERT_TRUE(startApp({}, false));
    // The legacy item stays first; the manual follows.
    QMenu *help = nullptr;
    for (QAction *a : mainWindow()->menuBar()->actions())
        if (a->text() == QStringLiteral("&Help"))
            help = a->menu();
    ASSERT_NE(help, nullptr);
    const QList<QAction *> items = help->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0], action(MainWindow::AppAbout));
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), QStringLiteral("Qel &Manual"));

    Desktop::pressKey(mainWindow(), Qt::Key_F1);
    auto *window = mainWindow()->findChild<ManualWindow *>();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(Desktop::waitUntil([window] { return window->isVisible(); }));
    ManualBrowser *browser = window->browser();
    EXPECT_TRUE(browser->source().toLocalFile().endsWith(QStringLiteral("docs/manual/README.md")));

    // A link to a section of another page, then Back, Forward and Home.
    browser->setSource(browser->source().resolved(QUrl(QStringLiteral("connecting.md#the-dialout-group"))));
    EXPECT_TRUE(browser->source().toLocalFile().endsWith(QStringLiteral("connecting.md")));
    EXPECT_GT(browser->verticalScrollBar()->value(), 0) << "the section was not scrolled to";
    auto *back = window->findChild<QAction *>(QStringLiteral("manualBack"));
    auto *forward = window->findChild<QAction *>(QStringLiteral("manualForward"));
    ASSERT_TRUE(back && back->isEnabled());
    back->trigger();
    EXPECT_TRUE(browser->source().toLocalFile().endsWith(QStringLiteral("README.md")));
    ASSERT_TRUE(forward->isEnabled());
    forward->trigger();
    EXPECT_TRUE(browser->source().toLocalFile().endsWith(QStringLiteral("connecting.md")));
    window->findChild<QAction *>(QStringLiteral("manualHome"))->trigger();
    EXPECT_TRUE(browser->source().toLocalFile().endsWith(QStringLiteral("README.md")));

    // Search within the page: forward, wrapping, backward, not found.
    window->openPage(QStringLiteral("troubleshooting.md"));
    const QString text = browser->document()->toPlainText();
    const int count = text.count(QStringLiteral("dialout"), Qt::CaseInsensitive);
    ASSERT_GE(count, 2);
    window->searchField()->setText(QStringLiteral("dialout"));
    QList<int> seen;
    for (int i = 0; i < count + 1; ++i) {
        ASSERT_TRUE(window->findNext());
        EXPECT_EQ(browser->textCursor().selectedText().toLower(), QStringLiteral("dialout"));
        seen << browser->textCursor().selectionStart();
    }
    EXPECT_EQ(seen.first(), seen.last()) << "the search did not go round the page";
    EXPECT_EQ(QSet<int>(seen.begin(), seen.end()).size(), count);
    ASSERT_TRUE(window->findNext(true));
    EXPECT_EQ(browser->textCursor().selectionStart(), seen[count - 1]);
    window->searchField()->setText(QStringLiteral("no such words anywhere"));
    EXPECT_FALSE(window->findNext());

    // F1 again raises the same window.
    mainWindow()->activateWindow();
    Desktop::pressKey(mainWindow(), Qt::Key_F1);
    EXPECT_EQ(mainWindow()->findChildren<ManualWindow *>().size(), 1);
    qunsetenv("QEL_MANUAL_DIR");
    window->close();
}

namespace {
const QString kHintTail = QStringLiteral(" \u2014 Setup > Communication, or Help > Qel Manual > Connecting");
}

TEST_F(ManualFromTheProgram, AStartUpConnectNobodyAnswersPointsToTheManualAfterTheLegacyBox)
{
    ASSERT_TRUE(startMeter({QStringLiteral("--no-idn")})) << qPrintable(sim->errorText());
    ASSERT_FALSE(startApp());
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said[0].text, QStringLiteral("Connecting Error!"));
    EXPECT_EQ(mainWindow()->statusBar()->currentMessage(),
        QStringLiteral("No meter answered on ") + sim->devicePath() + kHintTail);

    // Only the start-up attempt says it: a later failed connect leaves the bar alone.
    mainWindow()->statusBar()->showMessage(QStringLiteral("Ready"));
    app->session().connector().connectToMeter();
    ASSERT_TRUE(Desktop::waitUntil([this] { return !app->session().connector().isIdentifying(); }));
    EXPECT_EQ(prompter.said.size(), 2);
    EXPECT_EQ(mainWindow()->statusBar()->currentMessage(), QStringLiteral("Ready"));
}

TEST_F(ManualFromTheProgram, ThePortNumberIsNamedWhenNoDeviceIsSetAndAMeterThatAnswersGetsNoHint)
{
    // Port 1 without a device path: whether /dev/ttyS0 cannot be opened or
    // stays silent, the hint names the port.
    DesktopApp::Options o;
    app = std::make_unique<DesktopApp>(o, &prompter);
    app->session().connector().setIdentificationDelay(100);
    app->start();
    ASSERT_TRUE(Desktop::waitUntil([this] { return !app->session().connector().isIdentifying(); }));
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(mainWindow()->statusBar()->currentMessage(), QStringLiteral("No meter answered on port 1") + kHintTail);
    // In a window 940 px wide the whole hint fits beside the status bar's
    // panes (the results file's path among them). The offscreen screen is
    // narrower than that, so the room is added up rather than laid out.
    QStatusBar *bar = mainWindow()->statusBar();
    int panes = 0;
    for (QWidget *w : bar->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (w->isVisible())
            panes += w->sizeHint().width() + 6;
    EXPECT_LE(panes + bar->fontMetrics().horizontalAdvance(bar->currentMessage()) + 12, 940) << "panes " << panes << " px";
    app.reset();
    prompter.said.clear();

    ASSERT_TRUE(startMeter()) << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    EXPECT_TRUE(prompter.said.isEmpty());
    EXPECT_FALSE(mainWindow()->statusBar()->currentMessage().startsWith(QStringLiteral("No meter answered")));
}
