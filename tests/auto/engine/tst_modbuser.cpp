#include "enginefixture.h"

#include <TavrexBus1/modbusbytesarray.h>
#include <TavrexBus1/modbuspacketreg.h>

#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

#include "ptypair.h"

#include <functional>
#include <thread>

using Operation = std::function<QVariant(Modbuser &)>;

namespace {

const QDateTime LabelTime(QDate(2024, 3, 5), QTime(10, 30));

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

QString joinedHex(const QList<ModbusBytes> &records)
{
    return hex(ModbusBytes::fromList(records));
}

// Every client operation once, returning its result, or an invalid variant when it failed.
QMap<QString, Operation> operations()
{
    QMap<QString, Operation> ops;
    ops[QStringLiteral("read holding (3)")] = [](Modbuser &m) {
        ModbusBytes out;
        return m.readRegisters(400011, 3, out) ? QVariant(hex(out)) : QVariant();
    };
    ops[QStringLiteral("read input (4)")] = [](Modbuser &m) {
        ModbusBytes out;
        return m.readRegisters(300005, 2, out) ? QVariant(hex(out)) : QVariant();
    };
    ops[QStringLiteral("read float (3)")] = [](Modbuser &m) {
        float value = 0;
        return m.readFloat(400101, value) ? QVariant(value) : QVariant();
    };
    ops[QStringLiteral("write single (6)")] = [](Modbuser &m) {
        return m.writeRegister(400020, 0xBEEF) ? QVariant(true) : QVariant();
    };
    ops[QStringLiteral("write multiple (16)")] = [](Modbuser &m) {
        return m.writeRegisters(400030, ModbusBytes::fromHex("000100020003")) ? QVariant(true) : QVariant();
    };
    ops[QStringLiteral("device name (17)")] = [](Modbuser &m) {
        QString name;
        return m.getDevName(name) ? QVariant(name) : QVariant();
    };
    ops[QStringLiteral("read file (68)")] = [](Modbuser &m) {
        ModbusBytes out;
        return m.readFile(3, 1, 2, out) ? QVariant(hex(out)) : QVariant();
    };
    ops[QStringLiteral("write file (69)")] = [](Modbuser &m) {
        return m.writeFile(3, 4, ModbusBytes::fromHex("AABBCCDD")) ? QVariant(true) : QVariant();
    };
    ops[QStringLiteral("index records (65)")] = [](Modbuser &m) {
        QList<ModbusBytes> records;
        return m.readIndexArchRecords(1, 5, 3, records) ? QVariant(joinedHex(records)) : QVariant();
    };
    ops[QStringLiteral("index records backward (67)")] = [](Modbuser &m) {
        QList<ModbusBytes> records;
        return m.readIndexArchRecords(1, 5, TavrexBus::Backward, 2, records) ? QVariant(joinedHex(records))
                                                                              : QVariant();
    };
    ops[QStringLiteral("time record (65)")] = [](Modbuser &m) {
        ModbusBytes record;
        return m.readTimeArchRecord(2, LabelTime, record) ? QVariant(hex(record)) : QVariant();
    };
    ops[QStringLiteral("index labels (66)")] = [](Modbuser &m) {
        QList<quint32> labels;
        return m.readIndexArchLabels(1, 5, 3, labels) ? QVariant::fromValue(labels) : QVariant();
    };
    ops[QStringLiteral("time labels (66)")] = [](Modbuser &m) {
        QList<QDateTime> labels;
        return m.readTimeArchLabels(2, LabelTime, 2, labels) ? QVariant::fromValue(labels) : QVariant();
    };
    ops[QStringLiteral("last index label (66)")] = [](Modbuser &m) {
        quint32 label = 0;
        bool found = false;
        return m.getLastIndexLabel(1, label, &found) && found ? QVariant(label) : QVariant();
    };
    return ops;
}

QString seconds(const QDateTime &time)
{
    return hex(ModbusBytes::fromUInt32(TavrexBus::archLabelToSeconds(time)));
}

// What each operation yields against a freshly set-up device.
QMap<QString, QVariant> expectedResults()
{
    return {
        {QStringLiteral("read holding (3)"), QStringLiteral("01 01 02 02 03 03")},
        {QStringLiteral("read input (4)"), QStringLiteral("12 34 56 78")},
        {QStringLiteral("read float (3)"), QVariant(21.5f)},
        {QStringLiteral("write single (6)"), true},
        {QStringLiteral("write multiple (16)"), true},
        {QStringLiteral("device name (17)"), QStringLiteral("EK-TEST")},
        {QStringLiteral("read file (68)"), QStringLiteral("22 22 33 33")},
        {QStringLiteral("write file (69)"), true},
        {QStringLiteral("index records (65)"), QStringLiteral("00 00 00 05 00 00 00 06 00 00 00 07")},
        {QStringLiteral("index records backward (67)"), QStringLiteral("00 00 00 05 00 00 00 04")},
        {QStringLiteral("time record (65)"), seconds(LabelTime)},
        {QStringLiteral("index labels (66)"), QVariant::fromValue(QList<quint32>{5, 6, 7})},
        {QStringLiteral("time labels (66)"),
         QVariant::fromValue(QList<QDateTime>{LabelTime, LabelTime.addSecs(3600)})},
        {QStringLiteral("last index label (66)"), 99u},
    };
}

void presetDevice(Device &device)
{
    for (quint16 i = 0; i < 3; ++i)
        device.registers[400011 + i] = quint16(0x0101 * (i + 1));
    device.registers[300005] = 0x1234;
    device.registers[300006] = 0x5678;
    device.registers[400101] = 0x41AC;
    device.registers[400102] = 0x0000;
    device.file = ModbusBytes::fromHex("1111222233334444");
}

} // namespace

