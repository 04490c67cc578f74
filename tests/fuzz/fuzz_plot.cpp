// libFuzzer entry: see PlotFileCheck.h.

#include "PlotFileCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    checkPlotFile(data, size);
    return 0;
}
