#include "modbuser.h"

#include "modbusc55client.h"
#include "modbusdeparser.h"
#include "modbuslibusbclient.h"
#include "modbuspacketarch.h"
#include "modbuspacketarchpresence.h"
#include "modbuspacketfile.h"
#include "modbuspacketreg.h"
#include "modbuspacketreport.h"
#include "modbusparser.h"
#include "modbusprotocol.h"
#include "modbustcpclient.h"
#include "modbustcpserver.h"
#include "modbustftpclient.h"
#include "modbustftpserver.h"
#include "modbustransport.h"
#include "modbustransporter.h"

#include <QtCore/QMetaType>

using ModbusProtocol::ReadFileRegisters;
using ModbusProtocol::WriteFileRegisters;

Modbuser::Modbuser(QObject *parent)
    : ErrObject(parent),
      m_translator(this)
{
    qRegisterMetaType<ModbusBytes>("ModbusBytes");
    connect(&m_translator, &ModbusTranslator::packetRequestReceived, this, &Modbuser::onPacketRequestReceived);
    connect(&m_translator, &ErrObject::error, this, &Modbuser::setErrorString);
}

Modbuser::~Modbuser() = default;

ModbusTranslator &Modbuser::translator()
{
    return m_translator;
}

ModbusTransporter *Modbuser::transporter() const
{
    return m_translator.transporter();
}

void Modbuser::setTransporter(ModbusTransporter &transporter)
{
    m_translator.setTransporter(transporter);
}

ModbusTransport *Modbuser::clientTransport() const
{
    return transporter() ? transporter()->clientTransport() : nullptr;
}

void Modbuser::setClientTransport(ModbusTransport *transport)
{
    if (!transporter())
        return;
    transporter()->setClientTransport(transport);
    if (!transport || transporter()->clientTransport() != transport)
        return;
    if (ModbusParser *parser = transport->createParser(&m_translator))
        m_translator.addParser(*parser, *transport);
    if (ModbusDeparser *deparser = transport->createDeparser(&m_translator))
        m_translator.addDeparser(*deparser, *transport);
}

ModbusTransport *Modbuser::getTransport(const ModbusTarget *target) const
{
    if (!transporter())
        return nullptr;
    return qobject_cast<ModbusTransport *>(transporter()->getTransportByTarget(target));
}

bool Modbuser::connectTransports()
{
    return transporter() && transporter()->connectTransports();
}

bool Modbuser::disconnectTransports()
{
    return transporter() && transporter()->disconnectTransports();
}

ModbusTcpClient *Modbuser::addModbusTcpClient(const QHostAddress &address, int port)
{
    auto *client = new ModbusTcpClient(ModbusTcpTarget(address, port), transporter());
    translator().addTransport(*client, true, true);
    return client;
}

ModbusTcpServer *Modbuser::addModbusTcpServer(const QHostAddress &address, int port)
{
    auto *server = new ModbusTcpServer(port, transporter());
    server->setAddress(address);
    translator().addTransport(*server, true, true);
    return server;
}

ModbusTFtpClient *Modbuser::addModbusTFtpClient(const QHostAddress &address, int port)
{
    auto *client = new ModbusTFtpClient(ModbusIpTarget(address, port), transporter());
    translator().addTransport(*client, true, true);
    return client;
}

ModbusTFtpServer *Modbuser::addModbusTFtpServer(const QHostAddress &address, int port)
{
    auto *server = new ModbusTFtpServer(port, transporter());
    server->setAddress(address);
    translator().addTransport(*server, true, true);
    return server;
}

ModbusLibusbClient *Modbuser::addModbusLibusbClient()
{
    auto *client = new ModbusLibusbClient();
    translator().addTransport(*client, true, true);
    return client;
}

ModbusC55Client *Modbuser::addModbusC55Client()
{
    auto *client = new ModbusC55Client();
    translator().addTransport(*client, true, true);
    return client;
}

quint8 Modbuser::deviceAddress() const
{
    return m_deviceAddress;
}

void Modbuser::setDeviceAddress(quint8 address)
{
    m_deviceAddress = address;
}

QString Modbuser::toString(bool oneLine) const
{
    return oneLine ? QStringLiteral("Modbuser; ") : QStringLiteral("Modbuser\n");
}

