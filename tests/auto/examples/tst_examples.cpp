#include "programrun.h"

#include <QtCore/qtemporaryfile.h>
#include <QtCore/qurl.h>
#include <QtTest/qtest.h>

namespace {

QString port(const QString &url)
{
    return QString::number(QUrl(url).port());
}

} // namespace

// The example applications against the simulator, both as separate programs: QML to the library
// to the device and back, over Modbus/TCP on 127.0.0.1 or the C55 device node.
class tst_Examples : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void meterPrintsItsFirstFullRead()
    {
        SimulatorProcess simulator;
        const QString url = simulator.launch({});
        const ProgramRun meter = runProgram(QStringLiteral(METER_PATH), {"--once", "--port", port(url)});
        QVERIFY2(meter.exitCode == 0, qPrintable(meter.err));
        for (const QString &line : {QStringLiteral("connected to 127.0.0.1:%1").arg(port(url)),
                                    QStringLiteral("device: TVXH200, version 1.4.2"), QStringLiteral("model: TVX-H200"),
                                    QStringLiteral("site: Boiler house 2"), QStringLiteral("archive period (min): 60"),
                                    QStringLiteral("flow (m3/h): "), QStringLiteral("supply (C): "),
                                    QStringLiteral("clock: ")})
            QVERIFY2(meter.out.contains(line), qPrintable(QStringLiteral("missing \"%1\" in:\n%2").arg(line, meter.out)));
        QVERIFY2(!meter.out.contains(QLatin1String("failed")), qPrintable(meter.out));

        const ProgramRun badPort = runProgram(QStringLiteral(METER_PATH), {"--port", "70000"});
        QCOMPARE(badPort.exitCode, 2);
        QVERIFY(badPort.err.contains("invalid port"));
    }

    // Every key code reaches the keypad, and every key with a Qt key the focused item, a held key
    // repeated; Escape is on the example's ignore list. A bad record is reported, the next one read.
    void keyPressesArriveFromTheSimulator()
    {
        SimulatorProcess simulator;
        const QString url =
            simulator.launch({"--no-tcp", "--c55", "--keys", "1 Point Enter:1000 Escape:1000 raw:0400 system:3 Power"});
        QVERIFY2(url.startsWith("c55://"), simulator.readAllStandardError().constData());
        const QString device = url.mid(int(qstrlen("c55://")));
        const ProgramRun keys = runProgram(QStringLiteral(KEYS_PATH), {"--device", device, "--count", "10"});
        QVERIFY2(keys.exitCode == 0, qPrintable(keys.err));
        const QStringList expected = {
            QStringLiteral("opened %1").arg(device),
            QStringLiteral("keypad: key1 pressed\nitem: key 1 pressed\nkeypad: key1 released\nitem: key 1 released"),
            QStringLiteral("keypad: keyPoint pressed\nitem: key . pressed"),
            QStringLiteral("keypad: keyEnter pressed\nitem: key Enter pressed\nitem: key Enter repeated\n"),
            QStringLiteral("keypad: keyEnter released\nitem: key Enter released"),
            QStringLiteral("keypad: keyEscape pressed\nitem: key Escape pressed\nkeypad: keyEscape released"),
            QStringLiteral("events: Event parser error: unknown event type: 4 (bytes: 04 00)\nsystem event 3\n"
                           "keypad: keyPower pressed\nkeypad: keyPower released"),
        };
        for (const QString &lines : expected)
            QVERIFY2(keys.out.contains(lines), qPrintable(QStringLiteral("missing \"%1\" in:\n%2").arg(lines, keys.out)));
        QVERIFY2(!keys.out.contains(QLatin1String("Escape repeated")), qPrintable(keys.out));
    }

    void dayRecordsPrintsYesterdaysHours()
    {
        SimulatorProcess simulator;
        const ProgramRun run = runProgram(QStringLiteral(DAYRECORDS_PATH), {"--port", port(simulator.launch({}))});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
        const QString day = QDate::currentDate().addDays(-1).toString(Qt::ISODate);
        QCOMPARE(lines.value(0), QStringLiteral("archive 2, %1: 24 hourly records").arg(day));
        QCOMPARE(lines.size(), 25);
        static const QRegularExpression row(
            QStringLiteral("^(\\d\\d):00  V\\+ [\\d.]+ m3  W [\\d.]+ Gcal  Q [\\d.]+-[\\d.]+ m3/h  T1 [\\d.]+ C  T2 [\\d.]+ C$"));
        for (int hour = 0; hour < 24; ++hour) {
            const QRegularExpressionMatch match = row.match(lines.at(hour + 1));
            QVERIFY2(match.hasMatch(), qPrintable(lines.at(hour + 1)));
            QCOMPARE(match.captured(1).toInt(), hour);
        }
    }

    // A meter without the archive answers with an exception: the example says so and fails.
    void dayRecordsReportsAMissingArchive()
    {
        QTemporaryFile map;
        QVERIFY(map.open());
        map.write(R"({"archives": [{"index": 1, "type": "time", "records": 48}]})");
        map.close();
        SimulatorProcess simulator;
        const QString url = simulator.launch({"--map", map.fileName()});
        const ProgramRun run = runProgram(QStringLiteral(DAYRECORDS_PATH), {"--port", port(url)});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QLatin1String("dayrecords: received exception packet: ")), qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(tst_Examples)
#include "tst_examples.moc"
