#include "programrun.h"

#include <TavrexBus1/modbuspacketreg.h>
#include <TavrexBus1/modbuspacketreport.h>
#include <TavrexBus1/modbusparseinfo.h>
#include <TavrexBus1/modbusrtudeparser.h>
#include <TavrexBus1/modbusrtuparser.h>
#include <TavrexBus1/modbustcpdeparser.h>
#include <TavrexBus1/modbustcpparser.h>
#include <TavrexBus1/modbustcptarget.h>

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtTest/QtTest>

#include <memory>

static QJsonArray registerList(const ModbusBytes &bytes)
{
    QJsonArray list;
    for (int i = 0; i < bytes.regsCount(); ++i)
        list.append(bytes.getReg(i));
    return list;
}

// Frames of pymodbus, an independent Modbus implementation, with contents it picks: we must
// decode its fields and write the same messages byte for byte.
class tst_PymodbusFrames : public QObject
{
    Q_OBJECT

    ModbusRTUParser m_rtuParser;
    ModbusTCPParser m_tcpParser;
    ModbusRTUDeparser m_rtuDeparser;
    ModbusTCPDeparser m_tcpDeparser;

private Q_SLOTS:
    void initTestCase()
    {
        if (runProgram(QStringLiteral("/usr/bin/python3"), { "-c", "import pymodbus" }).exitCode != 0)
            QSKIP("pymodbus is not installed for /usr/bin/python3");
    }

    void weDecodeAndWritePeerFrames()
    {
        const ProgramRun peer = runProgram(QStringLiteral("/usr/bin/python3"), { PYMODBUS_PEER, "encode", "7" });
        QVERIFY2(peer.exitCode == 0, qPrintable(peer.err));
        const QList<QByteArray> lines = peer.out.toUtf8().split('\n');
        QVERIFY(lines.size() > 400);
        for (const QByteArray &line : lines) {
            if (line.isEmpty())
                continue;
            const QList<QByteArray> parts = line.split(' ');
            const bool rtu = parts.at(0) == "rtu";
            const bool request = parts.at(1) == "request";
            const ModbusBytes frame(QByteArray::fromHex(parts.at(2)));
            const QJsonObject fields = QJsonDocument::fromJson(line.mid(
                    parts.at(0).size() + parts.at(1).size() + parts.at(2).size() + 3)).object();
            ModbusParser &parser = rtu ? static_cast<ModbusParser &>(m_rtuParser) : m_tcpParser;
            const ModbusParseInfo info(request ? TavrexBus::Request : TavrexBus::Response);

            QVERIFY2(parser.canParse(frame, info.state()), line.constData());
            const std::unique_ptr<IPacket> parsed(parser.parse(frame, info, nullptr));
            QVERIFY2(parsed, qPrintable(parser.errorString()));
            const auto &packet = dynamic_cast<const ModbusPacket &>(*parsed);
            QCOMPARE(int(packet.address()), fields.value(QLatin1String("unit")).toInt());
            const int fc = fields.value(QLatin1String("fc")).toInt();
            QCOMPARE(int(packet.functionCode()), fc & 0x7F);
            // Answers of 6 and 16 keep none of the echoed fields, so they cannot be written again.
            if (request || (fc != TavrexBus::WriteSingleRegister && fc != TavrexBus::WriteMultipleRegisters)) {
                Deparser &deparser = rtu ? static_cast<Deparser &>(m_rtuDeparser) : m_tcpDeparser;
                ModbusTcpTarget target;
                target.setTransactionID(frame.toUInt16(0));
                ModbusBytes written;
                QVERIFY2(deparser.deparse(packet, written, &target), qPrintable(deparser.errorString()));
                QCOMPARE(written.toHex(' '), frame.toHex(' '));
            }
            if (fc & 0x80) {
                QCOMPARE(int(packet.exceptionCode()),
                         fields.value(QLatin1String("exception_code")).toInt());
                continue;
            }
            if (fc == TavrexBus::ReportSlaveId) {
                if (!request) {
                    const auto &report = static_cast<const ModbusPacketReport &>(packet);
                    QCOMPARE(report.devName(),
                             QString::fromLatin1(QByteArray::fromHex(
                                     fields.value(QLatin1String("identifier")).toString().toLatin1()))
                                     .section(QChar(0), 0, 0));
                }
                continue;
            }
            const auto &reg = static_cast<const ModbusPacketReg &>(packet);
            const QJsonValue address = fields.value(QLatin1String("address"));
            const QJsonValue count = fields.value(QLatin1String("count"));
            if (request && !address.isUndefined())
                QCOMPARE(int(reg.requestAddress()), address.toInt());
            if (request && (fc == 3 || fc == 4))
                QCOMPARE(int(reg.requestRegistersCount()), count.toInt());
            if (!request && fc == TavrexBus::WriteMultipleRegisters)
                QCOMPARE(int(reg.registersWritten()), count.toInt());
            if (!request && (fc == 3 || fc == 4))
                QCOMPARE(registerList(reg.regBytes()), fields.value(QLatin1String("registers")).toArray());
            if (request && fc == TavrexBus::WriteMultipleRegisters)
                QCOMPARE(registerList(reg.regBytes()), fields.value(QLatin1String("values")).toArray());
            if (request && fc == TavrexBus::WriteSingleRegister)
                QCOMPARE(int(reg.regBytes().getReg(0)), fields.value(QLatin1String("value")).toInt());
        }
    }
};

QTEST_GUILESS_MAIN(tst_PymodbusFrames)
#include "tst_pymodbusframes.moc"
