#include "programrun.h"

#include <QtTest/QtTest>

// The command-line client as a field engineer runs it: arguments in, text and exit status out.
class TestTavrexBusCli : public QObject
{
    Q_OBJECT

private slots:
    // Exit status 0 prints the answer on standard output, 1 a message on standard error.
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
        QTest::addColumn<QString>("mentions");
        const QStringList commands{ "crc", "encode", "decode", "read", "write", "report", "file", "archive", "labels" };
        for (const QString &command : commands)
            QTest::newRow(qPrintable(command)) << QStringList{ command, "--help" } << QString();
        QTest::newRow("help word") << QStringList{ "help", "read" } << "--interval <ms>";
        QTest::newRow("after arguments") << QStringList{ "read", "400001", "float", "-h" } << "--url <url>";
        QTest::newRow("read splits") << QStringList{ "read", "--help" } << "in requests of 122 registers";
        QTest::newRow("file counts registers") << QStringList{ "file", "--help" } << "registers of 2 bytes";
        QTest::newRow("archive options") << QStringList{ "archive", "--help" } << "--from <label>";
    }

    void everyCommandExplainsItself()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, mentions);
        const ProgramRun result = runCli(arguments);
        QCOMPARE(result.exitCode, 0);
        const QString command = arguments.first() == QLatin1String("help") ? arguments.at(1) : arguments.first();
        QVERIFY2(result.out.startsWith(QStringLiteral("Usage: tavrexbus %1 ").arg(command)), qPrintable(result.out));
        QVERIFY2(result.out.contains(mentions), qPrintable(result.out));
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
};

QTEST_GUILESS_MAIN(TestTavrexBusCli)
#include "tst_tavrexbuscli.moc"
