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
    void canParseDecidesCompleteness_data()
    {
        QTest::addColumn<QByteArray>("pdu");
        QTest::addColumn<bool>("response");
        QTest::addColumn<bool>("expected");

        const auto row = [](const char *name, const char *pdu, bool response, bool expected) {
            QTest::newRow(name) << QByteArray(hex(pdu)) << response << expected;
        };
        row("read request", "03 00 00 00 0A", false, true);
        row("read request one short", "03 00 00 00", false, false);
        // Over the protocol limit, yet whole: the server answers it with an exception.
        row("read request of 200 registers", "03 00 00 00 C8", false, true);
        row("read answer", "03 04 00 01 00 02", true, true);
        row("read answer odd count still whole", "03 03 00 01 00", true, true);
        row("read answer truncated", "03 04 00 01", true, false);
        row("read answer count only", "03", true, false);
        row("write request", "10 00 01 00 01 02 00 05", false, true);
        row("write request missing value", "10 00 01 00 01 02 00", false, false);
        row("write request too short", "10 00 01 00 00 00", false, false);
        row("write answer", "10 00 01 00 01", true, true);
        row("report request", "11", false, true);
        row("report answer without data", "11 00", true, false);
        row("report answer", "11 01 41", true, true);
        row("65 index request", "41 00 01 00 02 00 00 05", false, true);
        row("65 time request needs 12", "41 00 01 00 02 01 00 05", false, false);
        row("65 time request", "41 00 01 00 02 01 00 1E 0A 05 03 18", false, true);
        row("65 bad arch type", "41 00 01 00 02 02 00 05", false, false);
        row("66 request", "42 00 01 00 01 00 00 00 00 01 00", false, true);
        row("66 empty answer", "42 00", true, true);
        row("67 request", "43 00 01 00 01 00 00 00 00 01 00", false, true);
        row("68 request", "44 00 00 01 02", false, true);
        row("69 request", "45 00 00 01 01 00 07", false, true);
        row("69 request short of data", "45 00 00 01 02 00 07", false, false);
        row("exception", "83 02", true, true);
        row("exception with extra byte", "83 02 00", true, false);
        row("unsupported function", "05 00 01 FF 00", false, false);
        row("unknown function", "09 00 01", false, false);
        row("empty", "", false, false);
        QTest::newRow("too long") << QByteArray(254, '\x03') << true << false;
    }

    void canParseDecidesCompleteness()
    {
        QFETCH(QByteArray, pdu);
        QFETCH(bool, response);
        QFETCH(bool, expected);
        QCOMPARE(m_parser.ModbusParser::canParse(exact(pdu), response ? TavrexBus::Response : TavrexBus::Request),
                 expected);
    }

    void malformedPduIsRefusedWithItsReason_data()
    {
        QTest::addColumn<QByteArray>("pdu");
        QTest::addColumn<bool>("response");
        QTest::addColumn<int>("requestCount");
        QTest::addColumn<QString>("message");

        const auto row = [](const char *name, const QByteArray &pdu, bool response, int count, const char *message) {
            QTest::newRow(name) << pdu << response << count << QString::fromLatin1(message);
        };
        const bool req = false;
        const bool resp = true;
        row("empty", QByteArray(), req, 1, "invalid bytes array size");
        row("unknown function", hex("09 00 01"), req, 1, "unknown Function Code");
        row("unknown function in exception", hex("89 01"), resp, 1, "unknown Function Code");
        row("unsupported function", hex("05 00 01 FF 00"), req, 1, "unsupported Function Code");
        row("unsupported exception", hex("85 01"), resp, 1, "unsupported Function Code");
        row("unknown exception code", hex("83 07"), resp, 1, "unknown Exception Code");
        row("exception code zero", hex("83 00"), resp, 1, "unknown Exception Code");
        row("exception without code", hex("83"), resp, 1, "unknown Exception Code");
        row("254 bytes", QByteArray(254, '\x03'), resp, 1, "bytes array is too long");
        row("truncated read request", hex("03 00 00"), req, 1, "invalid bytes array size");
        row("read count zero", hex("03 00 00 00 00"), req, 1, "reading registers count can't be zero");
        row("odd register bytes", hex("03 03 00 01 00"), resp, 1, "Bad Modbus PDU(bytes count)");
        row("byte count beyond data", hex("04 06 00 01"), resp, 1, "invalid bytes array size");
        row("byte count short of data", hex("04 02 00 01 00 02"), resp, 1, "invalid bytes array size");
        row("write count zero", hex("10 00 01 00 00 02 00 01"), req, 1, "writing registers count can't be zero");
        row("write counts disagree", hex("10 00 01 00 02 02 00 01"), req, 1,
            "registers count and bytes count doesn't match");
        row("write 129 registers claims 2 bytes", hex("10 00 01 00 81 02 00 01"), req, 1,
            "registers count and bytes count doesn't match");
        row("write answer count zero", hex("10 00 01 00 00"), resp, 1, "writing registers count can't be zero");
        row("report answer too short", hex("11 00"), resp, 1, "invalid bytes array size");
        row("65 unknown arch type", hex("41 00 01 00 02 02 00 05"), req, 1, "invalid bytes array size");
        row("65 count zero", hex("41 00 01 00 00 00 00 05"), req, 1, "read arch records count can't be zero");
        row("65 records disagree", hex("41 0C 01 02 03 04 05 06 07 08 09 0A 0B 0C"), resp, 5,
            "invalid arch record data length or response records count doesn't match requested");
        row("66 unknown arch type", hex("42 00 01 00 01 02 00 00 00 01 00"), req, 1, "unknown arch type");
        row("66 count zero", hex("42 00 01 00 00 00 00 00 00 01 00"), req, 1, "read arch labels count can't be zero");
        row("66 unknown direction", hex("42 00 01 00 01 00 00 00 00 01 02"), req, 1, "unknown arch direction");
        row("67 unknown arch type", hex("43 00 01 00 01 07 00 00 00 01 00"), req, 1, "unknown arch type");
        row("67 count zero", hex("43 00 01 00 00 00 00 00 00 01 00"), req, 1,
            "read arch request records count can't be zero");
        row("67 unknown direction", hex("43 00 01 00 01 01 00 00 00 01 05"), req, 1, "unknown arch direction");
        row("67 records disagree", hex("43 04 01 02 03 04"), resp, 3,
            "invalid arch record data length or response records count doesn't match requested");
        row("68 count zero", hex("44 00 00 01 00"), req, 1, "reading file registers count can't be zero");
        row("68 odd answer", hex("44 03 01 02 03"), resp, 1, "Bad Modbus PDU(bytes count)");
        row("69 counts disagree", hex("45 00 00 01 02 00 07"), req, 1, "invalid bytes array size");
    }

    void malformedPduIsRefusedWithItsReason()
    {
        QFETCH(QByteArray, pdu);
        QFETCH(bool, response);
        QFETCH(int, requestCount);
        QFETCH(QString, message);

        const ModbusParseInfo info(response ? TavrexBus::Response : TavrexBus::Request, quint16(requestCount),
                                   TavrexBus::IndexArch);
        try {
            parse(exact(pdu), info);
            QFAIL("parsed");
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
