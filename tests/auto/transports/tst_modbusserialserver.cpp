#include "ptypair.h"

#include <TavrexBus1/modbusbytes.h>
#include <TavrexBus1/modbusserialserver.h>

#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

namespace {

ModbusBytes frame(const char *hex)
{
    ModbusBytes bytes = ModbusBytes::fromModbusString(QString::fromLatin1(hex));
    bytes.appendUInt16(qChecksumModbus(bytes, 0, 0));
    return bytes;
}

} // namespace

class tst_ModbusSerialServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void requestOnLineIsAnswered_data();
    void requestOnLineIsAnswered();
    void unansweredRequestWritesNothing();
    void requestRightAfterAnAnswerIsServed();
    void serverRefusesForeignTarget();
};

void tst_ModbusSerialServer::requestOnLineIsAnswered_data()
{
    QTest::addColumn<ModbusBytes>("request");
    QTest::addColumn<int>("cut");
    QTest::newRow("read registers, whole") << frame("01 03 00 00 00 01") << 0;
    QTest::newRow("read registers, split") << frame("01 03 00 00 00 01") << 3;
    QTest::newRow("write registers, split") << frame("11 10 00 01 00 02 04 00 0A 01 02") << 7;
    QTest::newRow("report slave id") << frame("05 11") << 0;
}

void tst_ModbusSerialServer::requestOnLineIsAnswered()
{
    QFETCH(ModbusBytes, request);
    QFETCH(int, cut);
    PtyPair pty;
    QVERIFY(pty.isValid());
    ModbusSerialServer server(pty.portName());
    server.setReadTimeout(50);
    // Generous, so that a loaded machine cannot stretch the split into a frame gap.
    server.setByteTimeout(1000);
    QVERIFY2(server.connectTransport(false), qPrintable(server.errorString()));

    const ModbusBytes answer = frame("01 03 02 00 2A");
    QList<ModbusBytes> requests;
    connect(&server, &Transport::requestBytesReceived, this,
            [&](ModbusBytes bytes, const Target *target, ModbusBytes *answerBytes) {
                QCOMPARE(target, server.target());
                requests.append(bytes);
                *answerBytes = answer;
            });
    QSignalSpy received(&server, &Transport::bytesReceived);

    QVERIFY(pty.write(request.left(cut)));
    QVERIFY(pty.write(request.mid(cut)));
    QTRY_COMPARE(requests.count(), 1);
    QCOMPARE(requests.first(), request);
    QCOMPARE(received.count(), 1);
    QCOMPARE(pty.readExactly(answer.size(), 5000), QByteArray(answer));
}

void tst_ModbusSerialServer::unansweredRequestWritesNothing()
{
    PtyPair pty;
    ModbusSerialServer server(pty.portName());
    server.setReadTimeout(50);
    QVERIFY(server.connectTransport(false));
    int requests = 0;
    connect(&server, &Transport::requestBytesReceived, this, [&](ModbusBytes, const Target *, ModbusBytes *answer) {
        if (++requests == 2)
            *answer = frame("02 03 02 00 01");
    });

    QVERIFY(pty.write(frame("01 03 00 00 00 01")));
    QTRY_COMPARE(requests, 1);
    QVERIFY(pty.write(frame("02 03 00 00 00 01")));
    QTRY_COMPARE(requests, 2);
    // The first bytes the device sees are those of the second answer.
    QCOMPARE(pty.readExactly(7, 5000), QByteArray(frame("02 03 02 00 01")));
}

void tst_ModbusSerialServer::requestRightAfterAnAnswerIsServed()
{
    PtyPair pty;
    ModbusSerialServer server(pty.portName());
    // Long enough that a server still listening after its answer would swallow the next request.
    server.setReadTimeout(60000);
    QVERIFY(server.connectTransport(false));
    int requests = 0;
    connect(&server, &Transport::requestBytesReceived, this, [&](ModbusBytes, const Target *, ModbusBytes *answer) {
        ++requests;
        *answer = frame("01 03 02 00 2A");
    });

    for (int i = 1; i <= 3; ++i) {
        QVERIFY(pty.write(frame("01 03 00 00 00 01")));
        QTRY_COMPARE(requests, i);
        QCOMPARE(pty.readExactly(7, 5000), QByteArray(frame("01 03 02 00 2A")));
    }
}

void tst_ModbusSerialServer::serverRefusesForeignTarget()
{
    PtyPair pty;
    ModbusSerialServer server(pty.portName());
    QVERIFY(server.connectTransport(false));
    ModbusTarget stranger;
    QString error;
    QVERIFY(!server.sendBytes(frame("01 03 02 00 2A"), &stranger, nullptr, &error));
    QCOMPARE(error, QStringLiteral("incorrect target to send bytes"));
    QCOMPARE(server.busType(), TavrexBus::ServerBus);
    QCOMPARE(server.defaultTarget(), server.target());
}

QTEST_MAIN(tst_ModbusSerialServer)
#include "tst_modbusserialserver.moc"
