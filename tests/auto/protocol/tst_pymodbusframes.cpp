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
#include <QtCore/QProcess>
#include <QtCore/QRandomGenerator>
#include <QtTest/QtTest>

#include <memory>

static QJsonArray registerList(const ModbusBytes &bytes)
{
    QJsonArray list;
    for (int i = 0; i < bytes.regsCount(); ++i)
        list.append(bytes.getReg(i));
    return list;
}

// Frames exchanged with pymodbus, an independent Modbus implementation, in both directions.
class tst_PymodbusFrames : public QObject
{
    Q_OBJECT

    static QByteArray runPeer(const QStringList &arguments, const QByteArray &input)
    {
        QProcess peer;
        peer.start(QStringLiteral("/usr/bin/python3"),
                   QStringList{ QStringLiteral(PYMODBUS_PEER) } + arguments);
        if (!peer.waitForStarted(30000))
            return QByteArray();
        peer.write(input);
        peer.closeWriteChannel();
        if (!peer.waitForFinished(60000) || peer.exitCode() != 0)
            qWarning("peer failed: %s", peer.readAllStandardError().constData());
        return peer.readAllStandardOutput();
    }

    // Requests and answers of the standard functions with random contents; the byte array names
    // which fields the peer must report.
    static QList<std::pair<ModbusPacketReg, QByteArray>> ourRegisterPackets()
    {
        QRandomGenerator random(2024);
        QList<std::pair<ModbusPacketReg, QByteArray>> packets;
        for (int round = 0; round < 20; ++round) {
            const auto unit = uchar(random.bounded(1, 248));
            const auto address = quint16(random.bounded(65536 - 125));
            const auto values = [&](int count) {
                ModbusBytes bytes;
                for (int i = 0; i < count; ++i)
                    bytes.appendUInt16(quint16(random.bounded(65536)));
                return bytes;
            };
            const auto packet = [&](int code, TavrexBus::PacketState state) {
                ModbusPacketReg p;
                p.setFunctionCode(TavrexBus::FunctionCode(code));
                p.setState(state);
                p.setAddress(unit);
                p.setRequestAddress(address);
                return p;
            };
            for (int code : { 3, 4 }) {
                ModbusPacketReg read = packet(code, TavrexBus::Request);
                read.setRequestRegistersCount(quint16(random.bounded(1, 126)));
                packets.append({ read, "address count" });
                ModbusPacketReg answer = packet(code, TavrexBus::Response);
                answer.setRegBytes(values(random.bounded(1, 126)));
                packets.append({ answer, "registers" });
            }
            ModbusPacketReg writeOne = packet(6, TavrexBus::Request);
            writeOne.setRegBytes(values(1));
            packets.append({ writeOne, "address value" });
            ModbusPacketReg write = packet(16, TavrexBus::Request);
            write.setRegBytes(values(random.bounded(1, 123)));
            packets.append({ write, "address values" });
            ModbusPacketReg written = packet(16, TavrexBus::Response);
            written.setRegistersWritten(quint16(random.bounded(1, 123)));
            packets.append({ written, "address written" });
            ModbusPacketReg refused = packet(3, TavrexBus::Response);
            refused.setExceptionCode(TavrexBus::ExceptionCode(random.bounded(1, 5)));
            packets.append({ refused, "exception" });
        }
        return packets;
    }

    ModbusRTUParser m_rtuParser;
    ModbusTCPParser m_tcpParser;
    ModbusRTUDeparser m_rtuDeparser;
    ModbusTCPDeparser m_tcpDeparser;

private Q_SLOTS:
    void initTestCase()
    {
        QProcess probe;
        probe.start(QStringLiteral("/usr/bin/python3"),
                    { QStringLiteral("-c"), QStringLiteral("import pymodbus") });
        if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
            QSKIP("pymodbus is not installed for /usr/bin/python3");
    }

    void peerDecodesOurFrames()
    {
        const auto packets = ourRegisterPackets();
        QByteArray input;
        ModbusTcpTarget target;
        for (const auto &[packet, checks] : packets) {
            for (const char *kind : { "rtu", "tcp" }) {
                ModbusBytes frame;
                Deparser &deparser = qstrcmp(kind, "rtu") == 0
                        ? static_cast<Deparser &>(m_rtuDeparser) : m_tcpDeparser;
                target.setTransactionID(target.transactionID() + 1);
                QVERIFY2(deparser.deparse(packet, frame, &target), qPrintable(deparser.errorString()));
                input += kind + QByteArray(packet.state() == TavrexBus::Request ? " request "
                                                                                 : " response ")
                        + frame.toHex() + '\n';
            }
        }
        const QList<QByteArray> lines = runPeer({ QStringLiteral("decode") }, input).split('\n');
        QCOMPARE(lines.size() - 1, 2 * packets.size());
        for (int i = 0; i < lines.size() - 1; ++i) {
            const auto &[packet, checks] = packets.at(i / 2);
            const QJsonObject decoded = QJsonDocument::fromJson(lines.at(i)).object();
            const QByteArray context = input.split('\n').at(i) + " -> " + lines.at(i);
            QVERIFY2(!decoded.contains(QLatin1String("error")), context.constData());
            QCOMPARE(decoded.value(QLatin1String("unit")).toInt(), int(packet.address()));
            const int code = packet.functionCode() | (packet.hasException() ? 0x80 : 0);
            QCOMPARE(decoded.value(QLatin1String("fc")).toInt(), code);
            const QJsonArray registers = registerList(packet.regBytes());
            const QList<std::tuple<QByteArray, QString, QJsonValue>> fields = {
                { "address", "address", int(packet.requestAddress()) },
                { "count", "count", int(packet.requestRegistersCount()) },
                { "written", "count", int(packet.registersWritten()) },
                { "value", "value", int(packet.regBytes().getReg(0)) },
                { "registers", "registers", registers },
                { "values", "values", registers },
                { "exception", "exception_code", int(packet.exceptionCode()) },
            };
            for (const auto &[check, name, value] : fields) {
                if (checks.split(' ').contains(check))
                    QCOMPARE(decoded.value(name).toVariant(), value.toVariant());
            }
        }
    }

    void weDecodePeerFrames()
    {
        const QList<QByteArray> lines = runPeer({ QStringLiteral("encode"), QStringLiteral("7") },
                                                QByteArray()).split('\n');
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
