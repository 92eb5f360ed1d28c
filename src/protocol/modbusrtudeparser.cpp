#include "modbusrtudeparser.h"
#include "modbuspacket.h"
#include "modbusprotocol.h"

using namespace ModbusProtocol;

ModbusRTUDeparser::ModbusRTUDeparser(QObject *parent)
    : ModbusDeparser(parent)
{
}

ModbusRTUDeparser::~ModbusRTUDeparser() = default;

QString ModbusRTUDeparser::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("Modbus RTU deparser\n"), oneLine);
}

bool ModbusRTUDeparser::canDeparse(const IPacket &packet) const
{
    return ModbusDeparser::canDeparse(packet);
}

bool ModbusRTUDeparser::deparse(const IPacket &packet, ModbusBytes &out, const Target *)
{
    try {
        const auto *modbusPacket = dynamic_cast<const ModbusPacket *>(&packet);
        if (!modbusPacket)
            throw tr("ERROR: invalid packet class");
        out.truncate(0);
        out.reserve(MaxRtuFrameSize);
        out.append(uchar(modbusPacket->address()));
        appendModbusPDU(*modbusPacket, out);
        out.appendUInt16(qChecksumModbus(out.constData(), uint(out.size())));
        if (out.size() < MinRtuFrameSize)
            throw tr("deparsed packet is too short, i don't know why...");
        if (out.size() > MaxRtuFrameSize)
            throw tr("deparsed packet is too large");
        return true;
    } catch (const QString &message) {
        out.clear();
        setErrorString(tr("ModbusRTUDeParser deparse error: ") + message);
        return false;
    }
}
