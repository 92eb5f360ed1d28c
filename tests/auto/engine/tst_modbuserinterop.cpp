#include "enginefixture.h"

#include <QtCore/QProcess>
#include <QtTest/QTest>

namespace {

const QString Python = QStringLiteral("/usr/bin/python3");

bool pymodbusAvailable()
{
    QProcess probe;
    probe.start(Python, {QStringLiteral("-c"), QStringLiteral("import pymodbus.server, serial_asyncio")});
    return probe.waitForFinished(30000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

// A peer script of peers/, run with the system Python against one end of a serial line.
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

    // Output lines until the one that starts with last (or the peer ends); events keep flowing
    // meanwhile, so a server of ours on this thread goes on answering the peer.
    QStringList linesUntil(const QString &last, int timeoutMs)
    {
        QStringList lines;
        const auto ended = [&] {
            while (m_process.canReadLine())
                lines << QString::fromUtf8(m_process.readLine()).trimmed();
            return (!lines.isEmpty() && lines.last().startsWith(last))
                || m_process.state() == QProcess::NotRunning;
        };
        // A peer that never gets there fails the caller's comparison of the lines.
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

private slots:
    void initTestCase();
    void clientAgainstIndependentServer_data();
    void clientAgainstIndependentServer();
    void independentClientAgainstServer_data();
    void independentClientAgainstServer();
};

void tst_ModbuserInterop::initTestCase()
{
    if (!pymodbusAvailable())
        QSKIP("pymodbus with serial support is not importable by /usr/bin/python3");
}

void tst_ModbuserInterop::clientAgainstIndependentServer_data()
{
    using Op = std::function<QVariant(Modbuser &)>;
    QTest::addColumn<Op>("operation");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("read holding (3)") << Op([](Modbuser &m) { return registersRead(m, 400011, 3); })
                                      << QVariant(QStringLiteral("1010 1011 1012"));
    QTest::newRow("read input (4)") << Op([](Modbuser &m) { return registersRead(m, 300006, 2); })
                                    << QVariant(QStringLiteral("2005 2006"));
    QTest::newRow("write single (6)") << Op([](Modbuser &m) {
        return m.writeRegister(400021, 0xBEEF) ? registersRead(m, 400021, 1) : QVariant();
    }) << QVariant(QStringLiteral("48879"));
    QTest::newRow("write multiple (16)") << Op([](Modbuser &m) {
        return m.writeRegisters(400031, ModbusBytes::fromHex("000100020003")) ? registersRead(m, 400031, 3)
                                                                               : QVariant();
    }) << QVariant(QStringLiteral("1 2 3"));
    QTest::newRow("write float (16)") << Op([](Modbuser &m) {
        float value = 0;
        return m.writeFloat(400041, 21.5f) && m.readFloat(400041, value) ? QVariant(value) : QVariant();
    }) << QVariant(21.5f);
    QTest::newRow("device name (17)") << Op([](Modbuser &m) {
        QString name;
        return m.getDevName(name) ? QVariant(name) : QVariant();
    }) << QVariant(QStringLiteral("EK-PEER"));
    QTest::newRow("exception") << Op([](Modbuser &m) {
        ModbusBytes out;
        return m.readRegisters(400501, 1, out) ? QVariant() : QVariant(m.errorString().section(';', 0, 0));
    }) << QVariant(QStringLiteral("received exception packet: function code: read holding registers"));
}

void tst_ModbuserInterop::clientAgainstIndependentServer()
{
    using Op = std::function<QVariant(Modbuser &)>;
    QFETCH(Op, operation);
    QFETCH(QVariant, expected);

    PtyBridge line;
    QVERIFY(line.isValid());
    Peer peer(QStringLiteral("rtu_server.py"), line.portB());
    QCOMPARE(peer.linesUntil(QStringLiteral("ready"), 30000).value(0), QStringLiteral("ready"));

    ModbusSerialClient transport;
    transport.setPort(line.portA());
    transport.setReadTimeout(2000);
    QVERIFY(transport.connectTransport());
    ClientThread thread(transport);
    const QVariant result = runOn(thread.client(), operation);
    QVERIFY2(result.isValid(), qPrintable(thread.client().errorString()));
    QCOMPARE(result, expected);
}

void tst_ModbuserInterop::independentClientAgainstServer_data()
{
    QTest::addColumn<QString>("exchange");
    QTest::addColumn<QString>("result");

    QTest::newRow("read holding (3)") << "read holding" << "257 514 771";
    QTest::newRow("read input (4)") << "read input" << "22136 0";
    QTest::newRow("write single (6)") << "write single" << "ok";
    QTest::newRow("write multiple (16)") << "write multiple" << "ok";
    QTest::newRow("single write read back") << "read back" << "48879";
    QTest::newRow("multiple write read back") << "read written" << "1 2 3";
    QTest::newRow("report (17)") << "report" << "454b2d5445535400";
    QTest::newRow("other unit") << "unit 17" << "257";
    QTest::newRow("126 registers") << "too many" << "exception 3";
    QTest::newRow("refused by the handler") << "refused" << "exception 2";
    QTest::newRow("unsupported function (1)") << "coils" << "exception 1";
}

void tst_ModbuserInterop::independentClientAgainstServer()
{
    QFETCH(QString, exchange);
    QFETCH(QString, result);

    PtyBridge line;
    QVERIFY(line.isValid());
    ModbusSerialServer transport(line.portA());
    QVERIFY(transport.connectTransport());
    Modbuser server;
    server.translator().addTransport(transport, true, false);
    Device device;
    device.attach(server);
    for (quint16 i = 0; i < 3; ++i)
        device.registers[400011 + i] = quint16(0x0101 * (i + 1));
    device.registers[300006] = 0x5678;
    QObject::connect(&server, &Modbuser::onReadRegisters, &server,
                     [](quint32 address, quint16, ModbusBytes &, ModbusTranslateOptions &options, bool &) {
                         if (address > 400500)
                             options.setAnswerExceptionCode(TavrexBus::IllegalDataAddress);
                     });

    Peer peer(QStringLiteral("rtu_client.py"), line.portB());
    const QStringList lines = peer.linesUntil(QStringLiteral("done"), 60000);
    QCOMPARE(lines.value(lines.size() - 1), QStringLiteral("done"));
    const QString prefix = exchange + QStringLiteral(": ");
    const auto line_ = std::find_if(lines.cbegin(), lines.cend(), [&](const QString &l) { return l.startsWith(prefix); });
    QVERIFY2(line_ != lines.cend(), qPrintable(lines.join(QLatin1Char('\n'))));
    QCOMPARE(line_->mid(prefix.size()), result);
}

QTEST_GUILESS_MAIN(tst_ModbuserInterop)
#include "tst_modbuserinterop.moc"
