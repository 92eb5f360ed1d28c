#include "enginefixture.h"
#include "modbusercases.h"
#include "programrun.h"
#include "rtuframe.h"
#include "signaltexts.h"

#include <TavrexBus1/modbusloopbackclient.h>
#include <TavrexBus1/modbusloopbackserver.h>
#include <TavrexBus1/modbuspacketreg.h>
#include <TavrexBus1/modbustransporter.h>

#include <QtCore/QProcess>
#include <QtCore/QRandomGenerator>
#include <QtTest/QSignalSpy>

#include <functional>
#include <tuple>

namespace {

const QString Python = QStringLiteral("/usr/bin/python3");

// Whether the system Python's pymodbus can serve a serial line, as the peer scripts need.
bool serialPeersRun()
{
    static const bool importable = runProgram(Python, {"-c", "import pymodbus.server, serial_asyncio"}).exitCode == 0;
    return importable;
}

// A script of peers/ run by the system Python against one end of a serial line.
class Peer
{
public:
    Peer(const QString &script, const QString &port)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(Python, {QStringLiteral(ENGINE_PEERS_DIR "/") + script, port});
    }

    ~Peer()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // Output lines up to the one starting with last, or the peer's end; events keep flowing meanwhile.
    QStringList linesUntil(const QString &last, int timeoutMs)
    {
        QStringList lines;
        const auto ended = [&] {
            while (m_process.canReadLine())
                lines << QString::fromUtf8(m_process.readLine()).trimmed();
            return (!lines.isEmpty() && lines.last().startsWith(last)) || m_process.state() == QProcess::NotRunning;
        };
        if (!QTest::qWaitFor(ended, timeoutMs))
            lines << QStringLiteral("(timed out)");
        return lines;
    }

private:
    QProcess m_process;
};

} // namespace

// The client path over a serial line; then the server path from request to answer bytes through a
// loopback server, so that every request and answer is an exact RTU frame.
class tst_Modbuser : public QObject
{
    Q_OBJECT

    ModbusLoopbackServer *m_transport = nullptr;
    Modbuser *m_server = nullptr;
    Device *m_device = nullptr;

