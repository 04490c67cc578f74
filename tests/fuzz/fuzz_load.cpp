// libFuzzer entry: see LoadCheck.h.

#include "LoadCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    checkLoad(data, size);
    return 0;
}
