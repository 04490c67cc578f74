#include "statistics/Histogram.h"

#include <algorithm>
#include <cmath>

double Histogram::quantile(const std::vector<double> &sorted, double q)
{
    if (sorted.empty())
        return 0;
    const double pos = q * double(sorted.size() - 1);
    const size_t i = size_t(std::floor(pos));
    const double frac = pos - double(i);
    if (i + 1 >= sorted.size())
        return sorted.back();
    return sorted[i] + frac * (sorted[i + 1] - sorted[i]);
}

Histogram Histogram::of(std::vector<double> &values)
{
    Histogram h;
    if (values.empty())
        return h;
    std::sort(values.begin(), values.end());
    const double lo = values.front();
    const double hi = values.back();
    h.start = lo;
    const size_t n = values.size();
    if (hi == lo) {
        h.rule = QStringLiteral("Sturges");
        h.counts = {int(n)};
        return h;
    }
    const double iqr = quantile(values, 0.75) - quantile(values, 0.25);
    int bins = 0;
    if (n >= 4 && iqr > 0) {
        h.rule = QStringLiteral("Freedman-Diaconis");
        const double w = 2 * iqr / std::cbrt(double(n));
        bins = int(std::ceil((hi - lo) / w));
    } else {
        h.rule = QStringLiteral("Sturges");
        bins = int(std::ceil(std::log2(double(n)))) + 1;
    }
    bins = std::clamp(bins, 1, MaxBins);
    h.width = (hi - lo) / bins;
    h.counts = QVector<int>(bins, 0);
    for (double v : values) {
        int b = int((v - lo) / h.width);
        h.counts[std::clamp(b, 0, bins - 1)]++; // the maximum falls in the last bin
    }
    return h;
}
