#include "packettesting.h"

#include <TavrexBus1/modbuspacketarch.h>
#include <TavrexBus1/modbuspacketarchpresence.h>
#include <TavrexBus1/modbusparseinfo.h>
#include <TavrexBus1/modbusrtuparser.h>

#include <QtTest/QtTest>

#include <memory>

using namespace PacketTesting;

// Whole messages of every function parse in tst_modbusframing's round trips; here the PDU
// layer's completeness decisions, refusals and field decoding.
class tst_ModbusParser : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModbusPacket> parse(const ModbusBytes &pdu, const ModbusParseInfo &info)
    {
        std::unique_ptr<ModbusPacket> packet(m_parser.createPacket(pdu, info));
        m_parser.parseModbusPDU(pdu, info, *packet);
        return packet;
    }

    ModbusRTUParser m_parser;

private Q_SLOTS:
    void completenessAndRefusals_data()
    {
        QTest::addColumn<QByteArray>("pdu");
        QTest::addColumn<bool>("response");
        QTest::addColumn<int>("requestCount");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QString>("message");

        // An empty message: the PDU parses.
        const auto row = [](const char *name, const QByteArray &pdu, bool response, int count, bool whole,
                            const char *message) {
            QTest::newRow(name) << pdu << response << count << whole << QString::fromLatin1(message);
        };
        const bool req = false;
        const bool resp = true;
        row("read request", hex("03 00 00 00 0A"), req, 1, true, "");
        // Over the protocol limit, yet whole: the server answers it with an exception.
        row("read request of 200 registers", hex("03 00 00 00 C8"), req, 1, true, "");
        row("read request one short", hex("03 00 00 00"), req, 1, false, "invalid bytes array size");
        row("read count zero", hex("03 00 00 00 00"), req, 1, true, "reading registers count can't be zero");
        row("read answer", hex("03 04 00 01 00 02"), resp, 1, true, "");
        row("read answer odd count", hex("03 03 00 01 00"), resp, 1, true, "Bad Modbus PDU(bytes count)");
        row("read answer truncated", hex("03 04 00 01"), resp, 1, false, "invalid bytes array size");
        row("read answer count only", hex("03"), resp, 1, false, "invalid bytes array size");
        row("byte count short of data", hex("04 02 00 01 00 02"), resp, 1, false, "invalid bytes array size");
        row("write request", hex("10 00 01 00 01 02 00 05"), req, 1, true, "");
        row("write request missing value", hex("10 00 01 00 01 02 00"), req, 1, false, "invalid bytes array size");
        row("write request too short", hex("10 00 01 00 00 00"), req, 1, false, "invalid bytes array size");
        row("write count zero", hex("10 00 01 00 00 02 00 01"), req, 1, true,
            "writing registers count can't be zero");
        row("write counts disagree", hex("10 00 01 00 02 02 00 01"), req, 1, true,
            "registers count and bytes count doesn't match");
        row("write 129 registers claims 2 bytes", hex("10 00 01 00 81 02 00 01"), req, 1, true,
            "registers count and bytes count doesn't match");
        row("write answer", hex("10 00 01 00 01"), resp, 1, true, "");
        row("write answer count zero", hex("10 00 01 00 00"), resp, 1, true, "writing registers count can't be zero");
        row("report request", hex("11"), req, 1, true, "");
        row("report answer", hex("11 01 41"), resp, 1, true, "");
        row("report answer without data", hex("11 00"), resp, 1, false, "invalid bytes array size");
        row("65 index request", hex("41 00 01 00 02 00 00 05"), req, 1, true, "");
        row("65 time request needs 12", hex("41 00 01 00 02 01 00 05"), req, 1, false, "invalid bytes array size");
        row("65 time request", hex("41 00 01 00 02 01 00 1E 0A 05 03 18"), req, 1, true, "");
        row("65 unknown arch type", hex("41 00 01 00 02 02 00 05"), req, 1, false, "invalid bytes array size");
        row("65 count zero", hex("41 00 01 00 00 00 00 05"), req, 1, true, "read arch records count can't be zero");
        row("65 records disagree", hex("41 0C 01 02 03 04 05 06 07 08 09 0A 0B 0C"), resp, 5, true,
            "invalid arch record data length or response records count doesn't match requested");
        row("66 request", hex("42 00 01 00 01 00 00 00 00 01 00"), req, 1, true, "");
        row("66 empty answer", hex("42 00"), resp, 1, true, "");
        row("66 unknown arch type", hex("42 00 01 00 01 02 00 00 00 01 00"), req, 1, true, "unknown arch type");
        row("66 count zero", hex("42 00 01 00 00 00 00 00 00 01 00"), req, 1, true,
            "read arch labels count can't be zero");
        row("66 unknown direction", hex("42 00 01 00 01 00 00 00 00 01 02"), req, 1, true, "unknown arch direction");
        row("67 request", hex("43 00 01 00 01 00 00 00 00 01 00"), req, 1, true, "");
        row("67 unknown arch type", hex("43 00 01 00 01 07 00 00 00 01 00"), req, 1, true, "unknown arch type");
        row("67 count zero", hex("43 00 01 00 00 00 00 00 00 01 00"), req, 1, true,
            "read arch request records count can't be zero");
        row("67 unknown direction", hex("43 00 01 00 01 01 00 00 00 01 05"), req, 1, true, "unknown arch direction");
        row("67 records disagree", hex("43 04 01 02 03 04"), resp, 3, true,
            "invalid arch record data length or response records count doesn't match requested");
        row("68 request", hex("44 00 00 01 02"), req, 1, true, "");
        row("68 count zero", hex("44 00 00 01 00"), req, 1, true, "reading file registers count can't be zero");
        row("68 odd answer", hex("44 03 01 02 03"), resp, 1, true, "Bad Modbus PDU(bytes count)");
        row("69 request", hex("45 00 00 01 01 00 07"), req, 1, true, "");
        row("69 request short of data", hex("45 00 00 01 02 00 07"), req, 1, false, "invalid bytes array size");
        row("exception", hex("83 02"), resp, 1, true, "");
        row("exception with extra byte", hex("83 02 00"), resp, 1, false, "");
        row("unknown exception code", hex("83 07"), resp, 1, true, "unknown Exception Code");
        row("exception code zero", hex("83 00"), resp, 1, true, "unknown Exception Code");
        row("exception without code", hex("83"), resp, 1, false, "unknown Exception Code");
        row("unsupported function", hex("05 00 01 FF 00"), req, 1, false, "unsupported Function Code");
        row("unsupported exception", hex("85 01"), resp, 1, false, "unsupported Function Code");
        row("unknown function", hex("09 00 01"), req, 1, false, "unknown Function Code");
        row("unknown function in exception", hex("89 01"), resp, 1, false, "unknown Function Code");
        row("empty", QByteArray(), req, 1, false, "invalid bytes array size");
        row("254 bytes", QByteArray(254, '\x03'), resp, 1, false, "bytes array is too long");
    }

    void completenessAndRefusals()
    {
        QFETCH(QByteArray, pdu);
        QFETCH(bool, response);
        QFETCH(int, requestCount);
        QFETCH(bool, whole);
        QFETCH(QString, message);

        const ModbusParseInfo info(response ? TavrexBus::Response : TavrexBus::Request, quint16(requestCount),
                                   TavrexBus::IndexArch);
        QCOMPARE(m_parser.ModbusParser::canParse(exact(pdu), info.state()), whole);
        try {
            parse(exact(pdu), info);
            QVERIFY2(message.isEmpty(), "parsed");
        } catch (const QString &reason) {
            QCOMPARE(reason, message);
        }
    }

    void checkDataSizeRefusesUnsupportedFunction()
    {
        try {
            m_parser.checkDataSize(hex("05 00 01 FF 00"), TavrexBus::Request);
            QFAIL("accepted");
        } catch (const QString &reason) {
            QCOMPARE(reason, QStringLiteral("unsupported funcion code"));
        }
    }

    void timeLabelYearByteSelectsCentury_data()
    {
        QTest::addColumn<QByteArray>("label");
        QTest::addColumn<QDateTime>("expected");

        const auto row = [](const char *name, const char *label, const QDateTime &expected) {
            QTest::newRow(name) << QByteArray(hex(label)) << expected;
        };
        row("2024", "00 1E 0A 05 03 18", QDateTime(QDate(2024, 3, 5), QTime(10, 30)));
        row("1999", "3B 3B 17 1F 0C 63", QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)));
        row("1970", "00 00 00 01 01 46", QDateTime(QDate(1970, 1, 1), QTime(0, 0)));
        row("2069", "3B 3B 17 1F 0C 45", QDateTime(QDate(2069, 12, 31), QTime(23, 59, 59)));
        row("invalid date", "00 00 00 1F 02 18", QDateTime());
    }

    void timeLabelYearByteSelectsCentury()
    {
        QFETCH(QByteArray, label);
        QFETCH(QDateTime, expected);

        const auto packet = parse(exact(hex("41 00 01 00 01 01") + label), ModbusParseInfo(TavrexBus::Request));
        const auto &arch = static_cast<const ModbusPacketArch &>(*packet);
        QCOMPARE(arch.archType(), TavrexBus::TimeArch);
        QCOMPARE(arch.requestLabel(), TavrexBus::archLabelToSeconds(expected));
    }

    void archiveAnswerSplitsIntoRequestedRecords_data()
    {
        QTest::addColumn<int>("requestCount");
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("recordSize");

        QTest::newRow("three") << 3 << 3 << 4;
        QTest::newRow("one") << 1 << 1 << 12;
        QTest::newRow("zero means one") << 0 << 1 << 12;
        QTest::newRow("twelve") << 12 << 12 << 1;
    }

    void archiveAnswerSplitsIntoRequestedRecords()
    {
        QFETCH(int, requestCount);
        QFETCH(int, records);
        QFETCH(int, recordSize);

        const auto packet = parse(exact(hex("43 0C 01 02 03 04 05 06 07 08 09 0A 0B 0C")),
                                  ModbusParseInfo(TavrexBus::Response, quint16(requestCount), TavrexBus::TimeArch));
        const auto &arch = static_cast<const ModbusPacketArch &>(*packet);
        QCOMPARE(arch.records().size(), records);
        for (const ModbusBytes &record : arch.records())
            QCOMPARE(record.size(), recordSize);
        QCOMPARE(arch.fieldsTotalSize(), 12);
        QCOMPARE(arch.archType(), TavrexBus::TimeArch);
    }

    void presenceAnswerKeepsWholeLabelsOnly()
    {
        const auto packet = parse(exact(hex("42 06 00 00 00 07 00 08")), ModbusParseInfo(TavrexBus::Response));
        QCOMPARE(QByteArray(static_cast<const ModbusPacketArchPresence &>(*packet).labels()),
                 QByteArray(hex("00 00 00 07")));
    }
};

QTEST_APPLESS_MAIN(tst_ModbusParser)
#include "tst_modbusparser.moc"
