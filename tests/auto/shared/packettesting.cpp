#include "packettesting.h"

#include <TavrexBus1/modbuspacketarch.h>
#include <TavrexBus1/modbuspacketarchpresence.h>
#include <TavrexBus1/modbuspacketfile.h>
#include <TavrexBus1/modbuspacketreg.h>
#include <TavrexBus1/modbuspacketreport.h>

#include <list>
#include <memory>

namespace PacketTesting {

ModbusBytes hex(const char *text)
{
    return ModbusBytes(QByteArray::fromHex(QByteArray(text).replace(' ', "")));
}

ModbusBytes exact(const QByteArray &bytes)
{
    static std::list<std::unique_ptr<char[]>> blocks;
    blocks.emplace_back(new char[size_t(qMax<qsizetype>(bytes.size(), 1))]);
    memcpy(blocks.back().get(), bytes.constData(), size_t(bytes.size()));
    return ModbusBytes(QByteArray::fromRawData(blocks.back().get(), bytes.size()));
}

template<typename T>
bool sameAs(const ModbusPacket &a, const ModbusPacket &b)
{
    return static_cast<const T &>(a) == static_cast<const T &>(b);
}

bool equal(const ModbusPacket &a, const ModbusPacket &b)
{
    if (a.kind() != b.kind())
        return false;
    switch (a.kind()) {
    case TavrexBus::RegistersPacket:
        return sameAs<ModbusPacketReg>(a, b);
    case TavrexBus::ArchivePacket:
        return sameAs<ModbusPacketArch>(a, b);
    case TavrexBus::ReportSlavePacket:
        return sameAs<ModbusPacketReport>(a, b);
    case TavrexBus::ArchPresencePacket:
        return sameAs<ModbusPacketArchPresence>(a, b);
    case TavrexBus::FilePacket:
        return sameAs<ModbusPacketFile>(a, b);
    }
    return false;
}

} // namespace PacketTesting

