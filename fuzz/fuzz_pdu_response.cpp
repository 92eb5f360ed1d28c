#include "fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Archive answers split into as many records as the request asked for.
    for (quint16 count : { 0, 1, 3 }) {
        FuzzCheck::checkPdu(data, size,
                            ModbusParseInfo(TavrexBus::Response, count, TavrexBus::TimeArch));
    }
    return 0;
}