// The answer of the expected class, or null: the translator has reported a failed exchange, or
// the answer belongs to another request. An answer of another class is another function's: it is
// told like any foreign answer, or the task would carry the message of an earlier failure.
template <typename Answer>
std::unique_ptr<Answer> Modbuser::exchange(ModbusPacket &request, const ModbusParseInfo &parseInfo,
                                           const ModbusTarget *target)
{
    std::unique_ptr<ModbusPacket> answer(m_translator.sendAndReceive(request, parseInfo, target));
    auto *typed = dynamic_cast<Answer *>(answer.get());
    if (!answer || !belongsTo(*answer, request, typed != nullptr))
        return nullptr;
    answer.release();
    return std::unique_ptr<Answer>(typed);
}

bool Modbuser::belongsTo(const ModbusPacket &answer, const ModbusPacket &request, bool expectedClass)
{
    if (expectedClass && answer.functionCode() == request.functionCode() && answer.address() == request.address())
        return true;
    setErrorString(tr("received answer that doesn't belong to the request: %1; request packet: %2")
                       .arg(answer.toString(true), request.toString(true)));
    return false;
}

bool Modbuser::inAddressRange(quint32 address, int registers)
{
    QString error;
    if (TavrexBus::checkRegisterRange(address, uint(qMax(registers, 1)), &error))
        return true;
    setErrorString(error);
    return false;
}

void Modbuser::reportException(const ModbusPacket &answer, bool oneLine)
{
    setErrorString(tr("received exception packet: ") + answer.toString(oneLine));
}

void Modbuser::reportException(const ModbusPacket &answer, const ModbusPacket &request)
{
    setErrorString(tr("received exception packet: %1; problem request packet: %2")
                       .arg(answer.toString(true), request.toString(true)));
}

bool Modbuser::readRegisters(quint32 address, quint16 count, ModbusBytes &out, const ModbusTarget *target)
{
    if (!inAddressRange(address, count))
        return false;
    ModbusPacketReg request;
    request.setAddress(m_deviceAddress);
    request.setFunctionCode(TavrexBus::getReadRegFunctionCode(address));
    request.setRequestAddress(TavrexBus::logToAbs(address));
    request.setRequestRegistersCount(count);
    const auto answer = exchange<ModbusPacketReg>(request, ModbusParseInfo(TavrexBus::Response), target);
    if (!answer)
        return false;
    if (answer->hasException()) {
        reportException(*answer, request);
        return false;
    }
    if (answer->registersCount() != count) {
        setErrorString(tr("received registers count (%1) doesn't equal requested registers count (%2). \n "
                          "Requested packet: \n %3 \n AnswerPacket: \n %4")
                           .arg(answer->registersCount())
                           .arg(count)
                           .arg(request.toString(false), answer->toString(false)));
        return false;
    }
    out = answer->regBytes();
    return true;
}

bool Modbuser::readRegisters(quint32 address, quint16 count, ModbusBytesArray &out, const ModbusTarget *target)
{
    ModbusBytes bytes;
    const bool ok = readRegisters(address, count, bytes, target);
    out = bytes.splitBySize(2);
    return ok;
}

bool Modbuser::readRegister(quint32 address, quint16 &out, const ModbusTarget *target)
{
    ModbusBytes bytes;
    if (!readRegisters(address, 1, bytes, target))
        return false;
    out = bytes.toReg(0);
    return true;
}

bool Modbuser::readRegister(quint32 address, ModbusBytes &out, const ModbusTarget *target)
{
    quint16 value = 0;
    if (!readRegister(address, value, target))
        return false;
    out = ModbusBytes::fromUInt16(value);
    return true;
}

bool Modbuser::readRegister(quint32 address, ModbusBytesArray &out, const ModbusTarget *target)
{
    return readRegisters(address, 1, out, target);
}

bool Modbuser::readHoldingRegister(quint16 absAddress, quint16 &out, const ModbusTarget *target)
{
    return readRegister(TavrexBus::absToLog(absAddress, TavrexBus::HoldingRegister), out, target);
}

bool Modbuser::readInputRegister(quint16 absAddress, quint16 &out, const ModbusTarget *target)
{
    return readRegister(TavrexBus::absToLog(absAddress, TavrexBus::InputRegister), out, target);
}

bool Modbuser::readUInt16(quint32 address, quint16 &out, const ModbusTarget *target)
{
    return readRegister(address, out, target);
}

bool Modbuser::readInt16(quint32 address, qint16 &out, const ModbusTarget *target)
{
    quint16 value = 0;
    if (!readRegister(address, value, target))
        return false;
    out = static_cast<qint16>(value);
    return true;
}

namespace {

// Reads count registers and decodes them with the given ModbusBytes reader.
template <typename T, typename Decode>
bool readDecoded(Modbuser &modbuser, quint32 address, quint16 count, T &out, const ModbusTarget *target,
                 Decode decode)
{
    ModbusBytes bytes;
    if (!modbuser.readRegisters(address, count, bytes, target))
        return false;
    out = (bytes.*decode)(0);
    return true;
}

} // namespace

