#include "fuzzcheck.h"
#include "modbusprotocol.h"
#include "modbustcpstream_p.h"

// The byte stream of one TCP peer, cut into reads of the sizes the first byte chooses: every
// frame taken out must be whole and plausible, and nothing may be lost except dropped garbage.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t step = data[0] % 16 + 1;
    const ModbusBytes input = FuzzCheck::view(data + 1, size - 1);
    ModbusTcpStream stream;
    qsizetype consumed = 0;
    for (qsizetype pos = 0; pos < input.size(); pos += qsizetype(step)) {
        stream.append(input.mid(pos, qsizetype(step)));
        ModbusBytes frame;
        ModbusTcpStream::Result result;
        while ((result = stream.takeFrame(frame)) == ModbusTcpStream::Frame) {
            const int length = frame.toUInt16(ModbusProtocol::MbapLengthOffset);
            if (frame.toUInt16(ModbusProtocol::MbapProtocolOffset) || length == 0
                || length > ModbusProtocol::MaxMbapLength || frame.size() != ModbusProtocol::MbapUnitOffset + length)
                FuzzCheck::fail("took an implausible frame", frame);
            if (input.mid(consumed, frame.size()) != frame)
                FuzzCheck::fail("frame is not the next bytes of the stream", frame);
            consumed += frame.size();
        }
        if (result == ModbusTcpStream::Garbage) {
            if (!stream.isEmpty())
                FuzzCheck::fail("garbage left bytes behind", input);
            consumed = qMin(pos + qsizetype(step), input.size());
        }
        if (stream.size() != qMin(pos + qsizetype(step), input.size()) - consumed)
            FuzzCheck::fail("stream lost or invented bytes", input);
    }
    return 0;
}
