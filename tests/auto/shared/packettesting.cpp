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
static bool sameAs(const ModbusPacket &a, const ModbusPacket &b)
{
    return static_cast<const T &>(a) == static_cast<const T &>(b);
}

bool equal(const ModbusPacket &a, const ModbusPacket &b)
{
    if (a.kind() != b.kind())
        return false;
    switch (a.kind()) {
    case TavrexBus::RegistersPacket: return sameAs<ModbusPacketReg>(a, b);
    case TavrexBus::ArchivePacket: return sameAs<ModbusPacketArch>(a, b);
    case TavrexBus::ReportSlavePacket: return sameAs<ModbusPacketReport>(a, b);
    case TavrexBus::ArchPresencePacket: return sameAs<ModbusPacketArchPresence>(a, b);
    case TavrexBus::FilePacket: return sameAs<ModbusPacketFile>(a, b);
    }
    return false;
}

QList<Sample> samples()
{
    using Reg = ModbusPacketReg;
    using Arch = ModbusPacketArch;
    using Presence = ModbusPacketArchPresence;
    using File = ModbusPacketFile;
    const auto Req = TavrexBus::Request;
    const auto Resp = TavrexBus::Response;
    const auto Time = TavrexBus::TimeArch;
    const auto Index = TavrexBus::IndexArch;

    const auto read = make<Reg>(3, Req, [](Reg &p) {
        p.setRequestAddress(0x6B);
        p.setRequestRegistersCount(3);
    });
    const auto readAnswer = make<Reg>(4, Resp, [](Reg &p) { p.setRegBytes(hex("02 2B 00 00 00 64")); });
    const auto writeOne = [](TavrexBus::PacketState state, bool withValue) {
        return make<Reg>(6, state, [=](Reg &p) {
            p.setRequestAddress(1);
            p.setRequestRegistersCount(1);
            if (withValue)
                p.setRegBytes(hex("00 03"));
        });
    };
    const auto write = make<Reg>(16, Req, [](Reg &p) {
        p.setRequestAddress(1);
        p.setRequestRegistersCount(2);
        p.setRegBytes(hex("00 0A 01 02"));
    });
    const auto writeAnswer = make<Reg>(16, Resp, [](Reg &p) {
        p.setRequestAddress(1);
        p.setRegistersWritten(2);
    });
    const auto writeAnswerParsed = make<Reg>(16, Resp, [](Reg &p) { p.setRegistersWritten(2); });
    const auto exception = make<Reg>(3, Resp, [](Reg &p) { p.setExceptionCode(TavrexBus::IllegalDataAddress); });
    const auto report = make<ModbusPacketReport>(17, Req, [](ModbusPacketReport &) {});
    const auto reportAnswer = make<ModbusPacketReport>(17, Resp, [](ModbusPacketReport &p) {
        p.setBytes(hex("41 42 00 01 02"));
    });
    const auto byIndex = make<Arch>(65, Req, [](Arch &p) {
        p.setArchIndex(1);
        p.setRequestRecordsCount(2);
        p.setRequestLabel(5u);
    });
    const auto byTime = make<Arch>(65, Req, [](Arch &p) {
        p.setArchType(TavrexBus::TimeArch);
        p.setArchIndex(2);
        p.setRequestRecordsCount(3);
        p.setRequestLabel(TavrexBus::archLabelToSeconds(QDateTime(QDate(2024, 3, 5), QTime(10, 30))));
    });
    const auto records = make<Arch>(65, Resp, [](Arch &p) {
        p.setArchType(TavrexBus::TimeArch);
        p.setRecords({ hex("01 02 03 04"), hex("05 06 07 08"), hex("09 0A 0B 0C") });
    });
    const auto byDirection = make<Arch>(67, Req, [](Arch &p) {
        p.setArchType(TavrexBus::TimeArch);
        p.setArchIndex(3);
        p.setRequestRecordsCount(4);
        p.setRequestLabel(0x65E6F5A8u);
        p.setDirection(TavrexBus::Backward);
    });
    const auto oneRecord = make<Arch>(67, Resp, [](Arch &p) { p.setRecords({ hex("AA BB CC") }); });
    const auto presence = make<Presence>(66, Req, [](Presence &p) {
        p.setArchType(TavrexBus::TimeArch);
        p.setArchIndex(2);
        p.setRequestLabelsCount(3);
        p.setRequestLabel(0x65E6F5A8u);
        p.setDirection(TavrexBus::Backward);
    });
    const auto presenceAnswer = make<Presence>(66, Resp, [](Presence &p) {
        p.appendLabel(1);
        p.appendLabel(2);
    });
    const auto file = [](int code, TavrexBus::PacketState state, int count, int written, const char *bytes) {
        return make<File>(code, state, [=](File &p) {
            p.requestOffset = count || written ? 0x10 : 0;
            p.requestFile = count || written ? 3 : 0;
            p.requestRegistersCount = quint8(count);
            p.registersWritten = quint8(written);
            p.bytes = hex(bytes);
        });
    };
    return {
        { "3 request", Req, 1, Index, read, "03 00 6B 00 03", read },
        { "4 answer", Resp, 1, Index, readAnswer, "04 06 02 2B 00 00 00 64", readAnswer },
        { "6 request", Req, 1, Index, writeOne(Req, true), "06 00 01 00 03", writeOne(Req, true) },
        { "6 answer", Resp, 1, Index, writeOne(Resp, true), "06 00 01 00 03", writeOne(Resp, false) },
        { "16 request", Req, 1, Index, write, "10 00 01 00 02 04 00 0A 01 02", write },
        { "16 answer", Resp, 1, Index, writeAnswer, "10 00 01 00 02", writeAnswerParsed },
        { "3 exception", Resp, 1, Index, exception, "83 02", exception },
        { "17 request", Req, 1, Index, report, "11", report },
        { "17 answer", Resp, 1, Index, reportAnswer, "11 05 41 42 00 01 02", reportAnswer },
        { "65 index request", Req, 1, Index, byIndex, "41 00 01 00 02 00 00 05", byIndex },
        { "65 time request", Req, 1, Index, byTime, "41 00 02 00 03 01 00 1E 0A 05 03 18", byTime },
        { "65 answer", Resp, 3, Time, records, "41 0C 01 02 03 04 05 06 07 08 09 0A 0B 0C", records },
        { "67 request", Req, 1, Index, byDirection, "43 00 03 00 04 01 65 E6 F5 A8 01", byDirection },
        { "67 answer", Resp, 1, Index, oneRecord, "43 03 AA BB CC", oneRecord },
        { "66 request", Req, 1, Index, presence, "42 00 02 00 03 01 65 E6 F5 A8 01", presence },
        { "66 answer", Resp, 2, Index, presenceAnswer, "42 08 00 00 00 01 00 00 00 02", presenceAnswer },
        { "68 request", Req, 1, Index, file(68, Req, 4, 0, ""), "44 00 10 03 04", file(68, Req, 4, 0, "") },
        { "68 answer", Resp, 1, Index, file(68, Resp, 0, 0, "01 02 03 04"), "44 04 01 02 03 04",
          file(68, Resp, 0, 0, "01 02 03 04") },
        { "69 request", Req, 1, Index, file(69, Req, 2, 0, "01 02 03 04"), "45 00 10 03 02 01 02 03 04",
          file(69, Req, 2, 0, "01 02 03 04") },
        { "69 answer", Resp, 1, Index, file(69, Resp, 0, 2, ""), "45 00 10 03 02", file(69, Resp, 0, 2, "") },
    };
}

} // namespace PacketTesting
