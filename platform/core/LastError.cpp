#include "LastError.h"

namespace {

thread_local uint32_t tLastError = ERROR_SUCCESS;

} // namespace

uint32_t GetLastError()
{
    return tLastError;
}

void SetLastError(uint32_t Code)
{
    tLastError = Code;
}