bool Modbuser::readUInt32(quint32 address, quint32 &out, const ModbusTarget *target)
{
    return readDecoded(*this, address, 2, out, target, &ModbusBytes::toUInt32);
}

bool Modbuser::readInt32(quint32 address, qint32 &out, const ModbusTarget *target)
{
    return readDecoded(*this, address, 2, out, target, &ModbusBytes::toInt32);
}

bool Modbuser::readFloat(quint32 address, float &out, const ModbusTarget *target)
{
    return readDecoded(*this, address, 2, out, target, &ModbusBytes::toFloat);
}

bool Modbuser::readUInt64(quint32 address, quint64 &out, const ModbusTarget *target)
{
    return readDecoded(*this, address, 4, out, target, &ModbusBytes::toUInt64);
}

bool Modbuser::readInt64(quint32 address, qint64 &out, const ModbusTarget *target)
{
    return readDecoded(*this, address, 4, out, target, &ModbusBytes::toInt64);
}

bool Modbuser::readDouble(quint32 address, double &out, const ModbusTarget *target)
{
    return readDecoded(*this, address, 4, out, target, &ModbusBytes::toDouble);
}

bool Modbuser::readDoubleStruct(quint32 address, double &out, const ModbusTarget *target)
{
    return readDecoded(*this, address, 4, out, target, &ModbusBytes::toDoubleStruct);
}

bool Modbuser::readString(quint32 address, quint16 count, QString &out, const ModbusTarget *target)
{
    ModbusBytes bytes;
    if (!readRegisters(address, count, bytes, target))
        return false;
    out = bytes.toStringAnsi(0, -1, true);
    return true;
}

bool Modbuser::writeRegisters(quint32 address, const ModbusBytes &values, const ModbusTarget *target)
{
    if (!inAddressRange(address, int(values.size() + 1) / 2))
        return false;
    ModbusPacketReg request;
    request.setAddress(m_deviceAddress);
    request.setFunctionCode(TavrexBus::WriteMultipleRegisters);
    request.setRequestAddress(TavrexBus::logToAbs(address));
    request.setRegBytes(values);
    const auto answer = exchange<ModbusPacketReg>(request, ModbusParseInfo(TavrexBus::Response), target);
    if (!answer)
        return false;
    if (answer->hasException() || answer->registersWritten() != request.registersCount()) {
        reportException(*answer, false);
        return false;
    }
    return true;
}

bool Modbuser::writeRegister(quint32 address, quint16 value, const ModbusTarget *target)
{
    if (!inAddressRange(address, 1))
        return false;
    ModbusPacketReg request;
    request.setAddress(m_deviceAddress);
    request.setFunctionCode(TavrexBus::WriteSingleRegister);
    request.setRequestAddress(TavrexBus::logToAbs(address));
    request.appendRegValue(value);
    const auto answer = exchange<ModbusPacketReg>(request, ModbusParseInfo(TavrexBus::Response), target);
    if (!answer)
        return false;
    if (answer->hasException()) {
        reportException(*answer, false);
        return false;
    }
    return true;
}

bool Modbuser::writeUInt16(quint32 address, quint16 value, const ModbusTarget *target)
{
    return writeRegister(address, value, target);
}

bool Modbuser::writeInt16(quint32 address, qint16 value, const ModbusTarget *target)
{
    return writeRegister(address, static_cast<quint16>(value), target);
}

bool Modbuser::writeUInt8(quint32 address, quint8 value, const ModbusTarget *target)
{
    return writeRegister(address, value, target);
}

bool Modbuser::writeInt8(quint32 address, qint8 value, const ModbusTarget *target)
{
    return writeRegister(address, static_cast<quint8>(value), target);
}

bool Modbuser::writeUInt(quint32 address, quint32 value, const ModbusTarget *target)
{
    return writeRegisters(address, ModbusBytes::fromUInt32(value), target);
}

bool Modbuser::writeInt(quint32 address, qint32 value, const ModbusTarget *target)
{
    return writeRegisters(address, ModbusBytes::fromInt32(value), target);
}

bool Modbuser::writeFloat(quint32 address, float value, const ModbusTarget *target)
{
    return writeRegisters(address, ModbusBytes::fromFloat(value), target);
}

bool Modbuser::writeUInt64(quint32 address, quint64 value, const ModbusTarget *target)
{
    return writeRegisters(address, ModbusBytes::fromUInt64(value), target);
}

bool Modbuser::writeInt64(quint32 address, qint64 value, const ModbusTarget *target)
{
    return writeRegisters(address, ModbusBytes::fromInt64(value), target);
}

