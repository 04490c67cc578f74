#include "components/ui/Lamp.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

QColor squareCentre(Lamp &lamp)
{
    const QImage img = lamp.grab().toImage();
    const int side = lamp.fontMetrics().height();
    // The lower right quarter of the square, away from the highlight.
    return img.pixelColor(side * 3 / 4, lamp.height() / 2 + side / 4);
}

} // namespace

TEST(Lamp, ValueFollowsSetValue)
{
    Lamp lamp(QStringLiteral("finished"));
    EXPECT_FALSE(lamp.value());
    lamp.setValue(true);
    EXPECT_TRUE(lamp.value());
    lamp.setValue(true);
    EXPECT_TRUE(lamp.value());
    lamp.setValue(false);
    EXPECT_FALSE(lamp.value());
}

TEST(Lamp, OnIsPaintedBrighterThanOff)
{
    Lamp lamp(QStringLiteral("finished"));
    lamp.resize(lamp.sizeHint());
    const QColor off = squareCentre(lamp);
    lamp.setValue(true);
    const QColor on = squareCentre(lamp);
    EXPECT_NE(on, off);
    EXPECT_GT(on.green(), off.green() + 60);
    // Both states are green lamps, not grey.
    EXPECT_GT(on.green(), on.red());
    EXPECT_GT(off.green(), off.red());
}

TEST(Lamp, CaptionWidensTheHintAndIsPainted)
{
    Lamp bare;
    Lamp captioned(QStringLiteral("finished"));
    EXPECT_GT(captioned.sizeHint().width(), bare.sizeHint().width() + captioned.fontMetrics().horizontalAdvance("finished") - 1);

    captioned.resize(captioned.sizeHint());
    const QImage img = captioned.grab().toImage();
    const QColor background = img.pixelColor(img.width() - 1, 0);
    int inked = 0;
    const int textLeft = captioned.fontMetrics().height() + 4;
    for (int y = 0; y < img.height(); ++y)
        for (int x = textLeft; x < img.width(); ++x)
            inked += img.pixelColor(x, y) != background ? 1 : 0;
    EXPECT_GT(inked, 10);
}
