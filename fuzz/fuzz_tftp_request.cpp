#include "fuzzcheck.h"
#include "modbusprotocol.h"
#include "tftppacket_p.h"

// A datagram reaching the TFTP server: a request it takes must carry a frame of RTU size that
// encodes back to the same datagram (hex digits in either case); anything else yields no frame.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const ModbusBytes datagram = FuzzCheck::view(data, size);
    ModbusBytes frame;
    if (!TftpPacket::requestFrame(datagram, frame)) {
        if (!frame.isEmpty())
            FuzzCheck::fail("a refused request left a frame", datagram);
        return 0;
    }
    if (frame.isEmpty() || frame.size() > ModbusProtocol::MaxRtuFrameSize)
        FuzzCheck::fail("took a frame of impossible size", datagram);
    if (TftpPacket::readRequest(frame).toLower() != datagram.toLower())
        FuzzCheck::fail("frame does not encode back to its request", datagram);
    TftpPacket::opcode(datagram);
    TftpPacket::argument(datagram);
    return 0;
}
