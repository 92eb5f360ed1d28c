#include "enginefixture.h"
#include "modbusercases.h"
#include "rtuframe.h"

#include <TavrexBus1/modbusloopbackclient.h>
#include <TavrexBus1/modbusloopbackserver.h>

#include <QtTest/QSignalSpy>

#include <functional>

class tst_Modbuser : public QObject
{
    Q_OBJECT

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

    // The general archive handler answers before the typed ones. Long reads in blocks are the
    // client executor suite's.
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
};

QTEST_GUILESS_MAIN(tst_Modbuser)
#include "tst_modbuser.moc"
