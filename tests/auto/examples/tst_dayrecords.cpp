#include <QtCore/qprocess.h>
#include <QtCore/qregularexpression.h>
#include <QtCore/qtemporaryfile.h>
#include <QtTest/qtest.h>

// The day records example against the simulator, both as separate programs on 127.0.0.1: QML to the
// archive reader to the device over Modbus/TCP, and back.
class tst_DayRecords : public QObject
{
    Q_OBJECT

private:
    QProcess m_simulator;
    int m_port = 0;

    void startSimulator(const QStringList &arguments)
    {
        m_simulator.start(QStringLiteral(SIMULATOR_PATH), QStringList{"--tcp", "127.0.0.1:0"} + arguments);
        QVERIFY2(m_simulator.waitForStarted(), qPrintable(m_simulator.errorString()));
        static const QRegularExpression ready(QStringLiteral("listening on tcp://127\\.0\\.0\\.1:(\\d+)"));
        QRegularExpressionMatch match;
        QTRY_VERIFY_WITH_TIMEOUT((match = ready.match(QString::fromLatin1(m_simulator.peek(4096)))).hasMatch(), 30000);
        m_port = match.captured(1).toInt();
    }

    QProcess &runExample(QProcess &example)
    {
        example.start(QStringLiteral(DAYRECORDS_PATH), {QStringLiteral("--port"), QString::number(m_port)});
        example.waitForFinished(60000);
        return example;
    }

private Q_SLOTS:
    void cleanup()
    {
        m_simulator.terminate();
        if (!m_simulator.waitForFinished(5000))
            m_simulator.kill();
        m_simulator.waitForFinished();
    }

    void yesterdaysHoursArePrinted()
    {
        startSimulator({});
        QProcess example;
        runExample(example);
        QVERIFY2(example.exitStatus() == QProcess::NormalExit && example.exitCode() == 0,
                 qPrintable(QString::fromUtf8(example.readAllStandardError())));
        const QStringList lines = QString::fromUtf8(example.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
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
    void missingArchiveIsReported()
    {
        QTemporaryFile map;
        QVERIFY(map.open());
        map.write(R"({"archives": [{"index": 1, "type": "time", "records": 48}]})");
        map.close();
        startSimulator({QStringLiteral("--map"), map.fileName()});
        QProcess example;
        runExample(example);
        QCOMPARE(example.exitCode(), 1);
        const QString error = QString::fromUtf8(example.readAllStandardError());
        QVERIFY2(error.contains(QLatin1String("dayrecords: received exception packet: ")), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(tst_DayRecords)
#include "tst_dayrecords.moc"
