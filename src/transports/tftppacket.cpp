#include "tftppacket_p.h"

#include "modbusprotocol.h"

#include <QtCore/QCoreApplication>

namespace TftpPacket {

namespace {

constexpr char FileNameMark = '=';

quint16 wordAt(const QByteArray &packet, int offset)
{
    if (packet.size() < offset + 2)
        return 0;
    return quint16((uchar(packet.at(offset)) << 8) | uchar(packet.at(offset + 1)));
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

const QByteArray &trailer()
{
    static const QByteArray bytes = QByteArray::fromHex("006f6374657400");
    return bytes;
}

const QByteArray &acknowledge()
{
    static const QByteArray bytes = QByteArray::fromHex("00040001");
    return bytes;
}

quint16 opcode(const QByteArray &packet)
{
    return wordAt(packet, 0);
}

quint16 argument(const QByteArray &packet)
{
    return wordAt(packet, 2);
}

ModbusBytes readRequest(const QByteArray &frame)
{
    ModbusBytes packet;
    packet.reserve(3 + frame.size() * 2 + trailer().size());
    packet.appendUInt16(ReadRequest);
    packet.append(uchar(FileNameMark));
    packet.append(frame.toHex());
    packet.append(trailer());
    return packet;
}

ModbusBytes dataBlock(const QByteArray &frame)
{
    ModbusBytes packet;
    packet.reserve(HeaderSize + frame.size());
    packet.appendUInt16(Data);
    packet.appendUInt16(1);
    packet.append(frame);
    return packet;
}

ModbusBytes error(quint16 code, const QString &message)
{
    ModbusBytes packet;
    packet.appendUInt16(Error);
    packet.appendUInt16(code);
    packet.append(message.toLatin1());
    packet.append(uchar(0));
    return packet;
}

bool requestFrame(const QByteArray &packet, ModbusBytes &frame)
{
    constexpr int textStart = 3;
    if (opcode(packet) != ReadRequest || packet.size() < textStart || packet.at(2) != FileNameMark
        || !packet.endsWith(trailer()))
        return false;
    const qsizetype textSize = packet.size() - textStart - trailer().size();
    if (textSize < 0 || textSize % 2 != 0 || textSize > 2 * ModbusProtocol::MaxRtuFrameSize)
        return false;
    const QByteArray text = packet.mid(textStart, textSize);
    if (!std::all_of(text.cbegin(), text.cend(), isHexDigit))
        return false;
    frame = ModbusBytes(QByteArray::fromHex(text));
    return !frame.isEmpty();
}

QString errorText(quint16 code)
{
    static const char *const texts[] = {
        QT_TRANSLATE_NOOP("ModbusTFtp", "not defined, see error message (if any)"),
        QT_TRANSLATE_NOOP("ModbusTFtp", "file not found"),
        QT_TRANSLATE_NOOP("ModbusTFtp", "access violation"),
        QT_TRANSLATE_NOOP("ModbusTFtp", "disk full or allocation exceeded"),
        QT_TRANSLATE_NOOP("ModbusTFtp", "illegal TFTP operation"),
        QT_TRANSLATE_NOOP("ModbusTFtp", "unknown transfer ID"),
        QT_TRANSLATE_NOOP("ModbusTFtp", "file already exists"),
        QT_TRANSLATE_NOOP("ModbusTFtp", "no such user"),
        QT_TRANSLATE_NOOP("ModbusTFtp", "illegal option"),
    };
    if (code >= std::size(texts))
        return QCoreApplication::translate("ModbusTFtp", "unknown error code");
    return QCoreApplication::translate("ModbusTFtp", texts[code]);
}

} // namespace TftpPacket
