// Where the main window opens and how large it is on screens of other sizes:
// a wide but low screen, a large one and a small one, laid side by side.

#include "DesktopRig.h"

#include "plotter/ui/PlotterView.h"

#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>

namespace {

// Three screens for the whole program, chosen before the application starts.
struct TestScreens
{
    TestScreens()
    {
        path = QDir::tempPath() + QStringLiteral("/qel-apptest-screens-%1.json").arg(QCoreApplication::applicationPid());
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(R"({"screens": [
                {"name": "low", "x": 0, "y": 0, "width": 1024, "height": 600, "logicalDpi": 96, "logicalBpi": 96, "dpr": 1},
                {"name": "large", "x": 1024, "y": 0, "width": 1600, "height": 1200, "logicalDpi": 96, "logicalBpi": 96, "dpr": 1},
                {"name": "small", "x": 2624, "y": 0, "width": 800, "height": 600, "logicalDpi": 96, "logicalBpi": 96, "dpr": 1}
            ]})");
        qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + path).toLocal8Bit());
    }
    ~TestScreens() { QFile::remove(path); }
    QString path;
};
TestScreens testScreens;

class MainWindowScreen : public DesktopRig
{
protected:
    QScreen *screenNamed(const QString &name) const
    {
        for (QScreen *s : QGuiApplication::screens())
            if (s->name() == name)
                return s;
        return nullptr;
    }

    // The program started on the given screen.
    void startOn(QScreen *screen)
    {
        app = std::make_unique<DesktopApp>(DesktopApp::Options{QString(), QString(), false}, &prompter);
        mainWindow()->setScreen(screen);
        ASSERT_TRUE(app->start());
        Desktop::settle();
    }

    // The window, title bar and borders included, lies centred on the screen.
    void expectCentredOn(const QScreen *screen)
    {
        const QRect avail = screen->availableGeometry();
        const QPoint offset = mainWindow()->frameGeometry().center() - avail.center();
        EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
        EXPECT_TRUE(avail.contains(mainWindow()->frameGeometry()));
    }

    QStackedWidget *pages() const { return mainWindow()->findChild<QStackedWidget *>(QStringLiteral("pages")); }

    // Every page has at least the room its controls ask for.
    void expectNoPageSqueezed()
    {
        for (int page : {MainWindow::ProcedurePage, MainWindow::ExecutivePage, MainWindow::PlotterPage}) {
            mainWindow()->showPage(page);
            Desktop::settle();
            QWidget *shown = pages()->currentWidget();
            EXPECT_GE(shown->width(), shown->minimumSizeHint().width()) << "page " << page;
            EXPECT_GE(shown->height(), shown->minimumSizeHint().height()) << "page " << page;
        }
    }
};

} // namespace

TEST_F(MainWindowScreen, TheTestRunsOnItsOwnScreens)
{
    ASSERT_NE(screenNamed(QStringLiteral("low")), nullptr) << "QT_QPA_PLATFORM=" << qgetenv("QT_QPA_PLATFORM").constData();
    ASSERT_NE(screenNamed(QStringLiteral("large")), nullptr);
    ASSERT_NE(screenNamed(QStringLiteral("small")), nullptr);
    EXPECT_EQ(screenNamed(QStringLiteral("low"))->size(), QSize(1024, 600));
    EXPECT_EQ(screenNamed(QStringLiteral("small"))->size(), QSize(800, 600));
}

TEST_F(MainWindowScreen, OnALargeScreenTheWindowIsFittedToThePagesAndCentred)
{
    QScreen *large = screenNamed(QStringLiteral("large"));
    ASSERT_NE(large, nullptr);
    startOn(large);
    EXPECT_EQ(mainWindow()->findChild<QScrollArea *>(QStringLiteral("pageScroll")), nullptr) << "nothing needs to scroll";
    EXPECT_NE(mainWindow()->size(), QSize(759, 536));
    // Fitted: not larger than the pages need, and nothing squeezed.
    EXPECT_EQ(mainWindow()->size(), mainWindow()->sizeHint());
    expectNoPageSqueezed();
    expectCentredOn(large);
    // The window cannot be resized by the operator.
    EXPECT_EQ(mainWindow()->minimumSize(), mainWindow()->maximumSize());
}

TEST_F(MainWindowScreen, OnAWideButLowScreenTheWindowKeepsItsWidthAndFitsTheScreen)
{
    QScreen *low = screenNamed(QStringLiteral("low"));
    ASSERT_NE(low, nullptr);
    // The size the pages ask for, measured on the large screen.
    startOn(screenNamed(QStringLiteral("large")));
    const QSize fitted = mainWindow()->size();
    app.reset();

    startOn(low);
    EXPECT_NE(mainWindow()->size(), QSize(759, 536)) << "1024 pixels wide is not a small screen";
    const QSize decorations = mainWindow()->frameGeometry().size() - mainWindow()->size();
    EXPECT_EQ(mainWindow()->width(), std::min(fitted.width(), 1024 - decorations.width()));
    EXPECT_EQ(mainWindow()->height(), std::min(fitted.height(), 600 - decorations.height()));
    expectCentredOn(low);
    if (fitted.height() + decorations.height() > 600)
        EXPECT_NE(mainWindow()->findChild<QScrollArea *>(QStringLiteral("pageScroll")), nullptr);
    expectNoPageSqueezed();
}

TEST_F(MainWindowScreen, OnASmallScreenTheWindowTakesTheSmallSizeCentredAndThePagesScroll)
{
    QScreen *small = screenNamed(QStringLiteral("small"));
    ASSERT_NE(small, nullptr);
    startOn(small);
    EXPECT_EQ(mainWindow()->size(), QSize(759, 536));
    expectCentredOn(small);
    EXPECT_NE(mainWindow()->findChild<QScrollArea *>(QStringLiteral("pageScroll")), nullptr);
    // No page is squeezed below what its controls need.
    expectNoPageSqueezed();
    // The pages still switch and fill the scrolled area.
    mainWindow()->action(MainWindow::ViewPlotter)->trigger();
    EXPECT_EQ(pages()->currentWidget(), static_cast<QWidget *>(app->plotterView()));
}
