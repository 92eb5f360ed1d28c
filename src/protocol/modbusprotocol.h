#ifndef MODBUSPROTOCOL_H
#define MODBUSPROTOCOL_H

#include "tavrexbus.h"

/// The numbers of the Modbus protocol as this library speaks it: the function codes that
/// TavrexBus::FunctionCode does not name, the register limits of one request and the sizes of
/// PDUs and frames. Every layer takes them from here.
namespace ModbusProtocol {

/// Read file registers, the maker's function 68.
constexpr auto ReadFileRegisters = TavrexBus::FunctionCode(68);
/// Write file registers, the maker's function 69.
constexpr auto WriteFileRegisters = TavrexBus::FunctionCode(69);
/// Set in the function code byte of an exception answer.
constexpr int ExceptionFlag = 0x80;

/// Most registers a standard read (functions 3 and 4) may ask for.
constexpr int MaxReadRegisters = 125;
/// Most registers a standard write (function 16) may carry.
constexpr int MaxWriteRegisters = 123;
/// Most registers the library puts in one request of its own, one below the standard write
/// limit: the builder refuses more for functions 16 and 69, and longer transfers are split.
constexpr int MaxRequestRegisters = 122;

/// Largest PDU (function code and data) that fits every framing.
constexpr int MaxPduSize = 253;
/// Most 4-byte labels one archive presence answer (function 66) holds after its byte count.
constexpr int MaxLabelsPerAnswer = (MaxPduSize - 2) / 4;

/// Bytes before the PDU in an RTU frame: the unit address.
constexpr int RtuHeaderSize = 1;
/// Bytes after the PDU in an RTU frame: the CRC-16.
constexpr int RtuCrcSize = 2;
/// Shortest RTU frame.
constexpr int MinRtuFrameSize = 4;
/// Longest RTU frame.
constexpr int MaxRtuFrameSize = RtuHeaderSize + MaxPduSize + RtuCrcSize;

/// The MBAP header before the PDU of a Modbus/TCP frame: transaction identifier, protocol
/// identifier, length and unit identifier.
constexpr int MbapHeaderSize = 7;
/// Offset of the MBAP protocol identifier, always 0.
constexpr int MbapProtocolOffset = 2;
/// Offset of the MBAP length, which counts the bytes from MbapUnitOffset to the frame's end.
constexpr int MbapLengthOffset = 4;
/// Offset of the unit identifier.
constexpr int MbapUnitOffset = 6;
/// Largest MBAP length: the unit identifier and the longest PDU.
constexpr int MaxMbapLength = 1 + MaxPduSize;
/// Shortest Modbus/TCP frame.
constexpr int MinTcpFrameSize = MbapHeaderSize + 1;
/// Longest Modbus/TCP frame.
constexpr int MaxTcpFrameSize = MbapHeaderSize + MaxPduSize;

/// The standard exception a server answers for a register count outside the standard limits:
/// IllegalDataValue for a read (functions 3, 4) of 0 or more than MaxReadRegisters registers and
/// for a write (function 16) of 0 or more than MaxWriteRegisters; NoException otherwise.
constexpr TavrexBus::ExceptionCode registerCountException(TavrexBus::FunctionCode function, int count)
{
    int limit = 0;
    if (function == TavrexBus::ReadHoldingRegisters || function == TavrexBus::ReadInputRegisters)
        limit = MaxReadRegisters;
    else if (function == TavrexBus::WriteMultipleRegisters)
        limit = MaxWriteRegisters;
    return limit && (count < 1 || count > limit) ? TavrexBus::IllegalDataValue : TavrexBus::NoException;
}

} // namespace ModbusProtocol

#endif // MODBUSPROTOCOL_H