namespace PacketTesting {

namespace {

template<typename T>
PacketFactory make(TavrexBus::FunctionCode code, TavrexBus::PacketState state,
                   std::function<void(T &)> fill)
{
    return [=] {
        auto *packet = new T;
        packet->setFunctionCode(code);
        packet->setState(state);
        fill(*packet);
        return packet;
    };
}

const auto Request = TavrexBus::Request;
const auto Response = TavrexBus::Response;
const auto Index = TavrexBus::IndexArch;
const auto Time = TavrexBus::TimeArch;
const auto ReadFile = TavrexBus::FunctionCode(68);
const auto WriteFile = TavrexBus::FunctionCode(69);

quint32 march5th()
{
    return TavrexBus::archLabelToSeconds(QDateTime(QDate(2024, 3, 5), QTime(10, 30)));
}

QList<Sample> registerSamples()
{
    using Reg = ModbusPacketReg;
    const auto read = make<Reg>(TavrexBus::ReadHoldingRegisters, Request, [](Reg &p) {
        p.setRequestAddress(0x6B);
        p.setRequestRegistersCount(3);
    });
    const auto readAnswer = make<Reg>(TavrexBus::ReadInputRegisters, Response, [](Reg &p) {
        p.setRegBytes(hex("02 2B 00 00 00 64"));
    });
    const auto writeOne = make<Reg>(TavrexBus::WriteSingleRegister, Request, [](Reg &p) {
        p.setRequestAddress(1);
        p.setRequestRegistersCount(1);
        p.setRegBytes(hex("00 03"));
    });
    const auto writeOneAnswer = make<Reg>(TavrexBus::WriteSingleRegister, Response, [](Reg &p) {
        p.setRequestAddress(1);
        p.setRequestRegistersCount(1);
        p.setRegBytes(hex("00 03"));
    });
    const auto writeOneParsed = make<Reg>(TavrexBus::WriteSingleRegister, Response, [](Reg &p) {
        p.setRequestAddress(1);
        p.setRequestRegistersCount(1);
    });
    const auto write = make<Reg>(TavrexBus::WriteMultipleRegisters, Request, [](Reg &p) {
        p.setRequestAddress(1);
        p.setRequestRegistersCount(2);
        p.setRegBytes(hex("00 0A 01 02"));
    });
    const auto writeAnswer = make<Reg>(TavrexBus::WriteMultipleRegisters, Response, [](Reg &p) {
        p.setRequestAddress(1);
        p.setRegistersWritten(2);
    });
    const auto writeAnswerParsed = make<Reg>(TavrexBus::WriteMultipleRegisters, Response,
                                             [](Reg &p) { p.setRegistersWritten(2); });
    const auto exception = make<Reg>(TavrexBus::ReadHoldingRegisters, Response, [](Reg &p) {
        p.setExceptionCode(TavrexBus::IllegalDataAddress);
    });
    return {
        { "3 request", Request, 1, Index, read, "03 00 6B 00 03", read },
        { "4 answer", Response, 1, Index, readAnswer, "04 06 02 2B 00 00 00 64", readAnswer },
        { "6 request", Request, 1, Index, writeOne, "06 00 01 00 03", writeOne },
        { "6 answer", Response, 1, Index, writeOneAnswer, "06 00 01 00 03", writeOneParsed },
        { "16 request", Request, 1, Index, write, "10 00 01 00 02 04 00 0A 01 02", write },
        { "16 answer", Response, 1, Index, writeAnswer, "10 00 01 00 02", writeAnswerParsed },
        { "3 exception", Response, 1, Index, exception, "83 02", exception },
    };
}

QList<Sample> reportSamples()
{
    using Report = ModbusPacketReport;
    const auto request = make<Report>(TavrexBus::ReportSlaveId, Request, [](Report &) {});
    const auto answer = make<Report>(TavrexBus::ReportSlaveId, Response, [](Report &p) {
        p.setBytes(hex("41 42 00 01 02"));
    });
    return {
        { "17 request", Request, 1, Index, request, "11", request },
        { "17 answer", Response, 1, Index, answer, "11 05 41 42 00 01 02", answer },
    };
}

QList<Sample> archiveSamples()
{
    using Arch = ModbusPacketArch;
    const auto byIndex = make<Arch>(TavrexBus::ReadArchRecord65, Request, [](Arch &p) {
        p.setArchIndex(1);
        p.setRequestRecordsCount(2);
        p.setRequestLabel(5u);
    });
    const auto byTime = make<Arch>(TavrexBus::ReadArchRecord65, Request, [](Arch &p) {
        p.setArchType(Time);
        p.setArchIndex(2);
        p.setRequestRecordsCount(3);
        p.setRequestLabel(march5th());
    });
    const auto records = make<Arch>(TavrexBus::ReadArchRecord65, Response, [](Arch &p) {
        p.setArchType(Time);
        p.setRecords({ hex("01 02 03 04"), hex("05 06 07 08"), hex("09 0A 0B 0C") });
    });
    const auto byDirection = make<Arch>(TavrexBus::ReadArchRecord67, Request, [](Arch &p) {
        p.setArchType(Time);
        p.setArchIndex(3);
        p.setRequestRecordsCount(4);
        p.setRequestLabel(0x65E6F5A8u);
        p.setDirection(TavrexBus::Backward);
    });
    const auto oneRecord = make<Arch>(TavrexBus::ReadArchRecord67, Response, [](Arch &p) {
        p.setRecords({ hex("AA BB CC") });
    });
    return {
        { "65 index request", Request, 1, Index, byIndex, "41 00 01 00 02 00 00 05", byIndex },
        { "65 time request", Request, 1, Index, byTime, "41 00 02 00 03 01 00 1E 0A 05 03 18",
          byTime },
        { "65 answer", Response, 3, Time, records,
          "41 0C 01 02 03 04 05 06 07 08 09 0A 0B 0C", records },
        { "67 request", Request, 1, Index, byDirection, "43 00 03 00 04 01 65 E6 F5 A8 01",
          byDirection },
        { "67 answer", Response, 1, Index, oneRecord, "43 03 AA BB CC", oneRecord },
    };
}

QList<Sample> presenceSamples()
{
    using Presence = ModbusPacketArchPresence;
    const auto request = make<Presence>(TavrexBus::ReadArchPresence66, Request, [](Presence &p) {
        p.setArchType(Time);
        p.setArchIndex(2);
        p.setRequestLabelsCount(3);
        p.setRequestLabel(0x65E6F5A8u);
        p.setDirection(TavrexBus::Backward);
    });
    const auto answer = make<Presence>(TavrexBus::ReadArchPresence66, Response, [](Presence &p) {
        p.appendLabel(1);
        p.appendLabel(2);
    });
    return {
        { "66 request", Request, 1, Index, request, "42 00 02 00 03 01 65 E6 F5 A8 01", request },
        { "66 answer", Response, 2, Index, answer, "42 08 00 00 00 01 00 00 00 02", answer },
    };
}

QList<Sample> fileSamples()
{
    using File = ModbusPacketFile;
    const auto read = make<File>(ReadFile, Request, [](File &p) {
        p.requestOffset = 0x10;
        p.requestFile = 3;
        p.requestRegistersCount = 4;
    });
    const auto readAnswer = make<File>(ReadFile, Response, [](File &p) {
        p.bytes = hex("01 02 03 04");
    });
    const auto write = make<File>(WriteFile, Request, [](File &p) {
        p.requestOffset = 0x10;
        p.requestFile = 3;
        p.requestRegistersCount = 2;
        p.bytes = hex("01 02 03 04");
    });
    const auto writeAnswer = make<File>(WriteFile, Response, [](File &p) {
        p.requestOffset = 0x10;
        p.requestFile = 3;
        p.registersWritten = 2;
    });
    return {
        { "68 request", Request, 1, Index, read, "44 00 10 03 04", read },
        { "68 answer", Response, 1, Index, readAnswer, "44 04 01 02 03 04", readAnswer },
        { "69 request", Request, 1, Index, write, "45 00 10 03 02 01 02 03 04", write },
        { "69 answer", Response, 1, Index, writeAnswer, "45 00 10 03 02", writeAnswer },
    };
}

} // namespace

QList<Sample> samples()
{
    return registerSamples() + reportSamples() + archiveSamples() + presenceSamples()
            + fileSamples();
}

} // namespace PacketTesting