bool Modbuser::writeDouble(quint32 address, double value, const ModbusTarget *target)
{
    return writeRegisters(address, ModbusBytes::fromDouble(value), target);
}

bool Modbuser::writeDoubleStruct(quint32 address, double value, const ModbusTarget *target)
{
    return writeRegisters(address, ModbusBytes::fromDoubleStruct(value), target);
}

bool Modbuser::writeStringUtf8(quint32 address, const QString &text, const ModbusTarget *target)
{
    return writeRegisters(address, ModbusBytes::fromStringUtf8(text), target);
}

bool Modbuser::writeStringAnsi(quint32 address, const QString &text, bool asRegs, const ModbusTarget *target)
{
    return writeRegisters(address, ModbusBytes::fromStringAnsi(text, asRegs), target);
}

bool Modbuser::writeStringAnsi(quint32 address, const char *text, bool asRegs, const ModbusTarget *target)
{
    return writeStringAnsi(address, QString::fromLatin1(text), asRegs, target);
}

bool Modbuser::getReport(ModbusBytes &out, const ModbusTarget *target)
{
    ModbusPacketReport request;
    request.setAddress(m_deviceAddress);
    const auto answer = exchange<ModbusPacketReport>(request, ModbusParseInfo(TavrexBus::Response), target);
    if (!answer)
        return false;
    if (answer->hasException()) {
        reportException(*answer, false);
        return false;
    }
    out = answer->bytes();
    return true;
}

bool Modbuser::getDevName(QString &out, const ModbusTarget *target)
{
    ModbusBytes report;
    if (!getReport(report, target))
        return false;
    out = TavrexBus::getDevNameFromReportBytes(report);
    return true;
}

bool Modbuser::readFile(quint8 file, quint16 offset, quint8 count, ModbusBytes &out, const ModbusTarget *target)
{
    ModbusPacketFile request;
    request.setAddress(m_deviceAddress);
    request.setFunctionCode(ReadFileRegisters);
    request.requestFile = file;
    request.requestOffset = offset;
    request.requestRegistersCount = count;
    const auto answer = exchange<ModbusPacketFile>(request, ModbusParseInfo(TavrexBus::Response), target);
    if (!answer)
        return false;
    if (answer->hasException()) {
        reportException(*answer, request);
        return false;
    }
    if (answer->bytes.regsCount() != count) {
        setErrorString(tr("received file registers count (%1) doesn't equal requested registers count (%2). \n "
                          "Requested packet: \n %3 \n AnswerPacket: \n %4")
                           .arg(answer->bytes.regsCount())
                           .arg(count)
                           .arg(request.toString(false), answer->toString(false)));
        return false;
    }
    out = answer->bytes;
    return true;
}

bool Modbuser::writeFile(quint8 file, quint16 offset, const ModbusBytes &data, const ModbusTarget *target)
{
    ModbusPacketFile request;
    request.setAddress(m_deviceAddress);
    request.setFunctionCode(WriteFileRegisters);
    request.requestFile = file;
    request.requestOffset = offset;
    request.bytes = data;
    const auto answer = exchange<ModbusPacketFile>(request, ModbusParseInfo(TavrexBus::Response), target);
    if (!answer)
        return false;
    if (answer->hasException() || answer->registersWritten != data.regsCount()) {
        reportException(*answer, false);
        return false;
    }
    return true;
}

bool Modbuser::readArchPresence(quint16 archIndex, quint32 label, TavrexBus::ArchType archType, ModbusBytes &out,
                                TavrexBus::ArchDirection direction, quint16 labelsCount,
                                const ModbusTarget *target)
{
    ModbusPacketArchPresence request(archType, labelsCount);
    request.setAddress(m_deviceAddress);
    request.setArchIndex(archIndex);
    request.setRequestLabel(label);
    request.setDirection(direction);
    const auto answer =
        exchange<ModbusPacketArchPresence>(request, ModbusParseInfo(TavrexBus::Response, archType), target);
    if (!answer)
        return false;
    if (answer->hasException()) {
        reportException(*answer, true);
        return false;
    }
    out.append(answer->labels());
    return true;
}

bool Modbuser::readArchPresence(quint16 archIndex, quint32 label, TavrexBus::ArchType archType,
                                ModbusBytesArray &out, TavrexBus::ArchDirection direction, quint16 labelsCount,
                                const ModbusTarget *target)
{
    ModbusBytes bytes;
    if (!readArchPresence(archIndex, label, archType, bytes, direction, labelsCount, target))
        return false;
    out = bytes.splitBySize(4);
    return true;
}

