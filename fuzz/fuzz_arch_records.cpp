#include "archcheck.h"

// Any bytes as an archive record of each generation and as a history block of each kind.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const ModbusBytes bytes = FuzzCheck::view(data, size);
    ArchCheck::checkRecord(bytes);
    ArchCheck::checkHistory(bytes);
    return 0;
}
