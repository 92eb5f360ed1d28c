#include <QtCore/qprocess.h>
#include <QtCore/qregularexpression.h>
#include <QtTest/qtest.h>

// The keys example against the simulator's C55 device node, both as separate programs.
class tst_Keys : public QObject
{
    Q_OBJECT

private:
    QProcess m_simulator;

    QString startSimulator(const QString &script)
    {
        m_simulator.start(QStringLiteral(SIMULATOR_PATH),
                          {QStringLiteral("--no-tcp"), QStringLiteral("--c55"), QStringLiteral("--keys"), script});
        if (!m_simulator.waitForStarted())
            return QString();
        static const QRegularExpression ready(QStringLiteral("listening on c55://(\\S+)"));
        QRegularExpressionMatch match;
        const bool listening = QTest::qWaitFor(
            [&] { return (match = ready.match(QString::fromLatin1(m_simulator.peek(4096)))).hasMatch(); }, 30000);
        return listening ? match.captured(1) : QString();
    }

private Q_SLOTS:
    void cleanup()
    {
        m_simulator.terminate();
        if (!m_simulator.waitForFinished(5000))
            m_simulator.kill();
        m_simulator.waitForFinished();
    }

    // Every key code reaches the keypad, and every key with a Qt key the focused item, a held key
    // repeated; Escape is on the example's ignore list. A bad record is reported, the next one read.
    void keyPressesArriveFromTheSimulator()
    {
        const QString device = startSimulator(QStringLiteral("1 Point Enter:1000 Escape:1000 raw:0400 system:3 Power"));
        QVERIFY2(!device.isEmpty(), m_simulator.readAllStandardError().constData());
        QProcess keys;
        keys.start(QStringLiteral(KEYS_PATH), {QStringLiteral("--device"), device, QStringLiteral("--count"),
                                               QStringLiteral("10")});
        QVERIFY2(keys.waitForFinished(60000), "the example did not stop after its key codes");
        QVERIFY2(keys.exitStatus() == QProcess::NormalExit && keys.exitCode() == 0,
                 keys.readAllStandardError().constData());
        const QString output = QString::fromUtf8(keys.readAllStandardOutput());
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
            QVERIFY2(output.contains(lines), qPrintable(QStringLiteral("missing \"%1\" in:\n%2").arg(lines, output)));
        QVERIFY2(!output.contains(QLatin1String("Escape repeated")), qPrintable(output));
    }

    void badScriptIsRefusedByName()
    {
        QProcess simulator;
        simulator.start(QStringLiteral(SIMULATOR_PATH),
                        {QStringLiteral("--c55"), QStringLiteral("--keys"), QStringLiteral("1 Shift")});
        QVERIFY(simulator.waitForFinished(30000));
        QCOMPARE(simulator.exitCode(), 1);
        QVERIFY(simulator.readAllStandardError().startsWith("tavrexbus-sim: --keys: \"Shift\": no such key"));
    }
};

QTEST_GUILESS_MAIN(tst_Keys)
#include "tst_keys.moc"
