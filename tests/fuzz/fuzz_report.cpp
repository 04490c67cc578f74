// libFuzzer entry: see ReportFileCheck.h.

#include "ReportFileCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    checkReportFile(data, size);
    return 0;
}
