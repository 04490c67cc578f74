#include "components/ui/Lamp.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

namespace {

QColor squareCentre(Lamp &lamp)
{
    const QImage img = lamp.grab().toImage();
    const int side = lamp.fontMetrics().height();
    // The lower right quarter of the square, away from the highlight.
    return img.pixelColor(side * 3 / 4, lamp.height() / 2 + side / 4);
}

// Relative luminance of a colour on a screen (sRGB), 0 black to 1 white.
double luminance(const QColor &c)
{
    auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
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

TEST(Lamp, OffReadsAsOutBesideOn)
{
    Lamp lamp(QStringLiteral("finished"));
    lamp.resize(lamp.sizeHint());
    const QImage offImage = lamp.grab().toImage();
    const QColor off = squareCentre(lamp);
    lamp.setValue(true);
    const QImage onImage = lamp.grab().toImage();
    const QColor on = squareCentre(lamp);
    // Unlit: dark, the lamp's hue kept but hardly any light left.
    EXPECT_LT(off.valueF(), 0.2) << off.name().toStdString();
    // Side by side the two differ as a lit lamp from an unlit one: a
    // contrast of at least 7:1, as for text meant to be read at a glance.
    const double contrast = (luminance(on) + 0.05) / (luminance(off) + 0.05);
    EXPECT_GE(contrast, 7.0) << on.name().toStdString() << " vs " << off.name().toStdString();

    if (!qEnvironmentVariableIsEmpty("QEL_SCREENSHOT_DIR")) {
        QImage both(offImage.width() * 2 + 8, offImage.height(), QImage::Format_ARGB32);
        both.fill(lamp.palette().color(QPalette::Window));
        QPainter p(&both);
        p.drawImage(0, 0, offImage);
        p.drawImage(offImage.width() + 8, 0, onImage);
        p.end();
        both.scaled(both.size() * 4).save(qEnvironmentVariable("QEL_SCREENSHOT_DIR") + QStringLiteral("/lamp-off-on.png"));
    }
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
