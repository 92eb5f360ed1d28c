#include "ptybridge.h"

#include <QtCore/QProcess>
#include <QtCore/QRegularExpression>
#include <QtCore/QTemporaryFile>
#include <QtNetwork/QTcpServer>
#include <QtTest/QTest>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run runCli(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(TAVREXBUS_CLI), arguments);
    Run run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

// The simulator and the command-line client end to end, over Modbus/TCP on 127.0.0.1.
class tst_TavrexbusSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void cliReadsTheSimulator_data();
    void cliReadsTheSimulator();
    void writtenValueReadsBack();
    void countersAdvanceWhilePolling();
    void unreachableDeviceFails();
    void customMapIsServed();
    void brokenMapIsRefused();
    void terminateStopsCleanly();
    void cliReadsTheSimulatorOverASerialLine();

private:
    bool startSimulator(QProcess &process, const QStringList &arguments, QString &url);

    QProcess m_sim;
    QString m_url;
};

bool tst_TavrexbusSim::startSimulator(QProcess &process, const QStringList &arguments, QString &url)
{
    const bool tcp = !arguments.contains(QStringLiteral("--no-tcp"));
    process.start(QStringLiteral(TAVREXBUS_SIM),
                  (tcp ? QStringList{ QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0") } : QStringList()) + arguments);
    if (!process.waitForStarted(10000))
        return false;
    static const QRegularExpression ready(QStringLiteral("^listening on ((tcp|rtu)://\\S+)"));
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(20000))
            return false;
    }
    const QRegularExpressionMatch match = ready.match(QString::fromUtf8(process.readLine()));
    url = match.captured(1);
    return match.hasMatch();
}

void tst_TavrexbusSim::initTestCase()
{
    QVERIFY2(startSimulator(m_sim, {}, m_url), qPrintable(m_sim.readAllStandardError()));
}

void tst_TavrexbusSim::cleanupTestCase()
{
    m_sim.terminate();
    if (!m_sim.waitForFinished(10000))
        m_sim.kill();
    m_sim.waitForFinished();
}

void tst_TavrexbusSim::cliReadsTheSimulator_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");

    QTest::newRow("holding uint16") << QStringList{ "read", "400001", "uint16", "2" } << "400001: 1\n400002: 60\n";
    QTest::newRow("holding int16") << QStringList{ "read", "400003", "int16" } << "400003: -5\n";
    QTest::newRow("holding double") << QStringList{ "read", "400006", "double" } << "400006: 1.000125\n";
    QTest::newRow("holding string") << QStringList{ "read", "400010", "string", "8" } << "400010: Boiler house 2\n";
    QTest::newRow("input string") << QStringList{ "read", "300021", "string", "4" } << "300021: TVX-H200\n";
    QTest::newRow("input hex") << QStringList{ "read", "300021", "hex", "2" } << "300021: 54 56 58 2D\n";
    QTest::newRow("unit 17") << QStringList{ "read", "400002", "--unit", "17" } << "400002: 60\n";
    QTest::newRow("report") << QStringList{ "report" }
                            << "name: TavrexBus simulated heat meter 1.4.2\n"
                               "report: 54 61 76 72 65 78 42 75 73 20 73 69 6D 75 6C 61 74 65 64 20 68 65 61 74 20 6D "
                               "65 74 65 72 20 31 2E 34 2E 32 00\n";
    QTest::newRow("file") << QStringList{ "file", "1", "0", "18", "string" }
                          << "file 1 0: serial=TVX2024-000917;hw=3;fw=1.4.2\n";
    QTest::newRow("index labels") << QStringList{ "labels", "0" } << "first: 1\nlast: 200\n";
    QTest::newRow("index records") << QStringList{ "archive", "0", "5", "--records", "2" }
                                   << "record: 00 00 00 05 44 7A A0 00 3F 00 00 00\n"
                                      "record: 00 00 00 06 44 7A C0 00 3F 19 99 9A\n";
}

void tst_TavrexbusSim::cliReadsTheSimulator()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    const Run run = runCli(arguments << QStringLiteral("--url") << m_url);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, expected);
}

void tst_TavrexbusSim::writtenValueReadsBack()
{
    Run run = runCli({ "write", "400004", "float", "0.75", "--url", m_url });
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    run = runCli({ "read", "400004", "float", "--url", m_url });
    QCOMPARE(run.out, QStringLiteral("400004: 0.75\n"));
    // A negative value is a value, not an option.
    run = runCli({ "write", "400003", "int16", "-7", "--url", m_url });
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    run = runCli({ "read", "400003", "int16", "--url", m_url });
    QCOMPARE(run.out, QStringLiteral("400003: -7\n"));

    run = runCli({ "write", "400500", "uint16", "1", "--url", m_url });
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QLatin1String("illegal data address")), qPrintable(run.err));
    run = runCli({ "read", "309999", "--url", m_url });
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.startsWith(QLatin1String("tavrexbus: received exception packet: ")), qPrintable(run.err));
}

