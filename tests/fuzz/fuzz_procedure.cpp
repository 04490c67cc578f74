// libFuzzer entry: see ProcedureFileCheck.h.

#include "ProcedureFileCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    checkProcedureFile(data, size);
    return 0;
}
