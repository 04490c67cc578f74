// Every pair of meter items that fixes the impedance gives it back, in
// series and parallel, for a capacitive and an inductive part; the meter's
// readings are made here from Z = R + jX and Y = G + jB by hand.

#include "analysis/ImpedanceItems.h"
#include "analysis/SweepColumns.h"

#include <cmath>

#include <gtest/gtest.h>

using cd = std::complex<double>;

TEST(ImpedanceItems, EveryDeterminingPairGivesTheImpedanceBack)
{
    const double w = 2 * 3.14159265358979323846 * 1000;
    for (const cd z : {cd(3, -40), cd(0.2, 15), cd(1000, 2)}) {
        const cd y = 1.0 / z;
        const double R = z.real(), X = z.imag(), G = y.real(), B = y.imag();
        struct Reading
        {
            const char *first, *second;
            bool parallel;
            double p, s;
        };
        const Reading readings[] = {
            {"Z", "Angle", false, std::abs(z), std::arg(z) * 180 / 3.14159265358979323846},
            {"Y", "Angle", false, std::abs(y), std::arg(y) * 180 / 3.14159265358979323846},
            {"C", "D", false, -1 / (w * X), R / std::fabs(X)},
            {"C", "Q", false, -1 / (w * X), std::fabs(X) / R},
            {"C", "R", false, -1 / (w * X), R},
            {"C", "R", true, B / w, 1 / G},
            {"C", "G", true, B / w, G},
            {"C", "D", true, B / w, G / std::fabs(B)},
            {"L", "Q", false, X / w, std::fabs(X) / R},
            {"L", "R", false, X / w, R},
            {"L", "R", true, -1 / (w * B), 1 / G},
            {"X", "R", false, X, R},
            {"X", "D", false, X, R / std::fabs(X)},
            {"B", "G", true, B, G},
            {"B", "Q", true, B, std::fabs(B) / G},
        };
        for (const Reading &r : readings) {
            SCOPED_TRACE(std::string(r.first) + "+" + r.second + (r.parallel ? " PAR" : " SER"));
            cd back;
            ASSERT_TRUE(ImpedanceItems::impedance(QString::fromLatin1(r.first), QString::fromLatin1(r.second), r.parallel, w,
                r.p, r.s, &back));
            EXPECT_NEAR(back.real(), R, 1e-9 * std::abs(z));
            EXPECT_NEAR(back.imag(), X, 1e-9 * std::abs(z));
        }
    }
    cd z;
    EXPECT_FALSE(ImpedanceItems::impedance(QStringLiteral("C"), QStringLiteral("off"), false, w, 1e-9, 0, &z));
    EXPECT_FALSE(ImpedanceItems::impedance(QStringLiteral("Rdc"), QStringLiteral("off"), false, w, 10, 0, &z));
}

TEST(CellValue, ReadsTheResultListsCellsInBaseUnits)
{
    const struct
    {
        const char *cell;
        double value;
    } good[] = {{"15.915500KO", 15915.5}, {"0.000050KO", 0.05}, {"-89.9982\u00b0", -89.9982}, {"628.319uD", 628.319e-6},
        {"2.51327mD", 2.51327e-3}, {"50.0000mO", 0.05}, {"2.000000MO", 2e6}, {"1000.000000Hz", 1000},
        {"1.500000KHz", 1500}, {"100.000000mV", 0.1}, {"1.000000uF", 1e-6}, {"3.3KH", 3300}};
    for (const auto &g : good) {
        double v = 0;
        ASSERT_TRUE(CellValue::parse(QString::fromUtf8(g.cell), &v)) << g.cell;
        EXPECT_NEAR(v, g.value, std::fabs(g.value) * 1e-12) << g.cell;
    }
    for (const char *bad : {"", "junk", "12.3xO", "9.900000E+37O", "--1O"}) {
        double v = 0;
        EXPECT_FALSE(CellValue::parse(QString::fromUtf8(bad), &v)) << bad;
    }
}