class tst_Modbuser : public QObject
{
    Q_OBJECT

private slots:
    void everyFunction_data();
    void everyFunction();
    void writesReachTheDevice_data();
    void writesReachTheDevice();
    void registersCountMismatchLeavesOutputUntouched();
    void exceptionMessages_data();
    void exceptionMessages();
    void generalArchiveHandlerComesFirst();
    void timePresenceAnswersCarrySeconds();
    void secondAnswererIsRefused();
    void requestsCarryTheDeviceAddress();
    void vetoedPacketsFail_data();
    void vetoedPacketsFail();
    void readArchRecordsSplitsIntoBlocks();
    void noClientTransport();
    void foreignAnswersAreRejected_data();
    void foreignAnswersAreRejected();
};

void tst_Modbuser::everyFunction_data()
{
    QTest::addColumn<LinkKind>("kind");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<Answer>("answer");

    const QList<QPair<LinkKind, const char *>> links = {{LinkKind::Loopback, "loopback"},
                                                        {LinkKind::Serial, "serial"}};
    const QList<QPair<Answer, const char *>> answers = {
        {Answer::Fill, "filled"}, {Answer::Exception, "exception"}, {Answer::Ignore, "unhandled"}};
    const QStringList names = operations().keys();
    for (const auto &link : links) {
        for (const QString &name : names) {
            for (const auto &answer : answers) {
                QTest::addRow("%s %s %s", link.second, qPrintable(name), answer.second)
                    << link.first << name << answer.first;
            }
        }
    }
}

void tst_Modbuser::everyFunction()
{
    QFETCH(LinkKind, kind);
    QFETCH(QString, operation);
    QFETCH(Answer, answer);

    Link link(kind);
    QVERIFY(link.isReady());
    presetDevice(link.device());
    link.device().answer = answer;
    QSignalSpy serverErrors(&link.server(), &ErrObject::error);

    const Operation op = operations().value(operation);
    const QVariant result = link.run(op);
    const QString clientError = link.client().errorString();

    switch (answer) {
    case Answer::Fill:
        QCOMPARE(result, expectedResults().value(operation));
        QCOMPARE(serverErrors.count(), 0);
        break;
    case Answer::Exception:
        QVERIFY(!result.isValid());
        QVERIFY2(clientError.startsWith(QLatin1String("received exception packet: ")), qPrintable(clientError));
        QVERIFY2(clientError.contains(TavrexBus::exceptionCodeStr(TavrexBus::IllegalDataAddress)),
                 qPrintable(clientError));
        break;
    case Answer::Ignore:
        QVERIFY(!result.isValid());
        QCOMPARE(clientError, link.unhandledError());
        QVERIFY(!serverErrors.isEmpty());
        QVERIFY(serverErrors.first().first().toString().startsWith(QLatin1String("Packet wasn't handled: ")));
        break;
    }
}

