#include "vparser.h"
#include "ipacket.h"

VParser::VParser(QObject *parent)
    : ErrObject(parent)
{
}

VParser::~VParser() = default;

bool VParser::parse2(const ModbusBytes &bytes, const IParseInfo &info, const Target *target,
                     IPacket **out)
{
    IPacket *packet = parse(bytes, info, target);
    if (out)
        *out = packet;
    else
        delete packet;
    return packet != nullptr;
}
