#include "fuzzcheck.h"
#include "modbustcpdeparser.h"
#include "modbustcpparser.h"
#include "modbustcptarget.h"

#include <QtCore/QtEndian>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static ModbusTCPParser parser;
    static ModbusTCPDeparser deparser;
    static ModbusTcpTarget target;
    const ModbusBytes frame = FuzzCheck::view(data, size);
    for (auto state : { TavrexBus::Request, TavrexBus::Response }) {
        const ModbusParseInfo info(state, 2, TavrexBus::IndexArch);
        parser.canParse(frame, state);
        const std::unique_ptr<IPacket> packet(parser.parse(frame, info, &target));
        if (!packet)
            continue;
        if (qFromBigEndian<quint16>(frame.constData() + 4) != frame.size() - 6)
            FuzzCheck::fail("accepted a frame whose length field disagrees", frame);
        target.setTransactionID(qFromBigEndian<quint16>(frame.constData()));
        ModbusBytes rebuilt;
        if (!deparser.deparse(*packet, rebuilt, &target))
            continue;
        if (rebuilt.left(2) != frame.left(2))
            FuzzCheck::fail("rebuilt frame lost the transaction identifier", rebuilt);
        const std::unique_ptr<IPacket> again(parser.parse(rebuilt, info, &target));
        if (!again || !parser.canParse(rebuilt, state))
            FuzzCheck::fail("rebuilt frame does not parse", rebuilt);
    }
    return 0;
}
