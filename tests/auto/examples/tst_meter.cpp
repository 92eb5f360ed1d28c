#include <QtCore/qprocess.h>
#include <QtCore/qregularexpression.h>
#include <QtTest/qtest.h>

// The meter example against the simulator, both as separate programs on 127.0.0.1.
class tst_Meter : public QObject
{
    Q_OBJECT

private:
    QProcess m_simulator;
    int m_port = 0;

private Q_SLOTS:
    void init()
    {
        m_simulator.start(QStringLiteral(SIMULATOR_PATH), {QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0")});
        QVERIFY2(m_simulator.waitForStarted(), qPrintable(m_simulator.errorString()));
        static const QRegularExpression ready(QStringLiteral("listening on tcp://127\\.0\\.0\\.1:(\\d+)"));
        QRegularExpressionMatch match;
        QTRY_VERIFY_WITH_TIMEOUT(
            (match = ready.match(QString::fromLatin1(m_simulator.peek(4096)))).hasMatch(), 30000);
        m_port = match.captured(1).toInt();
        QVERIFY(m_port > 0);
    }

    void cleanup()
    {
        m_simulator.terminate();
        if (!m_simulator.waitForFinished(5000))
            m_simulator.kill();
        m_simulator.waitForFinished();
    }

    void firstFullReadIsPrinted()
    {
        QProcess meter;
        meter.start(QStringLiteral(METER_PATH),
                    {QStringLiteral("--once"), QStringLiteral("--port"), QString::number(m_port)});
        QVERIFY(meter.waitForStarted());
        QVERIFY2(meter.waitForFinished(60000), "the meter did not stop after its first full read");
        const QString output = QString::fromUtf8(meter.readAllStandardOutput());
        QVERIFY2(meter.exitStatus() == QProcess::NormalExit && meter.exitCode() == 0,
                 qPrintable(QString::fromUtf8(meter.readAllStandardError())));
        const QStringList expected = {
            QStringLiteral("connected to 127.0.0.1:%1").arg(m_port),
            QStringLiteral("device: TVXH200, version 1.4.2"),
            QStringLiteral("model: TVX-H200"),
            QStringLiteral("site: Boiler house 2"),
            QStringLiteral("archive period (min): 60"),
            QStringLiteral("flow (m3/h): "),
            QStringLiteral("supply (C): "),
            QStringLiteral("clock: "),
        };
        for (const QString &line : expected)
            QVERIFY2(output.contains(line), qPrintable(QStringLiteral("missing \"%1\" in:\n%2").arg(line, output)));
        QVERIFY2(!output.contains(QLatin1String("failed")), qPrintable(output));
    }

    void badPortIsRefused()
    {
        QProcess meter;
        meter.start(QStringLiteral(METER_PATH), {QStringLiteral("--port"), QStringLiteral("70000")});
        QVERIFY(meter.waitForFinished(30000));
        QCOMPARE(meter.exitCode(), 2);
        QVERIFY(meter.readAllStandardError().contains("invalid port"));
    }
};

QTEST_GUILESS_MAIN(tst_Meter)
#include "tst_meter.moc"