void tst_Modbuser::writesReachTheDevice_data()
{
    QTest::addColumn<LinkKind>("kind");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("function");
    QTest::addColumn<quint32>("address");
    QTest::addColumn<QList<quint16>>("registers");

    for (LinkKind kind : {LinkKind::Loopback, LinkKind::Serial}) {
        const char *name = kind == LinkKind::Loopback ? "loopback" : "serial";
        QTest::addRow("%s single", name) << kind << "write single (6)" << 6 << 400020u << QList<quint16>{0xBEEF};
        QTest::addRow("%s multiple", name)
            << kind << "write multiple (16)" << 16 << 400030u << QList<quint16>{1, 2, 3};
        QTest::addRow("%s one register by 16", name)
            << kind << "one register (16)" << 16 << 400040u << QList<quint16>{7};
        QTest::addRow("%s int8 -1", name) << kind << "int8 -1" << 6 << 400050u << QList<quint16>{0x00FF};
        QTest::addRow("%s int16 -1", name) << kind << "int16 -1" << 6 << 400051u << QList<quint16>{0xFFFF};
        QTest::addRow("%s double", name)
            << kind << "double" << 16 << 400060u << QList<quint16>{0x4035, 0x8000, 0x0000, 0x0000};
    }
}

void tst_Modbuser::writesReachTheDevice()
{
    QFETCH(LinkKind, kind);
    QFETCH(QString, operation);
    QFETCH(int, function);
    QFETCH(quint32, address);
    QFETCH(QList<quint16>, registers);

    QMap<QString, Operation> ops = operations();
    ops[QStringLiteral("one register (16)")] = [](Modbuser &m) {
        return QVariant(m.writeRegisters(400040, ModbusBytes::fromUInt16(7)));
    };
    ops[QStringLiteral("int8 -1")] = [](Modbuser &m) { return QVariant(m.writeInt8(400050, -1)); };
    ops[QStringLiteral("int16 -1")] = [](Modbuser &m) { return QVariant(m.writeInt16(400051, -1)); };
    ops[QStringLiteral("double")] = [](Modbuser &m) { return QVariant(m.writeDouble(400060, 21.5)); };

    Link link(kind);
    QVERIFY(link.isReady());
    QCOMPARE(link.run(ops.value(operation)), QVariant(true));
    QCOMPARE(int(link.device().lastFunction), function);
    for (int i = 0; i < registers.size(); ++i)
        QCOMPARE(link.device().registers.value(address + quint32(i)), registers.at(i));
}

void tst_Modbuser::registersCountMismatchLeavesOutputUntouched()
{
    Link link(LinkKind::Loopback);
    QVERIFY(link.isReady());
    QObject::connect(&link.server(), &Modbuser::onReadRegisters, &link.server(),
                     [](quint32, quint16, ModbusBytes &out, ModbusTranslateOptions &, bool &) {
                         // The device handler below has filled 3 registers; this one drops one.
                         out.removeLast(2);
                     });
    presetDevice(link.device());

    ModbusBytes out = ModbusBytes::fromHex("CAFE");
    const bool ok = link.run([&out](Modbuser &m) { return m.readRegisters(400011, 3, out); });
    QVERIFY(!ok);
    QCOMPARE(hex(out), QStringLiteral("ca fe"));
    const QString error = link.client().errorString();
    QVERIFY2(error.startsWith(QLatin1String(
                 "received registers count (2) doesn't equal requested registers count (3). \n Requested packet: \n ")),
             qPrintable(error));
    QVERIFY(error.contains(QLatin1String(" \n AnswerPacket: \n ")));
}

void tst_Modbuser::exceptionMessages_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("oneLineAnswer");
    QTest::addColumn<bool>("withRequest");

    QTest::newRow("readRegisters") << "read holding (3)" << true << true;
    QTest::newRow("readFile") << "read file (68)" << true << true;
    QTest::newRow("writeRegister") << "write single (6)" << false << false;
    QTest::newRow("writeRegisters") << "write multiple (16)" << false << false;
    QTest::newRow("getReport") << "device name (17)" << false << false;
    QTest::newRow("writeFile") << "write file (69)" << false << false;
    QTest::newRow("records") << "index records (65)" << false << false;
    QTest::newRow("readArchPresence") << "index labels (66)" << true << false;
}

void tst_Modbuser::exceptionMessages()
{
    QFETCH(QString, operation);
    QFETCH(bool, oneLineAnswer);
    QFETCH(bool, withRequest);

    Link link(LinkKind::Loopback);
    QVERIFY(link.isReady());
    link.device().answer = Answer::Exception;
    link.device().exception = TavrexBus::SlaveDeviceBusy;
    QVERIFY(!link.run(operations().value(operation)).isValid());

    const QString error = link.client().errorString();
    QVERIFY(error.startsWith(QLatin1String("received exception packet: ")));
    QVERIFY(error.contains(QLatin1String("exception code: slave device busy")));
    QCOMPARE(error.contains(QLatin1String("; problem request packet: ")), withRequest);
    const QString afterPrefix = error.mid(int(strlen("received exception packet: ")));
    QCOMPARE(!afterPrefix.contains(QLatin1Char('\n')), oneLineAnswer);
}

