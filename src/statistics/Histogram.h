#pragma once

#include <QString>
#include <QVector>

#include <vector>

// Equal-width bins over the range of the values. The width follows the
// Freedman-Diaconis rule, 2 IQR / cbrt(n), which holds up for the large
// lots of a production line; Sturges' rule, ceil(log2 n) + 1 bins, takes
// over when the quartiles coincide (IQR 0) or there are fewer than four
// values. At most MaxBins bins.
struct Histogram
{
    static constexpr int MaxBins = 200;

    double start = 0;
    double width = 0; // 0 when every value is the same: one bin at start
    QVector<int> counts;
    QString rule; // "Freedman-Diaconis" or "Sturges"; empty without values

    // The values are sorted in place (for the quartiles).
    static Histogram of(std::vector<double> &values);
    // Linear interpolation between order statistics (as numpy's default and
    // Python's statistics.quantiles(method="inclusive")).
    static double quantile(const std::vector<double> &sorted, double q);
};
