#include "modbustcpdeparser.h"
#include "modbuspacket.h"
#include "modbusprotocol.h"
#include "modbustcptarget.h"

using namespace ModbusProtocol;

ModbusTCPDeparser::ModbusTCPDeparser(QObject *parent)
    : ModbusDeparser(parent)
{
}

ModbusTCPDeparser::~ModbusTCPDeparser() = default;

QString ModbusTCPDeparser::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("Modbus TCP deparser\n"), oneLine);
}

bool ModbusTCPDeparser::canDeparse(const IPacket &packet) const
{
    return ModbusDeparser::canDeparse(packet);
}

bool ModbusTCPDeparser::deparse(const IPacket &packet, ModbusBytes &out, const Target *target)
{
    try {
        const auto *tcpTarget = qobject_cast<const ModbusTcpTarget *>(target);
        if (!tcpTarget)
            throw tr("ERROR: invalid target class");
        const auto *modbusPacket = dynamic_cast<const ModbusPacket *>(&packet);
        if (!modbusPacket)
            throw tr("ERROR: invalid packet class");
        out.truncate(0);
        out.reserve(MaxTcpFrameSize);
        // The length is known once the PDU is written.
        out.appendUInt16(tcpTarget->transactionID()).appendUInt16(0).appendUInt16(0);
        out.append(uchar(modbusPacket->address()));
        appendModbusPDU(*modbusPacket, out);
        if (out.size() < MinTcpFrameSize)
            throw tr("deparsed packet is too short, i don't know why...");
        if (out.size() > MaxTcpFrameSize)
            throw tr("deparsed packet is too large");
        out.setUInt16(MbapLengthOffset, ushort(out.size() - MbapUnitOffset));
        return true;
    } catch (const QString &message) {
        out.clear();
        setErrorString(tr("ModbusTCPDeparser parse error: ") + message);
        return false;
    }
}