bool Modbuser::getNearestLabel(quint16 archIndex, TavrexBus::ArchType archType, quint32 label, quint32 &out,
                               TavrexBus::ArchDirection direction, bool *found, const ModbusTarget *target)
{
    ModbusBytes bytes;
    const bool ok = readArchPresence(archIndex, label, archType, bytes, direction, 1, target);
    const bool any = bytes.archLabelsCount() > 0;
    if (found)
        *found = any;
    if (ok && any)
        out = bytes.toUInt32(0);
    return ok;
}

bool Modbuser::getFirstLabel(quint16 archIndex, TavrexBus::ArchType archType, quint32 &out, bool *found,
                             const ModbusTarget *target)
{
    return getNearestLabel(archIndex, archType, 0, out, TavrexBus::Forward, found, target);
}

bool Modbuser::getLastLabel(quint16 archIndex, TavrexBus::ArchType archType, quint32 &out, bool *found,
                            const ModbusTarget *target)
{
    return getNearestLabel(archIndex, archType, TavrexBus::MaxTimeLabel, out, TavrexBus::Backward, found, target);
}

bool Modbuser::getFirstIndexLabel(quint16 archIndex, quint32 &out, bool *found, const ModbusTarget *target)
{
    return getFirstLabel(archIndex, TavrexBus::IndexArch, out, found, target);
}

bool Modbuser::getLastIndexLabel(quint16 archIndex, quint32 &out, bool *found, const ModbusTarget *target)
{
    return getLastLabel(archIndex, TavrexBus::IndexArch, out, found, target);
}

bool Modbuser::getFirstTimeLabel(quint16 archIndex, QDateTime &out, bool *found, const ModbusTarget *target)
{
    bool any = false;
    quint32 label = 0;
    const bool ok = getFirstLabel(archIndex, TavrexBus::TimeArch, label, &any, target);
    if (found)
        *found = any;
    if (ok && any)
        out = TavrexBus::archLabelToTime(label);
    return ok;
}

bool Modbuser::getLastTimeLabel(quint16 archIndex, QDateTime &out, bool *found, const ModbusTarget *target)
{
    bool any = false;
    quint32 label = 0;
    const bool ok = getLastLabel(archIndex, TavrexBus::TimeArch, label, &any, target);
    if (found)
        *found = any;
    if (ok && any)
        out = TavrexBus::archLabelToTime(label);
    return ok;
}

bool Modbuser::readIndexArchLabels(quint16 archIndex, quint32 from, quint16 count, QList<quint32> &out,
                                   bool forward, const ModbusTarget *target)
{
    ModbusBytes bytes;
    const bool ok = readArchPresence(archIndex, from, TavrexBus::IndexArch, bytes,
                                     forward ? TavrexBus::Forward : TavrexBus::Backward, count, target);
    out = bytes.toArchLabels(0, -1);
    return ok;
}

bool Modbuser::readTimeArchLabels(quint16 archIndex, const QDateTime &from, quint16 count, QList<QDateTime> &out,
                                  bool forward, const ModbusTarget *target)
{
    ModbusBytes bytes;
    const bool ok = readArchPresence(archIndex, TavrexBus::archLabelToSeconds(from), TavrexBus::TimeArch, bytes,
                                     forward ? TavrexBus::Forward : TavrexBus::Backward, count, target);
    out = bytes.toArchTimeLabels(0, -1);
    return ok;
}

int Modbuser::readRecords(TavrexBus::FunctionCode function, quint16 archIndex, quint32 label, quint16 count,
                          TavrexBus::ArchType archType, TavrexBus::ArchDirection direction,
                          QList<ModbusBytes> &out, const ModbusTarget *target)
{
    ModbusPacketArch request(archType, direction);
    request.setFunctionCode(function);
    request.setArchIndex(archIndex);
    request.setRequestRecordsCount(count);
    request.setRequestLabel(label);
    request.setAddress(m_deviceAddress);
    const ModbusParseInfo parseInfo(TavrexBus::Response, request.requestRecordsCount(), request.archType());
    const auto answer = exchange<ModbusPacketArch>(request, parseInfo, target);
    if (!answer)
        return 0;
    if (answer->hasException()) {
        reportException(*answer, false);
        return 0;
    }
    if (answer->records().isEmpty()) {
        setErrorString(tr("received empty arch packet: ") + answer->toString(false));
        return 0;
    }
    out = answer->records();
    return int(out.size());
}

int Modbuser::readArchRecords65(quint16 archIndex, quint32 label, quint16 count, QList<ModbusBytes> &out,
                                TavrexBus::ArchType archType, const ModbusTarget *target)
{
    return readRecords(TavrexBus::ReadArchRecord65, archIndex, label, count, archType, TavrexBus::Forward, out,
                       target);
}

