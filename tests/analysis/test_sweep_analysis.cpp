// What the Sweep Analysis shows follows the data it is given: markers found
// automatically are found again in a new sweep, and a fit whose parameters
// no part can have is refused.

#include "analysis/CircuitFit.h"
#include "analysis/SweepAnalysis.h"
#include "procedure/FieldParsing.h"

#include <QChar>

#include <cmath>
#include <complex>

#include <gtest/gtest.h>

namespace {

const double Pi = 3.14159265358979323846;

// A Z and Angle sweep of a capacitor with ESR and ESL, log spaced, as the
// result list holds it (|Z| in ohms, the angle in degrees).
SweepColumns capacitorSweep(double c, double esr, double esl, double lo, double hi, int n)
{
    SweepColumns s;
    s.sweptTitle = QStringLiteral("Frequence");
    s.lineTitles = {QStringLiteral("Z1"), QStringLiteral("Angle2")};
    for (int i = 0; i < n; ++i) {
        const double f = lo * std::pow(hi / lo, double(i) / (n - 1));
        const double w = 2 * Pi * f;
        const std::complex<double> z(esr, w * esl - 1 / (w * c));
        s.rows << QStringList{FieldParsing::formatFixed(f) + QStringLiteral("Hz"),
            FieldParsing::formatFixed(std::abs(z)) + QStringLiteral("O"),
            FieldParsing::formatFixed(std::arg(z) * 180 / Pi) + QChar(0x00B0)};
    }
    return s;
}

} // namespace

TEST(SweepAnalysisFollowsTheData, AutomaticMarkersAreFoundAgainAndHandPlacedOnesStay)
{
    SweepAnalysis a;
    EXPECT_TRUE(a.setData(capacitorSweep(100e-9, 0.05, 10e-9, 1e3, 2e7, 61), true));
    QString why;
    ASSERT_TRUE(a.placeAutomatic(SweepAnalysis::Automatic::Resonance, &why)) << qPrintable(why);
    ASSERT_TRUE(a.placeAutomatic(SweepAnalysis::Automatic::Minimum, &why)) << qPrintable(why);
    ASSERT_TRUE(a.addMarker(1e5));
    const double first = 1 / (2 * Pi * std::sqrt(100e-9 * 10e-9));
    EXPECT_NEAR(a.markers()[0].x / first, 1, 0.005);

    // The same data again moves nothing, not even a dragged automatic marker.
    a.moveMarker(0, 2e6);
    EXPECT_FALSE(a.setData(capacitorSweep(100e-9, 0.05, 10e-9, 1e3, 2e7, 61), true));
    EXPECT_EQ(a.markers()[0].x, 2e6);

    // Another part: the resonance and the minimum move to it, the hand-placed
    // marker stays where it was and reads the new data there.
    EXPECT_TRUE(a.setData(capacitorSweep(1e-6, 0.05, 10e-9, 1e3, 2e7, 61), true));
    const double second = 1 / (2 * Pi * std::sqrt(1e-6 * 10e-9));
    ASSERT_EQ(a.markers().size(), 3);
    EXPECT_EQ(a.markers()[0].name, QStringLiteral("resonance"));
    EXPECT_NEAR(a.markers()[0].x / second, 1, 0.005);
    EXPECT_NEAR(a.markers()[1].x / second, 1, 0.1);
    EXPECT_EQ(a.markers()[2].x, 1e5);
    EXPECT_NEAR(a.reading(2, 0) * 2 * Pi * 1e5 * 1e-6, 1, 0.01);

    // No data (Stop / Reset): the automatic markers go; a sweep that shows a
    // resonance again brings them back.
    a.setData(SweepColumns(), true);
    ASSERT_EQ(a.markers().size(), 1);
    EXPECT_EQ(a.markers()[0].name, QStringLiteral("M1"));
    a.setData(capacitorSweep(100e-9, 0.05, 10e-9, 1e3, 2e7, 61), true);
    ASSERT_EQ(a.markers().size(), 3);
    EXPECT_EQ(a.markers()[1].name, QStringLiteral("resonance"));
    EXPECT_NEAR(a.markers()[1].x / first, 1, 0.005);
    EXPECT_EQ(a.markers()[2].name, QStringLiteral("min"));
    a.clearMarkers();
    a.setData(capacitorSweep(1e-6, 0.05, 10e-9, 1e3, 2e7, 61), true);
    EXPECT_TRUE(a.markers().isEmpty());
}

TEST(CircuitFitRefusals, ParametersNoPartHasAreRefused)
{
    // A constant 1 kohm at -90 degrees from 3 to 6 kHz: a capacitor fits it
    // within the noise limit only with a negative ESL.
    QVector<CircuitFit::Point> flat;
    for (int i = 0; i < 41; ++i) {
        CircuitFit::Point p;
        p.frequency = 3000 * std::pow(2.0, i / 40.0);
        p.z = std::polar(1000.0, -Pi / 2);
        p.noise = 5e-7;
        flat << p;
    }
    for (CircuitFit::Model m : {CircuitFit::Model::Capacitor, CircuitFit::Model::Inductor, CircuitFit::Model::Resistor}) {
        const CircuitFit::Result r = CircuitFit::fit(m, flat);
        EXPECT_FALSE(r.ok) << qPrintable(CircuitFit::modelName(m));
        EXPECT_FALSE(r.refusal.isEmpty());
        EXPECT_FALSE(r.refusal.contains(QLatin1Char('\n')));
    }
    const CircuitFit::Result cap = CircuitFit::fit(CircuitFit::Model::Capacitor, flat);
    EXPECT_TRUE(cap.refusal.contains(QLatin1String("negative"))) << qPrintable(cap.refusal);

    // A real capacitor still fits, an ideal one (no ESR) too.
    for (double esr : {0.05, 0.0}) {
        QVector<CircuitFit::Point> part;
        for (int i = 0; i < 41; ++i) {
            CircuitFit::Point p;
            p.frequency = 100 * std::pow(2e5, i / 40.0);
            const double w = 2 * Pi * p.frequency;
            p.z = std::complex<double>(esr, w * 10e-9 - 1 / (w * 100e-9));
            p.noise = 5e-7;
            part << p;
        }
        const CircuitFit::Result r = CircuitFit::fit(CircuitFit::Model::Capacitor, part);
        ASSERT_TRUE(r.ok) << esr << " " << qPrintable(r.refusal);
        EXPECT_NEAR(r.value(QStringLiteral("C")) / 100e-9, 1, 1e-6);
        EXPECT_NEAR(r.value(QStringLiteral("ESL")) / 10e-9, 1, 1e-6);
    }
}
