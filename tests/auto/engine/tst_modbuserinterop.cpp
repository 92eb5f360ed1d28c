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

QVariant registersRead(Modbuser &m, quint32 address, quint16 count)
{
    ModbusBytes out;
    if (!m.readRegisters(address, count, out))
        return {};
    QStringList values;
    for (int i = 0; i < out.regsCount(); ++i)
        values << QString::number(out.getReg(i));
    return values.join(QLatin1Char(' '));
}

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

    // One peer run answers every operation in turn.
    void clientAgainstIndependentServer()
    {
        const QList<std::tuple<const char *, Op, QVariant>> operations = {
            {"read holding (3)", [](Modbuser &m) { return registersRead(m, 400011, 3); }, "1010 1011 1012"},
            {"read input (4)", [](Modbuser &m) { return registersRead(m, 300006, 2); }, "2005 2006"},
            {"write single (6)", [](Modbuser &m) {
                 return m.writeRegister(400021, 0xBEEF) ? registersRead(m, 400021, 1) : QVariant();
             }, "48879"},
            {"write multiple (16)", [](Modbuser &m) {
                 const bool ok = m.writeRegisters(400031, ModbusBytes::fromHex("000100020003"));
                 return ok ? registersRead(m, 400031, 3) : QVariant();
             }, "1 2 3"},
            {"write float (16)", [](Modbuser &m) {
                 float value = 0;
                 return m.writeFloat(400041, 21.5f) && m.readFloat(400041, value) ? QVariant(value) : QVariant();
             }, 21.5f},
            {"device name (17)", [](Modbuser &m) {
                 QString name;
                 return m.getDevName(name) ? QVariant(name) : QVariant();
             }, "EK-PEER"},
            {"exception", [](Modbuser &m) {
                 ModbusBytes out;
                 return m.readRegisters(400501, 1, out) ? QVariant() : QVariant(m.errorString().section(';', 0, 0));
             }, "received exception packet: function code: read holding registers"},
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
                 QStringList({"read holding: 257 514 771", "read input: 22136 0", "write single: ok",
                              "write multiple: ok", "read back: 48879", "read written: 1 2 3",
                              "report: 454b2d5445535400", "unit 17: 257", "too many: exception 3",
                              "refused: exception 2", "coils: exception 1", "done"}));
    }
};

QTEST_GUILESS_MAIN(tst_ModbuserInterop)
#include "tst_modbuserinterop.moc"