void tst_TavrexbusSim::countersAdvanceWhilePolling()
{
    const Run run = runCli({ "read", "300003", "uint32", "--interval", "1200", "--repeat", "2", "--url", m_url });
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.at(1).mid(8).toUInt() > lines.at(0).mid(8).toUInt(), qPrintable(run.out));
    const Run clock = runCli({ "read", "300011", "datetime", "--url", m_url });
    QVERIFY2(QRegularExpression(QStringLiteral("^300011: \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n$")).match(clock.out).hasMatch(),
             qPrintable(clock.out));
}

void tst_TavrexbusSim::unreachableDeviceFails()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const QString url = QStringLiteral("tcp://127.0.0.1:%1").arg(probe.serverPort());
    probe.close();
    Run run = runCli({ "read", "400001", "--url", url, "--timeout", "500" });
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.startsWith(QLatin1String("tavrexbus: can't connect to: 127.0.0.1, ")), qPrintable(run.err));
    run = runCli({ "read", "400001", "--url", "udp://nowhere" });
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QLatin1String("is not a device URL")), qPrintable(run.err));
    run = runCli({ "read", "123", "--url", m_url });
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QLatin1String("is not a register number")), qPrintable(run.err));
}

void tst_TavrexbusSim::customMapIsServed()
{
    QTemporaryFile map;
    QVERIFY(map.open());
    map.write(R"({"name": "Test meter", "registers": [{"address": 400100, "type": "int32", "value": -70000}]})");
    map.close();
    QProcess sim;
    QString url;
    QVERIFY2(startSimulator(sim, { QStringLiteral("--map"), map.fileName() }, url), qPrintable(sim.readAllStandardError()));
    const Run run = runCli({ "read", "400100", "int32", "--url", url });
    const Run name = runCli({ "report", "--url", url });
    sim.terminate();
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(run.out, QStringLiteral("400100: -70000\n"));
    QVERIFY(name.out.startsWith(QLatin1String("name: Test meter\n")));
}

void tst_TavrexbusSim::brokenMapIsRefused()
{
    QTemporaryFile map;
    QVERIFY(map.open());
    map.write(R"({"registers": [{"address": 123, "type": "uint16"}]})");
    map.close();
    QProcess sim;
    sim.start(QStringLiteral(TAVREXBUS_SIM), { QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0"),
                                               QStringLiteral("--map"), map.fileName() });
    QVERIFY(sim.waitForFinished(20000));
    QCOMPARE(sim.exitCode(), 1);
    QVERIFY2(sim.readAllStandardError().contains("register address 123 is not a register number"), "message");
}

void tst_TavrexbusSim::terminateStopsCleanly()
{
    QProcess sim;
    QString url;
    QVERIFY(startSimulator(sim, {}, url));
    sim.terminate();
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
}

void tst_TavrexbusSim::cliReadsTheSimulatorOverASerialLine()
{
    PtyBridge line;
    if (!line.isValid())
        QSKIP("pseudo-terminals are not available");
    QProcess sim;
    QString url;
    QVERIFY2(startSimulator(sim, { QStringLiteral("--no-tcp"), QStringLiteral("--serial"), line.portA(),
                                   QStringLiteral("--baud"), QStringLiteral("115200") },
                            url),
             qPrintable(sim.readAllStandardError()));
    QCOMPARE(url, QStringLiteral("rtu://%1?baud=115200").arg(line.portA()));
    const QString client = QStringLiteral("rtu://%1?baud=115200").arg(line.portB());
    const Run read = runCli({ "read", "400001", "uint16", "2", "--url", client, "--unit", "3" });
    const Run report = runCli({ "report", "--url", client });
    sim.terminate();
    QVERIFY(sim.waitForFinished(10000));
    QVERIFY2(read.exitCode == 0, qPrintable(read.err));
    QCOMPARE(read.out, QStringLiteral("400001: 1\n400002: 60\n"));
    QVERIFY2(report.out.startsWith(QLatin1String("name: TavrexBus simulated heat meter 1.4.2\n")), qPrintable(report.err));
}

QTEST_GUILESS_MAIN(tst_TavrexbusSim)
#include "tst_tavrexbussim.moc"
