#include "programrun.h"

#include <TavrexBus1/modbusclient.h>
#include <TavrexBus1/modbusserialclient.h>
#include <TavrexBus1/modbustcpclient.h>
#include <TavrexBus1/modbusuint16.h>

#include <QtCore/QUrl>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

#include <memory>

namespace {

constexpr int AnswerTimeout = 500;

// A client with one holding register item, on the link the simulator's ready line names.
struct MeterClient
{
    std::unique_ptr<ModbusTransport> link;
    ModbusClient client;
    ModbusUInt16 item{ 400100 };

    bool open(const QString &url)
    {
        const QUrl parsed(url);
        if (parsed.scheme() == QLatin1String("tcp")) {
            auto *tcp = new ModbusTcpClient(QHostAddress(parsed.host()), parsed.port());
            tcp->setReadAnswerTimeout(AnswerTimeout);
            link.reset(tcp);
        } else {
            auto *serial = new ModbusSerialClient;
            serial->setPort(parsed.path());
            serial->setBaudRate(115200);
            serial->setReadTimeout(AnswerTimeout);
            link.reset(serial);
        }
        client.setTransport(link.get());
        item.setClient(&client);
        return link->connectTransport(false);
    }

    ~MeterClient()
    {
        item.setClient(nullptr);
        client.setTransport(nullptr);
    }
};

// The lines the simulator printed so far, gathered as they come.
QStringList linesMatching(SimulatorProcess &sim, QString &printed, const QString &pattern)
{
    printed += QString::fromUtf8(sim.readAllStandardOutput());
    return printed.split(QLatin1Char('\n')).filter(QRegularExpression(pattern));
}

} // namespace

// The client against the simulator's faults, over Modbus/TCP and a pseudo-terminal: a fault costs
// the exchange it hits and no other, with the message of its kind, and a write the client reports
// failed may or may not have been carried out, but one it reports done is there, once. (Delays within
// the answer timeout, which cost nothing, are the soak run's to check.)
class tst_ClientFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void oneFaultCostsOneExchange_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("carriedOut");

        const QString timedOut = QStringLiteral("^error sending/receiving bytes: .+");
        const QString tcpBroken
            = QStringLiteral("^(error sending/receiving bytes: |ModbusTCPParser parse error: |can't find "
                             "needed parser for bytes: |received answer that doesn't belong to the "
                             "request: |received exception packet: )");
        const QString rtuBroken
            = QStringLiteral("^(ModbusRTUParser parse error: crc checksum error|can't find needed parser "
                             "for bytes: )");
        const QString refused = QStringLiteral("^received exception packet: ");
        const QString rtuTimedOut = QStringLiteral("^read timeout$");
        QTest::newRow("tcp silent") << "tcp" << "silent every 2" << timedOut << true;
        QTest::newRow("tcp late") << "tcp" << "late every 2 800ms" << timedOut << true;
        QTest::newRow("tcp garble") << "tcp" << "garble every 2" << tcpBroken << true;
        QTest::newRow("tcp partial") << "tcp" << "partial every 2 800ms" << timedOut << true;
        QTest::newRow("tcp stray") << "tcp" << "stray every 2 3" << tcpBroken << true;
        QTest::newRow("tcp exception") << "tcp" << "exception every 2 6" << refused << false;
        QTest::newRow("tcp close") << "tcp" << "close every 2" << "^error sending/receiving bytes: .*closed" << true;
        QTest::newRow("rtu silent") << "rtu" << "silent every 2" << rtuTimedOut << true;
        QTest::newRow("rtu late") << "rtu" << "late every 2 700ms" << rtuTimedOut << true;
        QTest::newRow("rtu garble") << "rtu" << "garble every 2" << rtuBroken << true;
        QTest::newRow("rtu partial") << "rtu" << "partial every 2 100ms" << rtuBroken << true;
        QTest::newRow("rtu stray") << "rtu" << "stray every 2 3" << rtuBroken << true;
        QTest::newRow("rtu exception") << "rtu" << "exception every 2 6" << refused << false;
        QTest::newRow("rtu close") << "rtu" << "close every 2" << rtuTimedOut << true;
    }

    // Three writes-and-reads: the second request meets the fault, the third must succeed.
    void oneFaultCostsOneExchange()
    {
        QFETCH(QString, link);
        QFETCH(QString, rule);
        QFETCH(QString, failure);
        QFETCH(bool, carriedOut);
        SimulatorProcess sim;
        const QStringList where = link == QLatin1String("tcp") ? QStringList{ "--tcp", "127.0.0.1:0" }
                                                               : QStringList{ "--no-tcp", "--serial", "pty" };
        const QString url = sim.launch(where + QStringList{ "--faults", rule, "--seed", "7", "--verbose" });
        QVERIFY2(!url.isEmpty(), qPrintable(sim.readAllStandardError()));
        MeterClient meter;
        QVERIFY2(meter.open(url), qPrintable(meter.link->errorString()));
        QSignalSpy reconnected(meter.link.get(), &Transport::transportConnected);

        QVERIFY2(meter.item.writeSync(ModbusBytes::fromUInt16(0x1111)), qPrintable(meter.item.errorString()));
        QVERIFY(!meter.item.writeSync(ModbusBytes::fromUInt16(0x2222)));
        QVERIFY2(QRegularExpression(failure).match(meter.item.errorString()).hasMatch(),
                 qPrintable(meter.item.errorString()));
        if (rule.startsWith(QLatin1String("close")) && link == QLatin1String("tcp"))
            QTRY_COMPARE_WITH_TIMEOUT(reconnected.count(), 1, 10000);
        QVERIFY2(meter.item.readSync(), qPrintable(meter.item.errorString()));
        QCOMPARE(meter.item.value(), carriedOut ? 0x2222 : 0x1111);

        QString printed;
        QTRY_COMPARE(linesMatching(sim, printed, QStringLiteral("^unit 1 read 400100")).size(), 1);
        const QStringList faults = linesMatching(sim, printed, QStringLiteral("^fault "));
        QCOMPARE(faults.size(), 1);
        QVERIFY2(
            faults.first().startsWith(QStringLiteral("fault %1 #2, function 6: %2").arg(link, rule.section(' ', 0, 0))),
            qPrintable(faults.first()));
        QCOMPARE(linesMatching(sim, printed, QStringLiteral("write 400100: 11 11$")).size(), 1);
        QCOMPARE(linesMatching(sim, printed, QStringLiteral("write 400100: 22 22$")).size(), int(carriedOut));
    }

    // The same seed and the same requests give the same faults; another seed others.
    void seedRepeatsTheFaults()
    {
        const auto faultedRequests = [](const QString &seed) {
            SimulatorProcess sim;
            MeterClient meter;
            if (!meter.open(sim.launch({ "--faults", "exception 50%", "--seed", seed })))
                return QList<bool>();
            QList<bool> failed;
            for (int i = 0; i < 16; ++i)
                failed << !meter.item.readSync();
            return failed;
        };
        const QList<bool> first = faultedRequests(QStringLiteral("11"));
        QCOMPARE(first.size(), 16);
        QVERIFY(first.contains(true) && first.contains(false));
        QCOMPARE(faultedRequests(QStringLiteral("11")), first);
        QVERIFY(faultedRequests(QStringLiteral("12")) != first);
    }
};

QTEST_GUILESS_MAIN(tst_ClientFaults)
#include "tst_clientfaults.moc"