    ModbusBytes answerTo(const ModbusBytes &request)
    {
        ModbusBytes answer;
        m_transport->emulateBytesReceived(request, answer);
        return answer;
    }

private slots:
    void everyFunction_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<Answer>("answer");
        const QList<QPair<Answer, const char *>> answers = {
            {Answer::Fill, "filled"}, {Answer::Exception, "exception"}, {Answer::Ignore, "unhandled"}};
        for (int i = 0; i < cases().size(); ++i) {
            for (const auto &answer : answers)
                QTest::addRow("%s %s", qPrintable(cases().at(i).name), answer.second) << i << answer.first;
        }
    }

    void everyFunction()
    {
        QFETCH(int, index);
        QFETCH(Answer, answer);
        const Case &c = cases().at(index);
        Link link;
        QVERIFY(link.isReady());
        link.device().answer = answer;
        link.client().setDeviceAddress(17);
        QSignalSpy serverErrors(&link.server(), &ErrObject::error);

        const QVariant result = link.run(c.op);
        const QString clientError = link.client().errorString();
        switch (answer) {
        case Answer::Fill:
            QCOMPARE(result, c.expected);
            QCOMPARE(serverErrors.count(), 0);
            QCOMPARE(int(link.device().lastFunction), c.function);
            for (int i = 0; i < c.written.size(); ++i)
                QCOMPARE(link.device().registers.value(c.address + quint32(i)), c.written.at(i));
            QCOMPARE(link.device().lastUnit, quint8(17));
            break;
        case Answer::Exception:
            QVERIFY(!result.isValid());
            QVERIFY2(clientError.startsWith(QLatin1String("received exception packet: ")), qPrintable(clientError));
            QVERIFY2(clientError.contains(QLatin1String("exception code: illegal data address")),
                     qPrintable(clientError));
            QCOMPARE(clientError.contains(QLatin1String("; problem request packet: ")), c.shown == WithRequest);
            QCOMPARE(!clientError.mid(int(strlen("received exception packet: "))).contains(QLatin1Char('\n')),
                     c.shown != MultiLine);
            QCOMPARE(link.device().lastUnit, quint8(17));
            break;
        case Answer::Ignore:
            QVERIFY(!result.isValid());
            QCOMPARE(clientError, QStringLiteral("read timeout"));
            QVERIFY(!serverErrors.isEmpty());
            QVERIFY(serverErrors.first().first().toString().startsWith(QLatin1String("Packet wasn't handled: ")));
            break;
        }
    }

    // The general archive handler answers before the typed ones.
    void generalArchiveHandlerComesFirst()
    {
        Link link;
        QVERIFY(link.isReady());
        int typedCalls = 0;
        QObject::connect(&link.server(), &Modbuser::onReadIndexArchRecords, &link.server(), [&] { ++typedCalls; });
        TavrexBus::ArchType seenType = TavrexBus::TimeArch;
        QObject::connect(&link.server(), &Modbuser::onReadArchRecords, &link.server(),
                         [&](quint16, quint32 label, TavrexBus::ArchDirection, quint16 count, QList<ModbusBytes> &out,
                             ModbusTranslateOptions &, TavrexBus::ArchType type, bool &handled) {
                             seenType = type;
                             for (int i = 0; i < count; ++i)
                                 out.append(ModbusBytes::fromSize(10, uchar(label + i)));
                             handled = true;
                         });
        QList<ModbusBytes> records;
        QVERIFY(link.run([&records](Modbuser &m) { return m.readIndexArchRecords(1, 4, 1, records); }));
        QCOMPARE(records, QList<ModbusBytes>{ModbusBytes::fromSize(10, 4)});
        QCOMPARE(seenType, TavrexBus::IndexArch);
        QCOMPARE(typedCalls, 0);
    }

    void vetoedPacketsFail_data()
    {
        QTest::addColumn<bool>("onSending");
        QTest::addColumn<QString>("message");
        QTest::newRow("sending") << true << "outcoming packet was blocked by dispatcher(s)";
        QTest::newRow("receiving") << false << "answer was blocked by dispatcher(s)";
    }

    void vetoedPacketsFail()
    {
        QFETCH(bool, onSending);
        QFETCH(QString, message);
        Link link;
        QVERIFY(link.isReady());
        const auto veto = [](const ModbusPacket &, const ModbusTarget *, bool &allow) { allow = false; };
        ModbusTranslator *translator = &link.client().translator();
        const auto signal = onSending ? &ModbusTranslator::packetSending : &ModbusTranslator::packetReceiving;
        QObject::connect(translator, signal, translator, veto, Qt::DirectConnection);
        quint16 value = 0;
        QVERIFY(!link.run([&value](Modbuser &m) { return m.readRegister(400011, value); }));
        QCOMPARE(link.client().errorString(), message);
        QCOMPARE(link.device().lastFunction == TavrexBus::ReadHoldingRegisters, !onSending);
    }

    // A number whose protocol address would wrap onto another register never reaches the bus.
    void registersPastTheAddressRangeAreRefused_data()
    {
        QTest::addColumn<Operation>("op");
        QTest::addColumn<QString>("error");
        const QString past = QStringLiteral("register %1 is out of the 16-bit address range");
        QTest::newRow("last holding register")
            << filling<Bytes>([](Modbuser &m, Bytes &out) { return m.readRegisters(465536, 1, out); }) << "";
        QTest::newRow("read span past the end")
            << filling<Bytes>([](Modbuser &m, Bytes &out) { return m.readRegisters(465536, 2, out); })
            << past.arg(465537);
        QTest::newRow("write single") << writing([](Modbuser &m) { return m.writeRegister(465537, 1); })
                                      << past.arg(465537);
        QTest::newRow("write multiple") << writing([](Modbuser &m) { return m.writeUInt(465536, 1); })
                                        << past.arg(465537);
    }

    void registersPastTheAddressRangeAreRefused()
    {
        QFETCH(Operation, op);
        QFETCH(QString, error);
        Link link;
        QVERIFY(link.isReady());
        QCOMPARE(link.run(op).isValid(), error.isEmpty());
        QCOMPARE(link.device().lastFunction != TavrexBus::UnknownFunction, error.isEmpty());
        if (!error.isEmpty())
            QCOMPARE(link.client().errorString(), error);
    }

    void noClientTransport()
    {
        Modbuser modbuser;
        quint16 value = 0;
        QVERIFY(!modbuser.readRegister(400001, value));
        QCOMPARE(modbuser.errorString(), QStringLiteral("sendAndReceivePacket: can't find default client transport"));
    }

    void foreignAnswersAreRejected_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("detail");
        ModbusBytes badCrc = rtuFrame("0103040001 0002");
        std::swap(badCrc[badCrc.size() - 1], badCrc[badCrc.size() - 2]);
        const QString foreign = QStringLiteral("received answer that doesn't belong to the request: ");
        QTest::newRow("other function") << QByteArray(rtuFrame("0104040001 0002")) << foreign << "";
        QTest::newRow("other device") << QByteArray(rtuFrame("0203040001 0002")) << foreign << "";
        QTest::newRow("wrong count") << QByteArray(rtuFrame("01030200 01"))
                                     << "received registers count (1) doesn't equal requested registers count (2). "
                                        "\n Requested packet: \n "
                                     << " \n AnswerPacket: \n ";
        QTest::newRow("bad crc") << QByteArray(badCrc) << "ModbusRTUParser parse error: crc checksum error in bytes: "
                                 << "";
        QTest::newRow("other packet class") << QByteArray(rtuFrame("0111034100FF")) << foreign << "";
    }

    // A rejected answer leaves the output as it was, and the next request is served.
    void foreignAnswersAreRejected()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, error);
        QFETCH(QString, detail);
        ModbusLoopbackServer device;
        QVERIFY(device.connectTransport());
        ModbusLoopbackClient transport(device);
        QVERIFY(transport.connectTransport());
        Modbuser client;
        client.setClientTransport(&transport);
        // The device answers the first request with the frame under test, the second one properly.
        QList<QByteArray> replies{answer, rtuFrame("0103040001 0002")};
        QByteArray requests;
        QObject::connect(&device, &Transport::requestBytesReceived, &device,
                         [&](ModbusBytes request, const Target *, ModbusBytes *reply) {
                             requests += request;
                             *reply = replies.takeFirst();
                         });

        ModbusBytes out = ModbusBytes::fromHex("CAFE");
        QVERIFY(!client.readRegisters(400001, 2, out));
        const QString firstError = client.errorString();
        QVERIFY2(firstError.startsWith(error), qPrintable(firstError));
        QVERIFY2(firstError.contains(detail), qPrintable(firstError));
        QCOMPARE(hex(out), QStringLiteral("ca fe"));
        QVERIFY2(client.readRegisters(400001, 2, out), qPrintable(client.errorString()));
        QCOMPARE(hex(out), QStringLiteral("00 01 00 02"));
        QCOMPARE(hex(requests), QStringLiteral("01 03 00 00 00 02 c4 0b 01 03 00 00 00 02 c4 0b"));
    }

    void init()
    {
        m_transport = new ModbusLoopbackServer;
        QVERIFY(m_transport->connectTransport());
        m_server = new Modbuser;
        m_server->translator().addTransport(*m_transport, true, false);
        m_device = new Device;
        m_device->attach(*m_server);
    }

    void cleanup()
    {
        delete m_device;
        delete m_server;
        delete m_transport;
    }

    void serverAnswers_data()
    {
        QTest::addColumn<ModbusBytes>("request");
        QTest::addColumn<Answer>("handlers");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("error");

        const auto row = [](const char *name, const ModbusBytes &request, Answer handlers, const char *answer,
                            const QString &error = QString()) {
            QTest::newRow(name) << request << handlers << QByteArray(answer) << error;
        };
        // A few served answers byte for byte; an independent client meets the rest below.
        row("unit 17 is answered by unit 17", rtuFrame("1103 000A 0002"), Answer::Fill, "1103 04 0101 0202");
        row("write confirms its count", rtuFrame("0110 0005 0002 04 0001 0002"), Answer::Fill, "0110 0005 0002");
        row("handler exception", rtuFrame("0103 0100 0001"), Answer::Exception, "0183 02");
        row("unhandled read", rtuFrame("0104 0000 0001"), Answer::Ignore, "");
        row("unknown function", rtuFrame("012B 0E01 00"), Answer::Fill, "01AB 01");
        row("read of 0 registers", rtuFrame("0103 0000 0000"), Answer::Fill, "0183 03");
        row("read of 126 registers", rtuFrame("0103 0000 007E"), Answer::Fill, "0183 03");
        row("write of 0 registers", rtuFrame("0110 0000 0000 00"), Answer::Fill, "0190 03");

        ModbusBytes badCrc = rtuFrame("0103 0000 0001");
        badCrc[6] = uchar(badCrc.at(6) ^ 0xFF);
        const QString noParser = QStringLiteral("can't find needed parser2");
        row("bad crc", badCrc, Answer::Fill, "", QStringLiteral("ModbusRTUParser parse error: crc checksum error"));
        row("empty", ModbusBytes(), Answer::Fill, "", noParser);
        row("exception frame as request", rtuFrame("0183 02"), Answer::Fill, "",
            QStringLiteral("received exception packet as a request: "));
        row("unknown function, bad crc", ModbusBytes::fromHex("0105 0000 FF00 0000"), Answer::Fill, "", noParser);
    }

    // Whatever the request, the next good one is served as if nothing had happened.
    void serverAnswers()
    {
        QFETCH(ModbusBytes, request);
        QFETCH(Answer, handlers);
        QFETCH(QByteArray, answer);
        QFETCH(QString, error);
        m_device->answer = handlers;
        QSignalSpy errors(&m_server->translator(), &ErrObject::error);
        QCOMPARE(hex(answerTo(request)), hex(rtuFrame(answer.constData())));
        if (!error.isEmpty()) {
            QVERIFY(!errors.isEmpty());
            const QString message = errors.first().first().toString();
            QVERIFY2(message.startsWith(error), qPrintable(message));
        }
        m_device->answer = Answer::Fill;
        QCOMPARE(hex(answerTo(rtuFrame("0103 000A 0001"))), hex(rtuFrame("0103 02 0101")));
    }

    void handlersSeeTheRequestOptions()
    {
        QObject::connect(m_server, &Modbuser::onGetDevName, m_server,
                         [&](QString &, ModbusTranslateOptions &options, bool &) {
                             QCOMPARE(options.fromTransport(), m_transport);
                             QCOMPARE(options.fromTarget(), m_transport->target());
                             QVERIFY(qAbs(options.requestTime().secsTo(QDateTime::currentDateTime())) < 60);
                             QCOMPARE(options.requestTime().timeSpec(), Qt::LocalTime);
                             options.setAnswerExceptionCode(TavrexBus::SlaveDeviceBusy);
                         });
        QCOMPARE(hex(answerTo(rtuFrame("2A11"))), hex(rtuFrame("2A91 06")));
    }

    void secondAnswererIsRefused()
    {
        // A second dispatcher on the same translator finds the answer slot already filled.
        QObject::connect(&m_server->translator(), &ModbusTranslator::packetRequestReceived, m_server,
                         &Modbuser::onPacketRequestReceived);
        QSignalSpy errors(m_server, &ErrObject::error);
        QCOMPARE(hex(answerTo(rtuFrame("0103 000A 0001"))), hex(rtuFrame("0103 02 0101")));
        QCOMPARE(signalTexts(errors), QStringList{"somebody else has been answered for this modbus request"});
    }

    void nonResponseAnswerIsNotSent()
    {
        ModbusTranslator translator;
        translator.addTransport(*m_transport, true, false);
        QObject::connect(&translator, &ModbusTranslator::packetRequestReceived, &translator,
                         [](ModbusPacket &, ModbusTranslateOptions &, ModbusPacket **answer) {
                             auto *request = new ModbusPacketReg;
                             request->setFunctionCode(TavrexBus::ReadHoldingRegisters);
                             *answer = request;
                         });
        QSignalSpy errors(&translator, &ErrObject::error);
        m_server->translator().transporter()->removeTransport(*m_transport);
        QVERIFY(answerTo(rtuFrame("0103 0000 0001")).isEmpty());
        QCOMPARE(signalTexts(errors), QStringList{"you must answer only by 'Response'-state packets"});
    }

    void removedTransportLosesItsParsers()
    {
        ModbusTranslator &translator = m_server->translator();
        const ModbusBytes request = rtuFrame("0103 0000 0001");
        QVERIFY(translator.getParser(m_transport->target(), request, TavrexBus::Request));
        translator.transporter()->removeTransport(*m_transport);
        translator.addTransport(*m_transport, false, false);
        QVERIFY(!translator.getParser(m_transport->target(), request, TavrexBus::Request));
        QSignalSpy errors(&translator, &ErrObject::error);
        QVERIFY(answerTo(request).isEmpty());
        QCOMPARE(signalTexts(errors), QStringList{"can't find needed parser2"});
    }

    void mutatedRequestsGetWellFormedAnswersOrNone()
    {
        // Valid requests with bytes flipped, dropped or added at a fixed seed, with and without a repaired CRC.
        const QList<QByteArray> seeds = {"0103 0000 0002", "0104 0001 0001", "0106 0005 1234",
                                         "0110 0005 0002 04 0001 0002", "0111", "0141 0001 0002 00 0005",
                                         "0141 0002 0001 01 001E0A050318", "0142 0001 0002 00 00000005 01",
                                         "0143 0001 0002 00 00000005 00", "0144 0001 03 02",
                                         "0145 0001 03 01 AABB"};
        QRandomGenerator random(20240305);
        for (int round = 0; round < 20000; ++round) {
            ModbusBytes frame = ModbusBytes::fromHex(seeds.at(random.bounded(int(seeds.size()))));
            for (int edits = random.bounded(1, 4); edits > 0; --edits) {
                const int at = random.bounded(int(frame.size()) + 1);
                switch (random.bounded(3)) {
                case 0:
                    if (at < frame.size())
                        frame[at] = uchar(random.bounded(256));
                    break;
                case 1:
                    frame.remove(at, 1);
                    break;
                default:
                    frame.insert(at, char(random.bounded(256)));
                }
            }
            if (random.bounded(4) != 0)
                frame.appendUInt16(qChecksumModbus(frame));
            const ModbusBytes answer = answerTo(frame);
            if (answer.isEmpty())
                continue;
            const bool sameUnitAndFunction = answer.at(0) == frame.at(0) && (answer.at(1) & 0x7F) == frame.at(1);
            QVERIFY2(answer.checkCrc16() && sameUnitAndFunction, qPrintable(hex(frame) + " -> " + hex(answer)));
        }
        QCOMPARE(hex(answerTo(rtuFrame("0103 000A 0001"))), hex(rtuFrame("0103 02 0101")));
    }

    // Our client against an independent RTU server and the reverse, each over joined pseudo-terminals;
    // the TCP interop suite meets the other functions and an exception, which take the same engine path.
    void clientAgainstIndependentServer()
    {
        if (!serialPeersRun())
            QSKIP("pymodbus with serial support is not importable by /usr/bin/python3");
        const QList<std::tuple<const char *, Operation, QVariant>> operations = {
            {"read holding (3)", [](Modbuser &m) {
                 ModbusBytes out;
                 return m.readRegisters(400011, 3, out) ? QVariant(out.toHex(' ')) : QVariant();
             }, QByteArray("03 f2 03 f3 03 f4")},
            {"write float (16)", [](Modbuser &m) {
                 float value = 0;
                 return m.writeFloat(400041, 21.5f) && m.readFloat(400041, value) ? QVariant(value) : QVariant();
             }, 21.5f},
            {"device name (17)", [](Modbuser &m) {
                 QString name;
                 return m.getDevName(name) ? QVariant(name) : QVariant();
             }, "EK-PEER"},
        };
        PtyBridge line;
        QVERIFY(line.isValid());
        Peer peer(QStringLiteral("rtu_server.py"), line.portB());
        QCOMPARE(peer.linesUntil(QStringLiteral("ready"), 30000).value(0), QStringLiteral("ready"));

        ModbusSerialClient transport;
        transport.setPort(line.portA());
        transport.setReadTimeout(2000);
        QVERIFY(transport.connectTransport());
        ClientThread thread(transport);
        for (const auto &[name, operation, expected] : operations) {
            const QVariant result = runOn(thread.client(), operation);
            QVERIFY2(result == expected, qPrintable(QStringLiteral("%1: %2 (%3)")
                                                        .arg(name, result.toString(), thread.client().errorString())));
        }
    }

    void independentClientAgainstServer()
    {
        if (!serialPeersRun())
            QSKIP("pymodbus with serial support is not importable by /usr/bin/python3");
        PtyBridge line;
        QVERIFY(line.isValid());
        ModbusSerialServer transport(line.portA());
        QVERIFY(transport.connectTransport());
        Modbuser server;
        server.translator().addTransport(transport, true, false);
        Device device;
        device.attach(server);
        Peer peer(QStringLiteral("rtu_client.py"), line.portB());
        QCOMPARE(peer.linesUntil(QStringLiteral("done"), 60000),
                 QStringList({"read holding: 257 514 771", "write single: ok", "write multiple: ok",
                              "report: 454b2d5445535400", "unit 17: 257", "done"}));
    }
};

QTEST_GUILESS_MAIN(tst_Modbuser)
#include "tst_modbuser.moc"
