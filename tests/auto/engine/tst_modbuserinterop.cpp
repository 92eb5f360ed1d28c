#include "enginefixture.h"
#include "programrun.h"

#include <QtCore/QProcess>
#include <QtTest/QTest>

#include <tuple>

namespace {

const QString Python = QStringLiteral("/usr/bin/python3");

// A script of peers/ run by the system Python against one end of a serial line.
class Peer
{
public:
    Peer(const QString &script, const QString &port)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(Python, {QStringLiteral(ENGINE_PEERS_DIR "/") + script, port});
    }

    ~Peer()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // Output lines up to the one starting with last, or the peer's end; events keep flowing meanwhile.
    QStringList linesUntil(const QString &last, int timeoutMs)
    {
        QStringList lines;
        const auto ended = [&] {
            while (m_process.canReadLine())
                lines << QString::fromUtf8(m_process.readLine()).trimmed();
            return (!lines.isEmpty() && lines.last().startsWith(last))
                || m_process.state() == QProcess::NotRunning;
        };
        if (!QTest::qWaitFor(ended, timeoutMs))
            lines << QStringLiteral("(timed out)");
        return lines;
    }

private:
    QProcess m_process;
};

} // namespace

// Our client against an independent RTU server, and an independent RTU client against our server,
// each over a serial line made of two joined pseudo-terminals.
class tst_ModbuserInterop : public QObject
{
    Q_OBJECT

    using Op = std::function<QVariant(Modbuser &)>;

private slots:
    void initTestCase()
    {
        if (runProgram(Python, {"-c", "import pymodbus.server, serial_asyncio"}).exitCode != 0)
            QSKIP("pymodbus with serial support is not importable by /usr/bin/python3");
    }

    // One peer run answers every operation in turn; the TCP interop suite meets the other register
    // functions and an exception, which take the same path through the engine.
    void clientAgainstIndependentServer()
    {
        const QList<std::tuple<const char *, Op, QVariant>> operations = {
            {"read holding (3)", [](Modbuser &m) {
                 ModbusBytes out;
                 return m.readRegisters(400011, 3, out) ? QVariant(out.toHex(' ')) : QVariant();
             }, QByteArray("03 f2 03 f3 03 f4")},
            {"write float (16)", [](Modbuser &m) {
                 float value = 0;
                 return m.writeFloat(400041, 21.5f) && m.readFloat(400041, value) ? QVariant(value) : QVariant();
             }, 21.5f},
            {"device name (17)", [](Modbuser &m) {
                 QString name;
                 return m.getDevName(name) ? QVariant(name) : QVariant();
             }, "EK-PEER"},
        };
        PtyBridge line;
        QVERIFY(line.isValid());
        Peer peer(QStringLiteral("rtu_server.py"), line.portB());
        QCOMPARE(peer.linesUntil(QStringLiteral("ready"), 30000).value(0), QStringLiteral("ready"));

        ModbusSerialClient transport;
        transport.setPort(line.portA());
        transport.setReadTimeout(2000);
        QVERIFY(transport.connectTransport());
        ClientThread thread(transport);
        for (const auto &[name, operation, expected] : operations) {
            const QVariant result = runOn(thread.client(), operation);
            QVERIFY2(result == expected, qPrintable(QStringLiteral("%1: %2 (%3)")
                                                        .arg(name, result.toString(), thread.client().errorString())));
        }
    }

    void independentClientAgainstServer()
    {
        PtyBridge line;
        QVERIFY(line.isValid());
        ModbusSerialServer transport(line.portA());
        QVERIFY(transport.connectTransport());
        Modbuser server;
        server.translator().addTransport(transport, true, false);
        Device device;
        device.attach(server);
        QObject::connect(&server, &Modbuser::onReadRegisters, &server,
                         [](quint32 address, quint16, ModbusBytes &, ModbusTranslateOptions &options, bool &) {
                             if (address > 400500)
                                 options.setAnswerExceptionCode(TavrexBus::IllegalDataAddress);
                         });

        Peer peer(QStringLiteral("rtu_client.py"), line.portB());
        QCOMPARE(peer.linesUntil(QStringLiteral("done"), 60000),
                 QStringList({"read holding: 257 514 771", "write single: ok", "write multiple: ok",
                              "report: 454b2d5445535400", "unit 17: 257", "too many: exception 3",
                              "refused: exception 2", "coils: exception 1", "done"}));
    }
};

QTEST_GUILESS_MAIN(tst_ModbuserInterop)
#include "tst_modbuserinterop.moc"