int Modbuser::readArchRecords67(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                                quint16 count, QList<ModbusBytes> &out, TavrexBus::ArchType archType,
                                const ModbusTarget *target)
{
    return readRecords(TavrexBus::ReadArchRecord67, archIndex, label, count, archType, direction, out, target);
}

bool Modbuser::readArchRecord65(quint16 archIndex, quint32 label, ModbusBytes &out, TavrexBus::ArchType archType,
                                const ModbusTarget *target)
{
    QList<ModbusBytes> records;
    if (readArchRecords65(archIndex, label, 1, records, archType, target) <= 0)
        return false;
    out = records.first();
    return true;
}

bool Modbuser::readArchRecord67(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                                ModbusBytes &out, TavrexBus::ArchType archType, const ModbusTarget *target)
{
    QList<ModbusBytes> records;
    if (readArchRecords67(archIndex, label, direction, 1, records, archType, target) <= 0)
        return false;
    out = records.first();
    return true;
}

int Modbuser::readArchRecords(quint16 archIndex, quint32 label, TavrexBus::ArchFunc func,
                              TavrexBus::ArchType archType, ModbusBytes &out, TavrexBus::ArchDirection direction,
                              quint16 count, const ModbusTarget *target)
{
    const TavrexBus::FunctionCode function =
        func == TavrexBus::Func65 ? TavrexBus::ReadArchRecord65 : TavrexBus::ReadArchRecord67;
    QList<ModbusBytes> records;
    if (readRecords(function, archIndex, label, count, archType, direction, records, target) == 0)
        return 0;
    out = ModbusBytes::fromList(records);
    return count;
}

int Modbuser::readArchRecords(quint16 archIndex, quint32 label, TavrexBus::ArchFunc func,
                              TavrexBus::ArchType archType, ModbusBytesArray &out,
                              TavrexBus::ArchDirection direction, quint16 count, const ModbusTarget *target)
{
    ModbusBytes bytes;
    const int n = readArchRecords(archIndex, label, func, archType, bytes, direction, count, target);
    if (n > 0)
        out = bytes.splitBySize(qMax(1, int(bytes.size()) / n));
    return n;
}

bool Modbuser::readIndexArchRecords(quint16 archIndex, quint32 label, quint16 count, QList<ModbusBytes> &out,
                                    const ModbusTarget *target)
{
    return readArchRecords65(archIndex, label, count, out, TavrexBus::IndexArch, target) > 0;
}

bool Modbuser::readTimeArchRecords(quint16 archIndex, const QDateTime &label, quint16 count,
                                   QList<ModbusBytes> &out, const ModbusTarget *target)
{
    return readArchRecords65(archIndex, TavrexBus::archLabelToSeconds(label), count, out, TavrexBus::TimeArch,
                             target) > 0;
}

bool Modbuser::readIndexArchRecords(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                                    quint16 count, QList<ModbusBytes> &out, const ModbusTarget *target)
{
    return readArchRecords67(archIndex, label, direction, count, out, TavrexBus::IndexArch, target) > 0;
}

bool Modbuser::readTimeArchRecords(quint16 archIndex, const QDateTime &label, TavrexBus::ArchDirection direction,
                                   quint16 count, QList<ModbusBytes> &out, const ModbusTarget *target)
{
    return readArchRecords67(archIndex, TavrexBus::archLabelToSeconds(label), direction, count, out,
                             TavrexBus::TimeArch, target) > 0;
}

bool Modbuser::readIndexArchRecord(quint16 archIndex, quint32 label, ModbusBytes &out, const ModbusTarget *target)
{
    return readArchRecord65(archIndex, label, out, TavrexBus::IndexArch, target);
}

bool Modbuser::readTimeArchRecord(quint16 archIndex, const QDateTime &label, ModbusBytes &out,
                                  const ModbusTarget *target)
{
    return readArchRecord65(archIndex, TavrexBus::archLabelToSeconds(label), out, TavrexBus::TimeArch, target);
}

bool Modbuser::readIndexArchRecord(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                                   ModbusBytes &out, const ModbusTarget *target)
{
    return readArchRecord67(archIndex, label, direction, out, TavrexBus::IndexArch, target);
}

bool Modbuser::readTimeArchRecord(quint16 archIndex, const QDateTime &label, TavrexBus::ArchDirection direction,
                                  ModbusBytes &out, const ModbusTarget *target)
{
    return readArchRecord67(archIndex, TavrexBus::archLabelToSeconds(label), direction, out, TavrexBus::TimeArch,
                            target);
}

