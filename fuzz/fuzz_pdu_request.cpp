#include "fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzCheck::checkPdu(data, size, ModbusParseInfo(TavrexBus::Request));
    return 0;
}
