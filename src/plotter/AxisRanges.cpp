#include "plotter/AxisRanges.h"

#include <algorithm>

void AxisRanges::setXMinimum(double start)
{
    autoMin[0] = lockedMin[0] = start;
}

void AxisRanges::setXMaximum(double end)
{
    autoMax[0] = lockedMax[0] = end;
}

void AxisRanges::computeLocked(int a, int b, bool secondItem, int nextLine)
{
    const int lastLine = std::min(nextLine - 1, Count - 1);
    if (lastLine < 1)
        return;
    if (secondItem) {
        double oddMin = autoMin[1], oddMax = autoMax[1];
        if (a == 3) {
            oddMin = std::min(oddMin, autoMin[3]);
            oddMax = std::max(oddMax, autoMax[3]);
        }
        double evenMin = autoMin[2], evenMax = autoMax[2];
        if (b == 4) {
            evenMin = std::min(evenMin, autoMin[4]);
            evenMax = std::max(evenMax, autoMax[4]);
        }
        for (int line = 1; line <= lastLine; ++line) {
            const bool odd = line % 2 == 1;
            lockedMin[line] = odd ? oddMin : evenMin;
            lockedMax[line] = odd ? oddMax : evenMax;
        }
        return;
    }
    double lo = autoMin[1], hi = autoMax[1];
    for (int line = 2; line <= lastLine; ++line) {
        lo = std::min(lo, autoMin[line]);
        hi = std::max(hi, autoMax[line]);
    }
    for (int line = 1; line <= lastLine; ++line) {
        lockedMin[line] = lo;
        lockedMax[line] = hi;
    }
}