void tst_Modbuser::generalArchiveHandlerComesFirst()
{
    Link link(LinkKind::Loopback);
    QVERIFY(link.isReady());
    int typedCalls = 0;
    QObject::connect(&link.server(), &Modbuser::onReadIndexArchRecords, &link.server(), [&typedCalls] { ++typedCalls; });
    TavrexBus::ArchType seenType = TavrexBus::TimeArch;
    QObject::connect(&link.server(), &Modbuser::onReadArchRecords, &link.server(),
                     [&seenType](quint16, quint32 label, TavrexBus::ArchDirection, quint16,
                                 QList<ModbusBytes> &out, ModbusTranslateOptions &, TavrexBus::ArchType type,
                                 bool &handled) {
                         seenType = type;
                         out.append(ModbusBytes::fromUInt32(label * 10));
                         handled = true;
                     });
    QList<ModbusBytes> records;
    QVERIFY(link.run([&records](Modbuser &m) { return m.readIndexArchRecords(1, 4, 1, records); }));
    QCOMPARE(joinedHex(records), QStringLiteral("00 00 00 28"));
    QCOMPARE(seenType, TavrexBus::IndexArch);
    QCOMPARE(typedCalls, 0);
}

void tst_Modbuser::timePresenceAnswersCarrySeconds()
{
    Link link(LinkKind::Loopback);
    QVERIFY(link.isReady());
    ModbusBytes labels;
    QVERIFY(link.run([&labels](Modbuser &m) {
        return m.readArchPresence(2, TavrexBus::archLabelToSeconds(LabelTime), TavrexBus::TimeArch, labels,
                                  TavrexBus::Forward, 2);
    }));
    QCOMPARE(labels.size(), 8);
    QCOMPARE(labels.toUInt32(0), TavrexBus::archLabelToSeconds(LabelTime));
    QCOMPARE(labels.toUInt32(4), TavrexBus::archLabelToSeconds(LabelTime) + 3600);
}

void tst_Modbuser::secondAnswererIsRefused()
{
    Link link(LinkKind::Loopback);
    QVERIFY(link.isReady());
    presetDevice(link.device());
    // A second dispatcher on the same translator finds the answer slot already filled.
    QObject::connect(&link.server().translator(), &ModbusTranslator::packetRequestReceived, &link.server(),
                     &Modbuser::onPacketRequestReceived);
    QSignalSpy serverErrors(&link.server(), &ErrObject::error);
    quint16 value = 0;
    QVERIFY(link.run([&value](Modbuser &m) { return m.readRegister(400011, value); }));
    QCOMPARE(value, quint16(0x0101));
    QCOMPARE(serverErrors.count(), 1);
    QCOMPARE(serverErrors.first().first().toString(),
             QStringLiteral("somebody else has been answered for this modbus request"));
}

void tst_Modbuser::requestsCarryTheDeviceAddress()
{
    for (LinkKind kind : {LinkKind::Loopback, LinkKind::Serial}) {
        Link link(kind);
        QVERIFY(link.isReady());
        presetDevice(link.device());
        link.client().setDeviceAddress(17);
        quint16 value = 0;
        QVERIFY2(link.run([&value](Modbuser &m) { return m.readRegister(400011, value); }),
                 qPrintable(link.client().errorString()));
        QCOMPARE(link.device().lastUnit, quint8(17));
        ModbusBytes file;
        QVERIFY(link.run([&file](Modbuser &m) { return m.readFile(3, 0, 1, file); }));
        QCOMPARE(link.device().lastUnit, quint8(17));
    }
}

void tst_Modbuser::vetoedPacketsFail_data()
{
    QTest::addColumn<bool>("onSending");
    QTest::addColumn<QString>("message");
    QTest::newRow("sending") << true << "outcoming packet was blocked by dispatcher(s)";
    QTest::newRow("receiving") << false << "answer was blocked by dispatcher(s)";
}

void tst_Modbuser::vetoedPacketsFail()
{
    QFETCH(bool, onSending);
    QFETCH(QString, message);

    Link link(LinkKind::Loopback);
    QVERIFY(link.isReady());
    presetDevice(link.device());
    const auto veto = [](const ModbusPacket &, const ModbusTarget *, bool &allow) { allow = false; };
    ModbusTranslator *translator = &link.client().translator();
    if (onSending)
        QObject::connect(translator, &ModbusTranslator::packetSending, translator, veto, Qt::DirectConnection);
    else
        QObject::connect(translator, &ModbusTranslator::packetReceiving, translator, veto, Qt::DirectConnection);
    quint16 value = 0;
    QVERIFY(!link.run([&value](Modbuser &m) { return m.readRegister(400011, value); }));
    QCOMPARE(link.client().errorString(), message);
    QCOMPARE(link.device().lastFunction == TavrexBus::ReadHoldingRegisters, !onSending);
}

