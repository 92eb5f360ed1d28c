#include "freeport.h"
#include "programrun.h"
#include "ptybridge.h"

#include <TavrexBus1/modbusclient.h>
#include <TavrexBus1/modbusserialclient.h>
#include <TavrexBus1/modbustcpclient.h>
#include <TavrexBus1/modbusuint16.h>

#include <QtCore/QTemporaryDir>
#include <QtCore/QTemporaryFile>
#include <QtCore/QUrl>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

#include <memory>

namespace {

// Starts the simulator; the text after --map is a map, written to a file that it reads before it listens.
QString launchWithMap(SimulatorProcess &sim, QStringList arguments, QTemporaryFile &map)
{
    const int json = int(arguments.indexOf(QStringLiteral("--map"))) + 1;
    if (json > 0) {
        const QByteArray text = arguments.at(json).toUtf8();
        if (!map.open() || map.write(text) != text.size())
            return QString();
        map.close();
        arguments[json] = map.fileName();
    }
    return sim.launch(arguments);
}

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
};

// The lines the simulator printed so far, gathered as they come.
QStringList linesMatching(SimulatorProcess &sim, QString &printed, const QString &pattern)
{
    printed += QString::fromUtf8(sim.readAllStandardOutput());
    return printed.split(QLatin1Char('\n')).filter(QRegularExpression(pattern));
}

} // namespace

