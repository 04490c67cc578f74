// qel-cli is a headless program: it must start where no widget library is
// installed, so it links none.

#include "../support/TestPaths.h"

#include <QProcess>

#include <gtest/gtest.h>

TEST(CliLibraries, LinksQtGuiButNoWidgetLibrary)
{
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {QStringLiteral(QEL_BIN_DIR "/qel-cli")});
    ASSERT_TRUE(ldd.waitForFinished(20000));
    const QString libraries = QString::fromLocal8Bit(ldd.readAllStandardOutput());
    ASSERT_TRUE(libraries.contains(QStringLiteral("libQt6Gui"))) << qPrintable(libraries);
    EXPECT_FALSE(libraries.contains(QStringLiteral("Widgets"))) << qPrintable(libraries);
    EXPECT_FALSE(libraries.contains(QStringLiteral("Qt6Charts"))) << qPrintable(libraries);
}
