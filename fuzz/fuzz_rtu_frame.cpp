#include "fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static ModbusRTUParser parser;
    static ModbusRTUDeparser deparser;
    const ModbusBytes frame = FuzzCheck::view(data, size);
    for (auto state : { TavrexBus::Request, TavrexBus::Response }) {
        const ModbusParseInfo info(state, 2, TavrexBus::IndexArch);
        parser.canParse(frame, state);
        const std::unique_ptr<IPacket> packet(parser.parse(frame, info, nullptr));
        if (!packet)
            continue;
        if (!frame.checkCrc16())
            FuzzCheck::fail("accepted a frame with a bad CRC", frame);
        ModbusBytes rebuilt;
        if (!deparser.deparse(*packet, rebuilt, nullptr))
            continue;
        const std::unique_ptr<IPacket> again(parser.parse(rebuilt, info, nullptr));
        if (!again || !parser.canParse(rebuilt, state))
            FuzzCheck::fail("rebuilt frame does not parse", rebuilt);
    }
    return 0;
}
