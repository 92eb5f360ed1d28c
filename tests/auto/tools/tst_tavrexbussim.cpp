#include "programrun.h"
#include "ptybridge.h"

#include <QtCore/QTemporaryDir>
#include <QtCore/QTemporaryFile>
#include <QtNetwork/QTcpServer>
#include <QtTest/QTest>

namespace {

// Starts the simulator on a map, which it reads before it listens.
QString launchWithMap(SimulatorProcess &sim, const QByteArray &json)
{
    QTemporaryFile map;
    if (!map.open() || map.write(json) != json.size())
        return QString();
    map.close();
    return sim.launch({ QStringLiteral("--map"), map.fileName() });
}

} // namespace

// The simulator and the command-line client end to end, over Modbus/TCP on 127.0.0.1.
class tst_TavrexbusSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        m_url = m_sim.launch({});
        QVERIFY2(!m_url.isEmpty(), qPrintable(m_sim.readAllStandardError()));
    }

    void cleanupTestCase()
    {
        m_sim.terminate();
        QVERIFY(m_sim.waitForFinished(10000));
        QCOMPARE(m_sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_sim.exitCode(), 0);
    }

    // Exit status 0 prints exactly the answer; 1 prints a message matching the pattern on standard error.
    void cliTalksToTheSimulator_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("expected");

        QTest::newRow("holding uint16") << QStringList{ "read", "400001", "uint16", "2" } << 0
                                        << "400001: 1\n400002: 60\n";
        QTest::newRow("unit 17") << QStringList{ "read", "400002", "--unit", "17" } << 0 << "400002: 60\n";
        QTest::newRow("report") << QStringList{ "report" } << 0
                                << "name: TVXH200 1.4.2\ndevice: TVXH200\nversion: 1.4.2\ntext: TVXH200 1.4.2\n"
                                   "report: 54 56 58 48 32 30 30 20 31 2E 34 2E 32 00\n";
        QTest::newRow("file") << QStringList{ "file", "1", "0", "18", "string" } << 0
                              << "file 1, registers 0-17 (36 bytes): serial=TVX2024-000917;hw=3;fw=1.4.2\n";
        QTest::newRow("index labels") << QStringList{ "labels", "0" } << 0 << "first: 1\nlast: 200\n";
        QTest::newRow("index records") << QStringList{ "archive", "0", "5", "--records", "2" } << 0
                                       << "record: 00 00 00 05 44 7A A0 00 3F 00 00 00\n"
                                          "record: 00 00 00 06 44 7A C0 00 3F 19 99 9A\n";
        QTest::newRow("index range") << QStringList{ "archive", "0", "--from", "5", "--to", "6" } << 0
                                     << "label  bytes\n5      00 00 00 05 44 7A A0 00 3F 00 00 00\n"
                                        "6      00 00 00 06 44 7A C0 00 3F 19 99 9A\n";
        QTest::newRow("range as CSV") << QStringList{ "archive", "0", "--from", "199", "--csv" } << 0
                                      << "label,bytes\n199,00 00 00 C7 44 89 70 00 41 9F 33 33\n"
                                         "200,00 00 00 C8 44 89 80 00 41 A0 00 00\n";
        QTest::newRow("function 65 without an end") << QStringList{ "archive", "0", "--function", "65" } << 1
                                                    << "^tavrexbus: function 65 .* give --to\n$";
        QTest::newRow("range of a missing archive") << QStringList{ "archive", "9", "--from", "1" } << 1
                                                    << "^tavrexbus: received exception packet: .*; stopped at 1 "
                                                       "after 0 records\n$";

        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const QString nobody = QStringLiteral("tcp://127.0.0.1:%1").arg(probe.serverPort());
        QTest::newRow("unreachable device") << QStringList{ "read", "400001", "--url", nobody, "--timeout", "500" } << 1
                                            << "^tavrexbus: can't connect to: 127\\.0\\.0\\.1, ";
        QTest::newRow("not a device URL") << QStringList{ "read", "400001", "--url", "udp://nowhere" } << 1
                                          << "is not a device URL";
        QTest::newRow("not a register") << QStringList{ "read", "123" } << 1 << "is not a register number";
        // An exception answer is told in one line, and in full with --verbose.
        QTest::newRow("refused write")
            << QStringList{ "write", "400500", "uint16", "1" } << 1
            << "^tavrexbus: write 400500: exception 2 \\(illegal data address\\) from unit 1, function 6, register 400500\n$";
        QTest::newRow("exception") << QStringList{ "read", "309999", "--unit", "5" } << 1
                                   << "^tavrexbus: read 309999: exception 2 \\(illegal data address\\) from unit 5, "
                                      "function 4, register 309999\n$";
        QTest::newRow("file exception") << QStringList{ "file", "9", "0", "1" } << 1
                                        << "^tavrexbus: file 9: exception 2 .* function 68, file 9, register 0\n$";
        QTest::newRow("exception in full") << QStringList{ "read", "309999", "--verbose" } << 1
                                           << "^tavrexbus: received exception packet: .*problem request packet: ";
    }

    void cliTalksToTheSimulator()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, expected);
        if (!arguments.contains(QStringLiteral("--url")))
            arguments << QStringLiteral("--url") << m_url;
        const ProgramRun run = runCli(arguments);
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
        if (exitCode == 0)
            QCOMPARE(run.out, expected);
        else
            QVERIFY2(QRegularExpression(expected).match(run.err).hasMatch(), qPrintable(run.err));
    }

    // A negative value is a value, not an option.
    void writtenValueReadsBack_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("value");
        QTest::newRow("float") << "400004" << "float" << "0.75";
        QTest::newRow("negative int16") << "400003" << "int16" << "-7";
    }

    void writtenValueReadsBack()
    {
        QFETCH(QString, address);
        QFETCH(QString, type);
        QFETCH(QString, value);
        const ProgramRun write = runCli({ "write", address, type, value, "--url", m_url });
        QVERIFY2(write.exitCode == 0, qPrintable(write.err));
        QCOMPARE(runCli({ "read", address, type, "--url", m_url }).out, QStringLiteral("%1: %2\n").arg(address, value));
    }

    // The simulator refuses reads over 125 and writes over 123 registers, so both must be split.
    void longTransfersAreSplit()
    {
        QString values;
        QString lines;
        for (int n = 0; n < 200; ++n) {
            values += QStringLiteral("%1 ").arg(n, 4, 16, QLatin1Char('0')).insert(2, QLatin1Char(' '));
            lines += QStringLiteral("%1: %2\n").arg(400100 + n).arg(n);
        }
        const ProgramRun write = runCli({ "write", "400100", "hex", values, "--url", m_url });
        QVERIFY2(write.exitCode == 0, qPrintable(write.err));
        const ProgramRun read = runCli({ "read", "400100", "uint16", "200", "--url", m_url });
        QVERIFY2(read.exitCode == 0, qPrintable(read.err));
        QCOMPARE(read.out, lines);
    }

    void countersAdvanceWhilePolling()
    {
        const ProgramRun run = runCli({ "read", "300003", "uint32", "--interval", "1200", "--repeat", "2", "--url", m_url });
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(1).mid(8).toUInt() > lines.at(0).mid(8).toUInt(), qPrintable(run.out));
    }

    // Archive rows come in label order; a long range tells its progress on standard error.
    void customMapIsServed()
    {
        SimulatorProcess sim;
        const QString url = launchWithMap(
            sim, R"({"name": "Test meter", "registers": [{"address": 400100, "type": "int32", "value": -70000}],)"
                 R"( "archives": [{"index": 4, "type": "time", "interval": "day", "generation": 2,)"
                 R"( "records": 1200, "last": "2024-03-31T00:00:00",)"
                 R"( "gaps": [["2024-03-10T00:00:00", "2024-03-11T00:00:00"]]}]})");
        QVERIFY2(!url.isEmpty(), qPrintable(sim.readAllStandardError()));
        QCOMPARE(runCli({ "read", "400100", "int32", "--url", url }).out, QStringLiteral("400100: -70000\n"));
        QVERIFY(runCli({ "report", "--url", url }).out.startsWith(QLatin1String("name: Test meter\n")));
        const ProgramRun run = runCli({ "archive", "4", "--time", "--generation", "2", "--csv", "--url", url });
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QStringList rows = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 1 + 1198);
        QVERIFY2(rows.at(0).startsWith("label,recordLabel,flowRateEsFlags,workTime,"), qPrintable(rows.at(0)));
        QVERIFY2(rows.at(1).startsWith("2020-12-18T00:00:00,2020-12-18T00:00:00,"), qPrintable(rows.at(1)));
        QCOMPARE(rows.filter(QRegularExpression("^2024-03-09T00:00:00,")).size(), 1);
        QCOMPARE(rows.filter(QRegularExpression("^2024-03-1[01]T")).size(), 0);
        QVERIFY2(rows.last().startsWith("2024-03-31T00:00:00,"), qPrintable(rows.last()));
        QCOMPARE(run.err, QStringLiteral("read 500 records\nread 1000 records\n"));
    }

    // A map the simulator cannot serve as written stops it with a message naming the fault.
    void brokenMapIsRefused_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("message");
        QTest::newRow("not a register") << QByteArray(R"({"registers": [{"address": 123}]})")
                                        << "register entry 1: address 123 is not a register number";
        QTest::newRow("misspelt key") << QByteArray(R"({"registers": [{"address": 400001}, {"adress": 400002}]})")
                                      << "register entry 2: unknown key \"adress\" (known: address, type,";
        QTest::newRow("misspelt top key") << QByteArray(R"({"register": []})")
                                          << "register map: unknown key \"register\"";
        QTest::newRow("overlapping entries")
            << QByteArray(R"({"registers": [{"address": 400004, "type": "float"}, {"address": 400005}]})")
            << "register entry 1 (address 400004) and register entry 2 (address 400005) both describe register 400005";
        QTest::newRow("block over an entry")
            << QByteArray(R"({"registers": [{"address": 400110}, {"address": 400100, "count": 20}]})")
            << "register entry 1 (address 400110) and register entry 2 (address 400100) both describe register 400110";
        QTest::newRow("past the range") << QByteArray(R"({"registers": [{"address": 465536, "type": "uint32"}]})")
                                        << "register entry 1: registers 465536-465537 run past the end";
        QTest::newRow("file twice") << QByteArray(R"({"files": [{"number": 2}, {"number": 3}, {"number": 2}]})")
                                    << "file entry 1 and file entry 3 both describe file 2";
        QTest::newRow("unknown interval") << QByteArray(R"({"archives": [{"index": 1, "type": "time", "interval": "fortnight"}]})")
                                          << "archive entry 1: interval \"fortnight\" is not a number of seconds";
        QTest::newRow("empty file") << QByteArray() << "register map is not valid JSON: illegal value at offset 0";
        QTest::newRow("bad gap") << QByteArray(R"({"archives": [{"index": 1, "type": "index", "gaps": [[5, 2]]}]})")
                                 << "archive entry 1: gap 1 is not a label or a [first, last] pair of labels";
    }

    void brokenMapIsRefused()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, message);
        SimulatorProcess sim;
        QVERIFY(launchWithMap(sim, json).isEmpty());
        QVERIFY(sim.waitForFinished(20000) || sim.state() == QProcess::NotRunning);
        QCOMPARE(sim.exitCode(), 1);
        const QString printed = QString::fromUtf8(sim.readAllStandardError());
        QVERIFY2(printed.startsWith(QStringLiteral("tavrexbus-sim: ") + message), qPrintable(printed));
    }

    // Meter k holds the map's values plus k - 1, on a port of its own or as unit k behind one port.
    void manyMetersHaveValuesOfTheirOwn_data()
    {
        QTest::addColumn<QStringList>("layout");
        QTest::addColumn<int>("portOffset");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("expected");
        const QStringList ports{ "--devices", "3" };
        const QStringList units{ "--devices", "3", "--units" };
        QTest::newRow("first port") << ports << 0 << "1" << 0 << "^400003: -5\n$";
        QTest::newRow("third port") << ports << 2 << "1" << 0 << "^400003: -3\n$";
        QTest::newRow("unit 2") << units << 0 << "2" << 0 << "^400003: -4\n$";
        QTest::newRow("no such unit") << units << 0 << "4" << 1 << "exception 11 \\(gateway target device failed";
        QTest::newRow("no meters") << QStringList{ "--devices", "0" } << 0 << "1" << -1 << "--devices needs a number";
    }

    void manyMetersHaveValuesOfTheirOwn()
    {
        QFETCH(QStringList, layout);
        QFETCH(int, portOffset);
        QFETCH(QString, unit);
        QFETCH(int, exitCode);
        QFETCH(QString, expected);
        SimulatorProcess sim;
        const QUrl url(sim.launch(layout));
        if (exitCode < 0) {
            QVERIFY(sim.waitForFinished(20000) || sim.state() == QProcess::NotRunning);
            QCOMPARE(sim.exitCode(), 1);
            QVERIFY(QString::fromUtf8(sim.readAllStandardError()).contains(expected));
            return;
        }
        QVERIFY2(url.port() > 0, qPrintable(sim.readAllStandardError()));
        const QString meter = QStringLiteral("tcp://127.0.0.1:%1").arg(url.port() + portOffset);
        const ProgramRun run = runCli({ "read", "400003", "int16", "--unit", unit, "--url", meter });
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
        QVERIFY2(QRegularExpression(expected).match(exitCode == 0 ? run.out : run.err).hasMatch(),
                 qPrintable(run.out + run.err));
    }

    // Polling rides out a device restart: values come back once it listens again.
    void pollingSurvivesADeviceRestart()
    {
        SimulatorProcess sim;
        const QString url = sim.launch({});
        QVERIFY2(!url.isEmpty(), qPrintable(sim.readAllStandardError()));
        QProcess cli;
        auto stop = qScopeGuard([&] {
            cli.kill();
            cli.waitForFinished();
        });
        cli.start(QStringLiteral(TAVREXBUS_CLI), { "read", "400002", "--interval", "100", "--url", url });
        QString out;
        QString err;
        const auto printed = [&](QString &text, const QString &needle, qsizetype from) {
            out += QString::fromUtf8(cli.readAllStandardOutput());
            err += QString::fromUtf8(cli.readAllStandardError());
            return text.indexOf(needle, from) >= 0;
        };
        QTRY_VERIFY_WITH_TIMEOUT(printed(out, "400002: 60\n", 0), 30000);

        sim.terminate();
        QVERIFY(sim.waitForFinished(20000));
        QTRY_VERIFY_WITH_TIMEOUT(printed(err, "reconnecting\n", 0), 30000);
        const qsizetype outage = out.size();
        SimulatorProcess again;
        QVERIFY2(again.launch({ "--tcp", url.mid(int(qstrlen("tcp://"))) }) == url,
                 qPrintable(again.readAllStandardError()));
        QTRY_VERIFY_WITH_TIMEOUT(printed(out, "400002: 60\n", outage), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(printed(err, "tavrexbus: reconnected\n", 0), 30000);
        QVERIFY2(!err.contains("disconnected transport"), qPrintable(err));
    }

    // A report with no zero byte after the name (pymodbus sends text and a run indicator) still shows its text.
    void reportWithoutNameShowsItsText()
    {
        QProcess probe;
        probe.start(QStringLiteral("/usr/bin/python3"), { "-c", "import pymodbus" });
        if (!probe.waitForFinished(20000) || probe.exitCode() != 0)
            QSKIP("pymodbus is not installed for /usr/bin/python3");
        QTcpServer free;
        QVERIFY(free.listen(QHostAddress::LocalHost, 0));
        const QString port = QString::number(free.serverPort());
        free.close();
        QProcess peer;
        peer.setStandardErrorFile(QProcess::nullDevice());
        peer.start(QStringLiteral("/usr/bin/python3"), { QStringLiteral(PYMODBUS_SERVER), port });
        auto stop = qScopeGuard([&peer] {
            peer.kill();
            peer.waitForFinished();
        });
        ProgramRun run;
        QTRY_VERIFY_WITH_TIMEOUT((run = runCli({ "report", "--url", "tcp://127.0.0.1:" + port })).exitCode == 0, 30000);
        QVERIFY2(run.out.startsWith("name: (none: no zero byte ends a name in the report)\ntext: Pymodbus\n"),
                 qPrintable(run.out));
    }

    void cliReadsTheSimulatorOverASerialLine()
    {
        PtyBridge line;
        QVERIFY(line.isValid());
        SimulatorProcess sim;
        QCOMPARE(sim.launch({ "--no-tcp", "--serial", line.portA(), "--baud", "115200" }),
                 QStringLiteral("rtu://%1?baud=115200").arg(line.portA()));
        const QString client = QStringLiteral("rtu://%1?baud=115200").arg(line.portB());
        const ProgramRun read = runCli({ "read", "400001", "uint16", "2", "--url", client, "--unit", "3" });
        QVERIFY2(read.exitCode == 0, qPrintable(read.err));
        QCOMPARE(read.out, QStringLiteral("400001: 1\n400002: 60\n"));
    }

    // Values saved from the device go back with import; --dry-run only shows them.
    void exportedValuesImportBack()
    {
        QTemporaryFile map;
        QVERIFY(map.open());
        map.write("{\"registers\": [{\"address\": 400001, \"type\": \"uint16\", \"value\": 17},"
                  "{\"address\": 400002, \"type\": \"float\", \"value\": 2.5, \"count\": 2},"
                  "{\"address\": 400010, \"type\": \"string\", \"length\": 4, \"value\": \"a;\\\"b\\\"\"},"
                  "{\"address\": 300001, \"type\": \"int32\", \"value\": -5}]}");
        map.close();
        SimulatorProcess sim;
        const QString url = sim.launch({ QStringLiteral("--map"), map.fileName() });
        QVERIFY2(!url.isEmpty(), qPrintable(sim.readAllStandardError()));
        QTemporaryDir dir;
        const QString xml = dir.filePath("values.xml");
        const QString csv = dir.filePath("values.csv");
        const ProgramRun saved = runCli({ "export", "--map", map.fileName(), "--xml", xml, "--csv", csv, "--url", url });
        runCli({ "write", "400001", "uint16", "99", "--url", url });
        const ProgramRun dry = runCli({ "import", "--map", map.fileName(), "--xml", xml, "--dry-run" });
        const ProgramRun untouched = runCli({ "read", "400001", "--url", url });
        const ProgramRun restored = runCli({ "import", "--map", map.fileName(), "--xml", xml, "--url", url });
        const ProgramRun back = runCli({ "read", "400001", "--url", url });
        QVERIFY2(saved.exitCode == 0, qPrintable(saved.err));
        QCOMPARE(saved.out, QStringLiteral("saved 5 values\n"));
        QFile table(csv);
        QVERIFY(table.open(QIODevice::ReadOnly));
        QCOMPARE(table.readAll(), QByteArray("\"register\";\"type\";\"value\"\n\"400001\";\"uint16\";\"17\"\n"
                                             "\"400002\";\"float\";\"2,500\"\n\"400004\";\"float\";\"2,500\"\n"
                                             "\"400010\";\"string\";\"a;\"\"b\"\"\"\n\"300001\";\"int32\";\"-5\"\n"));
        QVERIFY2(dry.exitCode == 0, qPrintable(dry.err));
        QVERIFY2(dry.out.startsWith(QStringLiteral("would write 400001 uint16: 17\n")), qPrintable(dry.out));
        QCOMPARE(dry.out.count(QLatin1Char('\n')), 4);
        QCOMPARE(untouched.out, QStringLiteral("400001: 99\n"));
        QVERIFY2(restored.exitCode == 0, qPrintable(restored.err));
        QCOMPARE(back.out, QStringLiteral("400001: 17\n"));
    }

    void cliReadsTheSimulatorOverTftp()
    {
        SimulatorProcess sim;
        const QString url = sim.launch({ QStringLiteral("--no-tcp"), QStringLiteral("--tftp"), QStringLiteral("127.0.0.1:0") });
        QVERIFY2(url.startsWith(QLatin1String("tftp://127.0.0.1:")), qPrintable(url + sim.readAllStandardError()));
        const ProgramRun read = runCli({ "read", "400001", "uint16", "2", "--url", url, "--unit", "3" });
        const ProgramRun report = runCli({ "report", "--url", url });
        QVERIFY2(read.exitCode == 0, qPrintable(read.err));
        QCOMPARE(read.out, QStringLiteral("400001: 1\n400002: 60\n"));
        QVERIFY2(report.exitCode == 0 && report.out.startsWith(QLatin1String("name: TVXH200")), qPrintable(report.err));
    }

private:
    SimulatorProcess m_sim;
    QString m_url;
};

QTEST_GUILESS_MAIN(tst_TavrexbusSim)
#include "tst_tavrexbussim.moc"