void Modbuser::onPacketRequestReceived(ModbusPacket &packet, ModbusTranslateOptions &options,
                                       ModbusPacket **answerPacket)
{
    if (packet.state() != TavrexBus::Request)
        return;
    if (answerPacket && *answerPacket) {
        setErrorString(tr("somebody else has been answered for this modbus request"));
        return;
    }
    bool handled = false;
    std::unique_ptr<ModbusPacket> answer = dispatch(packet, options, handled);
    if (!answer) {
        if (!handled && ModbusParser::isFunctionSupported(packet.functionCode()))
            setErrorString(tr("Packet wasn't handled: ") + packet.toString(true));
        return;
    }
    answer->setState(TavrexBus::Response);
    answer->setExceptionCode(options.answerExceptionCode());
    // Clients check that the answer comes from the unit they asked.
    answer->setAddress(packet.address());
    if (answerPacket)
        *answerPacket = answer.release();
}

std::unique_ptr<ModbusPacket> Modbuser::dispatch(ModbusPacket &packet, ModbusTranslateOptions &options,
                                                 bool &handled)
{
    switch (int(packet.functionCode())) {
    case TavrexBus::ReadHoldingRegisters:
    case TavrexBus::ReadInputRegisters:
        if (auto *request = dynamic_cast<ModbusPacketReg *>(&packet))
            return dispatchReadRegisters(*request, options, handled);
        break;
    case TavrexBus::WriteSingleRegister:
    case TavrexBus::WriteMultipleRegisters:
        if (auto *request = dynamic_cast<ModbusPacketReg *>(&packet))
            return dispatchWriteRegisters(*request, options, handled);
        break;
    case TavrexBus::ReportSlaveId:
        return dispatchReport(options, handled);
    case TavrexBus::ReadArchRecord65:
    case TavrexBus::ReadArchRecord67:
        if (auto *request = dynamic_cast<ModbusPacketArch *>(&packet))
            return dispatchArchRecords(*request, options, handled);
        break;
    case TavrexBus::ReadArchPresence66:
        if (auto *request = dynamic_cast<ModbusPacketArchPresence *>(&packet))
            return dispatchArchPresence(*request, options, handled);
        break;
    case ReadFileRegisters:
        if (auto *request = dynamic_cast<ModbusPacketFile *>(&packet))
            return dispatchReadFile(*request, options, handled);
        break;
    case WriteFileRegisters:
        if (auto *request = dynamic_cast<ModbusPacketFile *>(&packet))
            return dispatchWriteFile(*request, options, handled);
        break;
    default:
        break;
    }
    return nullptr;
}

namespace {

quint32 logicalAddress(const ModbusPacketReg &request)
{
    const TavrexBus::RegisterType type = request.functionCode() == TavrexBus::ReadInputRegisters
        ? TavrexBus::InputRegister
        : TavrexBus::HoldingRegister;
    return TavrexBus::absToLog(request.requestAddress(), type);
}

// The answer for a request whose register count is out of the standard range, or null.
std::unique_ptr<ModbusPacket> illegalCountAnswer(const ModbusPacketReg &request, int count,
                                                 ModbusTranslateOptions &options, bool &handled)
{
    const TavrexBus::ExceptionCode code = ModbusProtocol::registerCountException(request.functionCode(), count);
    if (code == TavrexBus::NoException)
        return nullptr;
    auto answer = std::make_unique<ModbusPacketReg>();
    answer->setFunctionCode(request.functionCode());
    answer->setRequestAddress(request.requestAddress());
    options.setAnswerExceptionCode(code);
    handled = true;
    return answer;
}

} // namespace

std::unique_ptr<ModbusPacket> Modbuser::dispatchReadRegisters(const ModbusPacketReg &request,
                                                              ModbusTranslateOptions &options, bool &handled)
{
    const quint16 count = request.requestRegistersCount();
    if (auto refusal = illegalCountAnswer(request, count, options, handled))
        return refusal;
    ModbusBytes values;
    emit onReadRegisters(logicalAddress(request), count, values, options, handled);
    if (!handled)
        return nullptr;
    auto answer = std::make_unique<ModbusPacketReg>();
    answer->setFunctionCode(request.functionCode());
    answer->setRegBytes(values);
    return answer;
}

