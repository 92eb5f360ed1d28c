#include "freeport.h"
#include "metersimulator.h"
#include "programrun.h"

#include <TavrexBus1/modbuser.h>
#include <TavrexBus1/modbustcpclient.h>
#include <TavrexBus1/modbustcpserver.h>

#include <QtCore/QProcess>
#include <QtCore/QRegularExpression>
#include <QtCore/QStandardPaths>
#include <QtTest/QTest>

#include <memory>

namespace {

const QString python = QStringLiteral("/usr/bin/python3");
const QString peers = QStringLiteral(TAVREX_TCP_PEERS);

bool pymodbusInstalled()
{
    QProcess probe;
    probe.start(python, { QStringLiteral("-c"), QStringLiteral("import pymodbus") });
    return probe.waitForFinished(20000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

} // namespace

class tst_ModbusTcpInterop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Holding registers 400001-400010 hold 0x0100 + n, input registers 300001-300010 hold 0x0200 + n;
    // anything else is an illegal data address.
    void init()
    {
        QStringList registers;
        for (int n = 0; n < 10; ++n) {
            registers << QStringLiteral(R"({"address": %1, "value": %2})").arg(400001 + n).arg(0x0100 + n)
                      << QStringLiteral(R"({"address": %1, "value": %2})").arg(300001 + n).arg(0x0200 + n);
        }
        m_meter = std::make_unique<MeterSimulator>();
        QString error;
        QVERIFY2(m_meter->load(QStringLiteral(R"({"registers": [%1]})").arg(registers.join(u',')).toUtf8(), &error),
                 qPrintable(error));
        m_units.clear();
        connect(m_meter.get(), &MeterSimulator::served, this,
                [this](const QString &line) { m_units.append(line.section(u' ', 1, 1).toInt()); });
        m_modbuser = std::make_unique<Modbuser>();
        m_meter->serve(*m_modbuser);
        m_server = m_modbuser->addModbusTcpServer(QHostAddress::LocalHost, 0);
        QVERIFY2(m_server->connectTransport(false), qPrintable(m_server->errorString()));
    }

    void cleanup()
    {
        m_modbuser.reset();
        m_meter.reset();
    }

    // Each peer talks to unit 17 on the port given for PORT; the Python and libmodbus peers read
    // back what they wrote.
    void independentClientsTalkToOurServer_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("expected");

        const QString mbpoll = QStandardPaths::findExecutable(QStringLiteral("mbpoll"));
        const auto poll = [](const QStringList &options, const QStringList &values = {}) {
            return QStringList{ "-m", "tcp", "-a", "17", "-1", "-o", "5", "-p", "PORT" } + options
                + QStringList{ "127.0.0.1" } + values;
        };
        if (!mbpoll.isEmpty()) {
            QTest::newRow("mbpoll read input (4)") << mbpoll << poll({ "-t", "3:hex", "-r", "2", "-c", "2" })
                                                   << QStringList{ "[2]: \t0x0201", "[3]: \t0x0202" };
            QTest::newRow("mbpoll write several (16)") << mbpoll << poll({ "-t", "4", "-r", "7" }, { "1", "2", "777" })
                                                       << QStringList{ "Written 3" };
        }
        const QStringList reads{ "read 3: BEEF 1111 2222 3333", "read 4: 0200 0201" };
        const QStringList target{ "127.0.0.1", "PORT", "17" };
        if (pymodbusInstalled())
            QTest::newRow("pymodbus") << python << QStringList{ peers + QStringLiteral("/pymodbus_client.py") } + target
                                      << reads + QStringList{ "read unmapped: exception 2" };
#ifdef LIBMODBUS_CLIENT
        QTest::newRow("libmodbus") << QStringLiteral(LIBMODBUS_CLIENT) << target
                                   << reads + QStringList{ "read unmapped: Illegal data address" };
#endif
    }

    void independentClientsTalkToOurServer()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, expected);
        arguments.replaceInStrings(QRegularExpression(QStringLiteral("^PORT$")), QString::number(m_server->port()));
        // The peer runs to its end while this thread keeps serving.
        QProcess peer;
        peer.setProcessChannelMode(QProcess::MergedChannels);
        peer.start(program, arguments);
        QTRY_VERIFY_WITH_TIMEOUT(peer.state() == QProcess::NotRunning, 60000);
        const QString output = QString::fromLocal8Bit(peer.readAll());
        QVERIFY2(peer.exitStatus() == QProcess::NormalExit && peer.exitCode() == 0, qPrintable(output));
        for (const QString &line : expected)
            QVERIFY2(output.contains(line), qPrintable(output));
        QVERIFY(!m_units.isEmpty());
        QVERIFY(std::all_of(m_units.cbegin(), m_units.cend(), [](int unit) { return unit == 17; }));
    }

    void ourClientTalksToPymodbusServer()
    {
        if (!pymodbusInstalled())
            QSKIP("pymodbus is not installed for /usr/bin/python3");
        const quint16 port = freePort();
        QProcess peer;
        peer.setStandardErrorFile(QProcess::nullDevice());
        peer.start(python, { peers + QStringLiteral("/pymodbus_server.py"), QString::number(port) });
        QVERIFY(peer.waitForStarted(10000));
        auto stopPeer = qScopeGuard([&peer] {
            peer.kill();
            peer.waitForFinished();
        });
        QTRY_VERIFY_WITH_TIMEOUT(
            [port] {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, port);
                return probe.waitForConnected(200);
            }(),
            30000);

        Modbuser modbuser;
        ModbusTcpClient *client = modbuser.addModbusTcpClient(QHostAddress::LocalHost, port);
        client->setAutoReconnect(false);
        client->setReadAnswerTimeout(3000);
        modbuser.setDeviceAddress(17);
        QVERIFY2(client->connectTransport(false), qPrintable(client->errorString()));

        // Functions are the engine interop suite's; here the frames around them.
        ModbusBytes bytes;
        QVERIFY2(modbuser.readRegisters(300002, 2, bytes), qPrintable(modbuser.errorString()));
        QCOMPARE(bytes, ModbusBytes(QByteArray::fromHex("02010202")));
        QVERIFY2(modbuser.writeRegisters(400002, ModbusBytes(QByteArray::fromHex("111122223333"))),
                 qPrintable(modbuser.errorString()));
        QVERIFY(!modbuser.readRegisters(400901, 1, bytes));
        QVERIFY2(modbuser.errorString().startsWith(QLatin1String("received exception packet: ")),
                 qPrintable(modbuser.errorString()));

        // Its report has no zero byte after the name (text and a run indicator): the CLI still shows the text.
        const ProgramRun report = runCli({ "report", "--url", QStringLiteral("tcp://127.0.0.1:%1").arg(port) });
        QVERIFY2(report.out.startsWith("name: (none: no zero byte ends a name in the report)\ntext: Pymodbus\n"),
                 qPrintable(report.out + report.err));
    }

private:
    std::unique_ptr<MeterSimulator> m_meter;
    std::unique_ptr<Modbuser> m_modbuser;
    ModbusTcpServer *m_server = nullptr;
    QList<int> m_units;
};

QTEST_GUILESS_MAIN(tst_ModbusTcpInterop)
#include "tst_modbustcpinterop.moc"