// The command-line client as a field engineer runs it (arguments in, text and exit status out), alone and
// against the simulator over Modbus/TCP on 127.0.0.1, and the simulator itself. Against the simulator's
// faults, over Modbus/TCP and a pseudo-terminal, the library's client: a fault costs the exchange it hits
// and no other, with the message of its kind, and a write the client reports failed may or may not have
// been carried out, but one it reports done is there, once. (Delays within the answer timeout, which cost
// nothing, are the soak run's to check.)
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

    // Without a device: exit status 0 prints the answer on standard output, 1 a message on standard error.
    void printsItsAnswerOrAMessage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("expected");
        QTest::newRow("read 10 registers") << QStringList{ "crc", "01", "03", "00", "00", "00", "0A" } << 0
                                           << "crc: C5 CD (CRC-16/MODBUS 0xCDC5)\nframe: 01 03 00 00 00 0A C5 CD\n";
        QTest::newRow("quoted with spaces") << QStringList{ "crc", "01 03 00 00 00 01" } << 0
                                            << "crc: 84 0A (CRC-16/MODBUS 0x0A84)\nframe: 01 03 00 00 00 01 84 0A\n";
        QTest::newRow("uint16 overflow") << QStringList{ "encode", "uint16", "65536" } << 1
                                         << "\"65536\" is not a valid uint16 value";
        QTest::newRow("bad date") << QStringList{ "encode", "datetime", "2026-13-01T00:00:00" } << 1
                                  << "\"2026-13-01T00:00:00\" is not a valid datetime value";
        QTest::newRow("date before 1970") << QStringList{ "encode", "datetime", "1969-12-31T23:59:59" } << 1
                                          << "\"1969-12-31T23:59:59\" is not a valid datetime value";
        QTest::newRow("unknown type") << QStringList{ "encode", "int128", "1" } << 1 << "unknown type \"int128\"";
        QTest::newRow("short float") << QStringList{ "decode", "float", "01" } << 1 << "float takes 4 bytes, 1 given";
        QTest::newRow("odd hex") << QStringList{ "crc", "010" } << 1 << "\"010\" is not a sequence of hex bytes";
        QTest::newRow("unknown command") << QStringList{ "frobnicate" } << 1 << "unknown command \"frobnicate\"";
        QTest::newRow("unknown option") << QStringList{ "read", "400001", "--bogus" } << 1
                                        << "Unknown option 'bogus'; see tavrexbus read --help";
        QTest::newRow("read past the last register") << QStringList{ "read", "465530", "uint16", "10" } << 1
                                                     << "10 registers from 465530 pass the last register";
        // A device URL is checked whole before anything is opened.
        QTest::newRow("malformed baud") << QStringList{ "read", "400001", "--url", "rtu:///dev/null?baud=abc" } << 1
                                        << "baud=abc in rtu:///dev/null?baud=abc: baud takes a speed in bit/s";
        QTest::newRow("misspelt parameter") << QStringList{ "read", "400001", "--url", "rtu:///dev/null?buad=9600" }
                                            << 1 << "unknown parameter \"buad\" in rtu:///dev/null?buad=9600";
        QTest::newRow("unknown parity") << QStringList{ "read", "400001", "--url", "rtu:///dev/null?parity=evn" } << 1
                                        << "parity takes none|even|odd|space|mark";
        QTest::newRow("tcp with parameters") << QStringList{ "read", "400001", "--url", "tcp://127.0.0.1:1?unit=3" }
                                             << 1 << "a tcp URL is only tcp://host:port";
        QTest::newRow("tftp with a path") << QStringList{ "read", "400001", "--url", "tftp://127.0.0.1:1/x" } << 1
                                          << "a tftp URL is only tftp://host:port";
    }

    void printsItsAnswerOrAMessage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, expected);
        const ProgramRun result = runCli(arguments);
        QCOMPARE(result.exitCode, exitCode);
        const QString &printed = exitCode == 0 ? result.out : result.err;
        QVERIFY2(exitCode == 0 ? printed == expected : printed.contains(expected), qPrintable(printed));
        QCOMPARE(exitCode == 0 ? result.err : result.out, QString());
    }

    // "<command> --help" and "help <command>" print the command's own usage and succeed.
    void everyCommandExplainsItself_data()
    {
        QTest::addColumn<QStringList>("arguments");
        const QStringList commands{ "crc", "encode", "decode", "read", "write", "report", "file", "archive", "labels" };
        for (const QString &command : commands)
            QTest::newRow(qPrintable(command)) << QStringList{ command, "--help" };
        QTest::newRow("help word") << QStringList{ "help", "read" };
        QTest::newRow("after arguments") << QStringList{ "read", "400001", "float", "-h" };
    }

    void everyCommandExplainsItself()
    {
        QFETCH(QStringList, arguments);
        const ProgramRun result = runCli(arguments);
        QCOMPARE(result.exitCode, 0);
        const QString command = arguments.first() == QLatin1String("help") ? arguments.at(1) : arguments.first();
        QVERIFY2(result.out.startsWith(QStringLiteral("Usage: tavrexbus %1 ").arg(command)), qPrintable(result.out));
        QCOMPARE(result.err, QString());
    }

    void valuesRoundTrip_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("hex");
        QTest::newRow("int16 min") << "int16" << "-32768" << "80 00";
        QTest::newRow("uint16 max") << "uint16" << "65535" << "FF FF";
        QTest::newRow("int32 no word swap") << "int32" << "305419896" << "12 34 56 78";
        QTest::newRow("uint32 max") << "uint32" << "4294967295" << "FF FF FF FF";
        QTest::newRow("float shortest") << "float" << "0.1" << "3D CC CC CD";
        QTest::newRow("double shortest") << "double" << "0.1" << "3F B9 99 99 99 99 99 9A";
        QTest::newRow("string utf-8 padded") << "string" << QStringLiteral("H\u00e9") << "48 C3 A9 00";
        QTest::newRow("datetime wall clock") << "datetime" << "2000-01-01T00:00:00" << "38 6D 43 80";
    }

    void valuesRoundTrip()
    {
        QFETCH(QString, type);
        QFETCH(QString, value);
        QFETCH(QString, hex);
        const ProgramRun encoded = runCli({ QStringLiteral("encode"), type, value });
        QCOMPARE(encoded.exitCode, 0);
        QCOMPARE(encoded.out, hex + QLatin1Char('\n'));
        const ProgramRun decoded = runCli({ QStringLiteral("decode"), type, hex });
        QCOMPARE(decoded.exitCode, 0);
        QCOMPARE(decoded.out, value + QLatin1Char('\n'));
    }

    // Exit status 0 prints exactly the answer; 1 prints a message matching the pattern on standard error.
    void cliTalksToTheSimulator_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("expected");

        QTest::newRow("holding uint16") << QStringList{ "read", "400001", "uint16", "2" } << 0
                                        << "400001: 1\n400002: 60\n";
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

        const QString nobody = QStringLiteral("tcp://127.0.0.1:%1").arg(freePort());
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
    void negativeValueIsWrittenNotTakenForAnOption()
    {
        const ProgramRun write = runCli({ "write", "400003", "int16", "-7", "--url", m_url });
        QVERIFY2(write.exitCode == 0, qPrintable(write.err));
        QCOMPARE(runCli({ "read", "400003", "int16", "--url", m_url }).out, QStringLiteral("400003: -7\n"));
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
        QTemporaryFile map;
        const QString url = launchWithMap(
            sim, { "--map", R"({"name": "Test meter",)"
                            R"( "registers": [{"address": 400100, "type": "int32", "value": -70000}],)"
                            R"( "archives": [{"index": 4, "type": "time", "interval": "day", "generation": 2,)"
                            R"( "records": 1200, "last": "2024-03-31T00:00:00",)"
                            R"( "gaps": [["2024-03-10T00:00:00", "2024-03-11T00:00:00"]]}]})" }, map);
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

    // Arguments or a map the simulator cannot serve as written stop it with a message naming the fault.
    void badSetUpIsRefused_data()
    {
        QTest::addColumn<QStringList>("arguments"); // the text after --map is written to a file
        QTest::addColumn<QString>("message");
        const auto map = [](const char *json) { return QStringList{ "--map", QString::fromUtf8(json) }; };
        QTest::newRow("not a register") << map(R"({"registers": [{"address": 123}]})")
                                        << "register entry 1: address 123 is not a register number";
        QTest::newRow("misspelt key") << map(R"({"registers": [{"address": 400001}, {"adress": 400002}]})")
                                      << "register entry 2: unknown key \"adress\" (known: address, type,";
        QTest::newRow("misspelt top key") << map(R"({"register": []})") << "register map: unknown key \"register\"";
        QTest::newRow("overlapping entries")
            << map(R"({"registers": [{"address": 400004, "type": "float"}, {"address": 400005}]})")
            << "register entry 1 (address 400004) and register entry 2 (address 400005) both describe register 400005";
        QTest::newRow("past the range") << map(R"({"registers": [{"address": 465536, "type": "uint32"}]})")
                                        << "register entry 1: registers 465536-465537 run past the end";
        QTest::newRow("file twice") << map(R"({"files": [{"number": 2}, {"number": 3}, {"number": 2}]})")
                                    << "file entry 1 and file entry 3 both describe file 2";
        QTest::newRow("unknown interval") << map(R"({"archives": [{"index": 1, "type": "time", "interval": "fortnight"}]})")
                                          << "archive entry 1: interval \"fortnight\" is not a number of seconds";
        QTest::newRow("empty file") << map("") << "register map is not valid JSON: illegal value at offset 0";
        QTest::newRow("bad gap") << map(R"({"archives": [{"index": 1, "type": "index", "gaps": [[5, 2]]}]})")
                                 << "archive entry 1: gap 1 is not a label or a [first, last] pair of labels";
        QTest::newRow("no meters") << QStringList{ "--devices", "0" } << "--devices needs a number of meters, 1-65535";
        QTest::newRow("unknown key") << QStringList{ "--c55", "--keys", "1 Shift" } << "--keys: \"Shift\": no such key";

        const auto faults = [](const QString &rules) { return QStringList{ "--faults", rules }; };
        QTest::newRow("unknown fault") << faults("silent 1%, slow 2%")
                                       << "--faults: \"slow 2%\": unknown fault \"slow\"";
        QTest::newRow("no rate") << faults("silent") << "--faults: \"silent\": say how often";
        QTest::newRow("over 100%") << faults("silent 101%") << "--faults: \"silent 101%\": 101% is not a percentage";
        QTest::newRow("sum over 100%") << faults("silent 60%, late 50%")
                                       << "--faults: the probabilities add up to 110%";
        QTest::newRow("every 0") << faults("close every 0")
                                 << "--faults: \"close every 0\": \"every\" needs a whole number";
        QTest::newRow("delay in seconds") << faults("late 1% 2s")
                                          << "--faults: \"late 1% 2s\": the delay is milliseconds";
        QTest::newRow("backward range") << faults("partial 1% 500-100ms")
                                        << "--faults: \"partial 1% 500-100ms\": the pause is milliseconds";
        QTest::newRow("no stray bytes") << faults("stray 1% 0") << "--faults: \"stray 1% 0\": the byte count";
        QTest::newRow("unknown exception") << faults("exception 1% 7")
            << "--faults: \"exception 1% 7\": exception code 7 is not one of 1, 2, 3, 4, 5, 6, 8";
        QTest::newRow("garble with an argument") << faults("garble 1% 3")
                                                 << "--faults: \"garble 1% 3\": garble takes no argument";
        QTest::newRow("empty rule") << faults("silent 1%,,close 1%")
                                    << "--faults: a rule is missing between two commas";
        QTest::newRow("seed alone") << QStringList{ "--seed", "3" } << "--seed needs --faults";
        QTest::newRow("no faulty link") << QStringList{ "--no-tcp", "--tftp", "127.0.0.1:0", "--faults", "silent 1%" }
                                        << "--faults needs a TCP or serial listener";
    }

    void badSetUpIsRefused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QTemporaryFile map;
        SimulatorProcess sim;
        QVERIFY(launchWithMap(sim, arguments, map).isEmpty());
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
        SimulatorProcess sim;
        const QString url = launchWithMap(
            sim, { "--map", R"({"registers": [{"address": 400001, "type": "uint16", "value": 17},)"
                            R"({"address": 400002, "type": "float", "value": 2.5, "count": 2},)"
                            "{\"address\": 400010, \"type\": \"string\", \"length\": 4, \"value\": \"a;\\\"b\\\"\"},"
                            R"({"address": 300001, "type": "int32", "value": -5}]})" }, map);
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
    }

    // Three writes-and-reads: the second request meets the fault, the third must succeed. An exception
    // answer is the same PDU on either link.
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
        if (rule.startsWith(QLatin1String("close")))
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

private:
    SimulatorProcess m_sim;
    QString m_url;
};

QTEST_GUILESS_MAIN(tst_TavrexbusSim)
#include "tst_tavrexbussim.moc"
