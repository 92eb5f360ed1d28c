#ifndef TFTPPACKET_P_H
#define TFTPPACKET_P_H

#include "modbusbytes.h"

#include <QtCore/QString>

// The TFTP packets (RFC 1350 layout) that carry Modbus RTU frames: a read request whose file name
// is "=" and the request frame in hexadecimal, answered by DATA block 1 holding the raw answer frame.
namespace TftpPacket {

enum Opcode : quint16 { ReadRequest = 1, WriteRequest = 2, Data = 3, Acknowledge = 4, Error = 5 };

// Opcode and block number (or error code).
constexpr int HeaderSize = 4;
// The smallest packet the client takes: a header and at least one byte after it.
constexpr int MinAnswerSize = HeaderSize + 1;

// The zero byte, the mode name "octet" and the zero byte that end every read request.
const QByteArray &trailer();
// ACK of block 1, what the client sends once it holds an answer.
const QByteArray &acknowledge();

// The opcode of packet, 0 when it is too short to have one.
quint16 opcode(const QByteArray &packet);
// The block number of DATA and ACK, the error code of ERROR; 0 when the packet is too short.
quint16 argument(const QByteArray &packet);

ModbusBytes readRequest(const QByteArray &frame);
ModbusBytes dataBlock(const QByteArray &frame);
ModbusBytes error(quint16 code, const QString &message);
// The frame a read request carries; false when it is not one of ours (no "=", no trailer, not hexadecimal,
// or longer than any RTU frame).
bool requestFrame(const QByteArray &packet, ModbusBytes &frame);

// The text of a TFTP error code.
QString errorText(quint16 code);

} // namespace TftpPacket

#endif // TFTPPACKET_P_H
