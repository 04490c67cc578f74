#include "components/ui/PictureButton.h"

#include "../../procedure/ui/GuiDriver.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

// Counts pixels that are not fully transparent.
int paintedPixels(const QIcon &icon, int side)
{
    const QImage img = icon.pixmap(side, side).toImage().convertToFormat(QImage::Format_ARGB32);
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += qAlpha(img.pixel(x, y)) > 0 ? 1 : 0;
    return n;
}

} // namespace

TEST(PictureButton, EveryButtonPictureLoadsAndPaints)
{
    for (const char *name : {"run", "stop", "excel", "del"}) {
        PictureButton b(QStringLiteral("Caption"), QString::fromLatin1(name));
        EXPECT_EQ(b.picture(), QString::fromLatin1(name));
        ASSERT_FALSE(b.icon().isNull()) << name;
        // Something is drawn, but not a solid square: a real picture.
        const int painted = paintedPixels(b.icon(), 24);
        EXPECT_GT(painted, 24 * 24 / 5) << name;
        EXPECT_LT(painted, 24 * 24) << name;
    }
}

TEST(PictureButton, UnknownPictureLeavesNoIcon)
{
    PictureButton b(QStringLiteral("Run"), QStringLiteral("no-such-picture"));
    EXPECT_TRUE(b.icon().isNull());
    b.setPicture(QStringLiteral("run"));
    EXPECT_FALSE(b.icon().isNull());
    b.setPicture(QString());
    EXPECT_TRUE(b.icon().isNull());
}

TEST(PictureButton, CaptionIsShownTextAndFitsTheHint)
{
    PictureButton b(QStringLiteral("Emergency Stop"), QStringLiteral("stop"));
    EXPECT_EQ(b.text(), QStringLiteral("Emergency Stop"));
    EXPECT_GT(b.sizeHint().width(), b.fontMetrics().horizontalAdvance(b.text()) + b.iconSize().width());
}

TEST(PictureButton, ClickDeliveredOnceAndNotWhenDisabled)
{
    PictureButton b(QStringLiteral("Run"), QStringLiteral("run"));
    b.resize(120, 40);
    b.show();
    int clicks = 0;
    QObject::connect(&b, &QPushButton::clicked, [&] { ++clicks; });
    GuiDriver::click(&b);
    EXPECT_EQ(clicks, 1);

    b.setEnabled(false);
    GuiDriver::click(&b);
    EXPECT_EQ(clicks, 1);

    b.setEnabled(true);
    GuiDriver::click(&b);
    EXPECT_EQ(clicks, 2);
}