std::unique_ptr<ModbusPacket> Modbuser::dispatchWriteRegisters(const ModbusPacketReg &request,
                                                               ModbusTranslateOptions &options, bool &handled)
{
    const bool single = request.functionCode() == TavrexBus::WriteSingleRegister;
    if (auto refusal = illegalCountAnswer(request, request.registersCount(), options, handled))
        return refusal;
    emit onWriteRegisters(logicalAddress(request), request.regBytes(), options, handled);
    if (!handled)
        return nullptr;
    auto answer = std::make_unique<ModbusPacketReg>();
    answer->setFunctionCode(request.functionCode());
    answer->setRequestAddress(request.requestAddress());
    if (single)
        answer->appendRegValue(request.regBytes().toReg(0));
    else
        answer->setRegistersWritten(request.requestRegistersCount());
    return answer;
}

std::unique_ptr<ModbusPacket> Modbuser::dispatchReport(ModbusTranslateOptions &options, bool &handled)
{
    QString name;
    emit onGetDevName(name, options, handled);
    if (!handled)
        return nullptr;
    auto answer = std::make_unique<ModbusPacketReport>();
    answer->setDevName(name);
    return answer;
}

std::unique_ptr<ModbusPacket> Modbuser::dispatchReadFile(const ModbusPacketFile &request,
                                                         ModbusTranslateOptions &options, bool &handled)
{
    ModbusBytes bytes;
    emit onReadFile(request.requestFile, request.requestOffset, request.requestRegistersCount, bytes, options,
                    handled);
    if (!handled)
        return nullptr;
    auto answer = std::make_unique<ModbusPacketFile>();
    answer->setFunctionCode(ReadFileRegisters);
    answer->requestFile = request.requestFile;
    answer->requestOffset = request.requestOffset;
    answer->requestRegistersCount = request.requestRegistersCount;
    answer->bytes = bytes;
    return answer;
}

std::unique_ptr<ModbusPacket> Modbuser::dispatchWriteFile(const ModbusPacketFile &request,
                                                          ModbusTranslateOptions &options, bool &handled)
{
    emit onWriteFile(request.requestFile, request.requestOffset, request.bytes, options, handled);
    if (!handled)
        return nullptr;
    auto answer = std::make_unique<ModbusPacketFile>();
    answer->setFunctionCode(WriteFileRegisters);
    answer->requestFile = request.requestFile;
    answer->requestOffset = request.requestOffset;
    answer->registersWritten = request.requestRegistersCount;
    return answer;
}

std::unique_ptr<ModbusPacket> Modbuser::dispatchArchRecords(const ModbusPacketArch &request,
                                                            ModbusTranslateOptions &options, bool &handled)
{
    // Function 65 carries no direction, so its requests read forward (the packet's default).
    QList<ModbusBytes> records = request.records();
    emit onReadArchRecords(request.archIndex(), request.requestLabel(), request.direction(),
                           request.requestRecordsCount(), records, options, request.archType(), handled);
    if (!handled && request.archType() == TavrexBus::IndexArch)
        emit onReadIndexArchRecords(request.archIndex(), request.requestLabel(), request.direction(),
                                    request.requestRecordsCount(), records, options, handled);
    else if (!handled && request.archType() == TavrexBus::TimeArch)
        emit onReadTimeArchRecords(request.archIndex(), request.requestTimeLabel(), request.direction(),
                                   request.requestRecordsCount(), records, options, handled);
    if (!handled)
        return nullptr;
    auto answer = std::make_unique<ModbusPacketArch>(request);
    answer->setRecords(records);
    return answer;
}

std::unique_ptr<ModbusPacket> Modbuser::dispatchArchPresence(const ModbusPacketArchPresence &request,
                                                             ModbusTranslateOptions &options, bool &handled)
{
    QList<quint32> labels;
    QList<QDateTime> timeLabels;
    emit onReadArchPresence(request.archIndex(), request.requestLabel(), request.direction(),
                            request.requestLabelsCount(), labels, options, request.archType(), handled);
    if (!handled && request.archType() == TavrexBus::IndexArch)
        emit onReadIndexArchPresence(request.archIndex(), request.requestLabel(), request.direction(),
                                     request.requestLabelsCount(), labels, options, handled);
    else if (!handled && request.archType() == TavrexBus::TimeArch)
        emit onReadTimeArchPresence(request.archIndex(), request.requestTimeLabel(), request.direction(),
                                    request.requestLabelsCount(), timeLabels, options, handled);
    if (!handled)
        return nullptr;
    ModbusBytes bytes;
    for (quint32 label : std::as_const(labels))
        bytes.appendUInt32(label);
    for (const QDateTime &label : std::as_const(timeLabels))
        bytes.appendUInt32(TavrexBus::archLabelToSeconds(label));
    auto answer = std::make_unique<ModbusPacketArchPresence>(request);
    answer->setLabels(bytes);
    return answer;
}