void tst_Modbuser::readArchRecordsSplitsIntoBlocks()
{
    Link link(LinkKind::Loopback);
    QVERIFY(link.isReady());
    QObject::connect(&link.server(), &Modbuser::onReadArchRecords, &link.server(),
                     [](quint16, quint32, TavrexBus::ArchDirection, quint16 count, QList<ModbusBytes> &out,
                        ModbusTranslateOptions &, TavrexBus::ArchType, bool &handled) {
                         for (int i = 0; i < count; ++i)
                             out.append(ModbusBytes::fromSize(10, uchar(i)));
                         handled = true;
                     });
    ModbusBytesArray blocks;
    const int n = link.run([&blocks](Modbuser &m) {
        return m.readArchRecords(1, 0, TavrexBus::Func67, TavrexBus::IndexArch, blocks, TavrexBus::Forward, 4);
    });
    QCOMPARE(n, 4);
    QCOMPARE(blocks.size(), 4);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(blocks.at(i), ModbusBytes::fromSize(10, uchar(i)));
}

void tst_Modbuser::noClientTransport()
{
    Modbuser modbuser;
    quint16 value = 0;
    QVERIFY(!modbuser.readRegister(400001, value));
    QCOMPARE(modbuser.errorString(), QStringLiteral("sendAndReceivePacket: can't find default client transport"));
    QCOMPARE(modbuser.toString(true), QStringLiteral("Modbuser; "));
}

namespace {

ModbusBytes rtuFrame(const char *hexFrame)
{
    ModbusBytes frame = ModbusBytes::fromHex(hexFrame);
    frame.appendUInt16(qChecksumModbus(frame));
    return frame;
}

} // namespace

void tst_Modbuser::foreignAnswersAreRejected_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("error");

    const ModbusBytes good = rtuFrame("0103040001 0002");
    ModbusBytes badCrc = good;
    std::swap(badCrc[badCrc.size() - 1], badCrc[badCrc.size() - 2]);
    QTest::newRow("other function") << QByteArray(rtuFrame("0104040001 0002"))
                                    << "received answer that doesn't belong to the request: ";
    QTest::newRow("other device") << QByteArray(rtuFrame("0203040001 0002"))
                                  << "received answer that doesn't belong to the request: ";
    QTest::newRow("wrong count") << QByteArray(rtuFrame("01030200 01"))
                                 << "received registers count (1) doesn't equal requested registers count (2).";
    QTest::newRow("bad crc") << QByteArray(badCrc) << "ModbusRTUParser parse error: crc checksum error in bytes: ";
    QTest::newRow("exception") << QByteArray(rtuFrame("018302")) << "received exception packet: ";
    QTest::newRow("other packet class") << QByteArray(rtuFrame("0111034100FF")) << "";
}

void tst_Modbuser::foreignAnswersAreRejected()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, error);

    PtyPair device;
    QVERIFY(device.isValid());
    ModbusSerialClient transport;
    transport.setPort(device.portName());
    QVERIFY(transport.connectTransport());
    ClientThread thread(transport);
    Modbuser &client = thread.client();

    // The device answers the first request with the frame under test, the second one properly.
    QByteArray requests;
    std::thread peer([&] {
        for (const QByteArray &reply : {answer, QByteArray(rtuFrame("0103040001 0002"))}) {
            const QByteArray request = device.readExactly(8, 5000);
            requests += request;
            if (request.size() == 8)
                device.write(reply);
        }
    });
    ModbusBytes out = ModbusBytes::fromHex("CAFE");
    const bool first = runOn(client, [&out](Modbuser &m) { return m.readRegisters(400001, 2, out); });
    const QString firstError = client.errorString();
    const bool second = runOn(client, [&out](Modbuser &m) { return m.readRegisters(400001, 2, out); });
    peer.join();

    QVERIFY(!first);
    if (!error.isEmpty())
        QVERIFY2(firstError.startsWith(error), qPrintable(firstError));
    QVERIFY2(second, qPrintable(client.errorString()));
    QCOMPARE(hex(out), QStringLiteral("00 01 00 02"));
    QCOMPARE(hex(requests), QStringLiteral("01 03 00 00 00 02 c4 0b 01 03 00 00 00 02 c4 0b"));
}

QTEST_GUILESS_MAIN(tst_Modbuser)
#include "tst_modbuser.moc"
