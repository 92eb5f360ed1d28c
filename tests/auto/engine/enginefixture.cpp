#include "enginefixture.h"

using Options = ModbusTranslateOptions;
using Direction = TavrexBus::ArchDirection;

Device::Device()
{
    for (quint16 i = 0; i < 3; ++i)
        registers[400011 + i] = quint16(0x0101 * (i + 1));
    registers[300005] = 0x1234;
    registers[300006] = 0x5678;
    registers[400101] = 0x41AC; // 21.5f
    registers[400102] = 0x0000;
}

bool Device::take(Options &options, bool &handled)
{
    lastUnit = options.requestAddress();
    if (answer == Answer::Ignore)
        return false;
    handled = true;
    if (answer == Answer::Exception)
        options.setAnswerExceptionCode(exception);
    return answer == Answer::Fill;
}

void Device::attach(Modbuser &server)
{
    connect(&server.translator(), &ModbusTranslator::packetReceived, this,
            [this](const ModbusPacket &packet) { lastFunction = packet.functionCode(); });
    connect(&server, &Modbuser::onReadRegisters, this,
            [this](quint32 address, quint16 count, ModbusBytes &out, Options &options, bool &handled) {
                if (take(options, handled)) {
                    for (quint32 i = 0; i < count; ++i)
                        out.appendReg(registers.value(address + i));
                }
            });
    connect(&server, &Modbuser::onWriteRegisters, this,
            [this](quint32 address, ModbusBytes values, Options &options, bool &handled) {
                if (take(options, handled)) {
                    for (int i = 0; i < values.regsCount(); ++i)
                        registers[address + quint32(i)] = values.getReg(i);
                }
            });
    connect(&server, &Modbuser::onGetDevName, this, [this](QString &out, Options &options, bool &handled) {
        if (take(options, handled))
            out = name;
    });
    connect(&server, &Modbuser::onReadFile, this,
            [this](quint8, quint16 start, quint8 count, ModbusBytes &out, Options &options, bool &handled) {
                if (take(options, handled))
                    out = ModbusBytes::fromOther(file, start * 2, count * 2);
            });
    connect(&server, &Modbuser::onWriteFile, this,
            [this](quint8, quint16 start, ModbusBytes values, Options &options, bool &handled) {
                if (take(options, handled))
                    file.setBytes(values, start * 2);
            });
    connect(&server, &Modbuser::onReadIndexArchRecords, this,
            [this](quint16, quint32 label, Direction direction, quint16 count, QList<ModbusBytes> &out,
                   Options &options, bool &handled) {
                if (take(options, handled)) {
                    for (quint32 i = 0; i < count; ++i)
                        out.append(ModbusBytes::fromUInt32(direction == TavrexBus::Forward ? label + i : label - i));
                }
            });
    connect(&server, &Modbuser::onReadTimeArchRecords, this,
            [this](quint16, QDateTime label, Direction, quint16 count, QList<ModbusBytes> &out, Options &options,
                   bool &handled) {
                if (take(options, handled)) {
                    for (int i = 0; i < count; ++i)
                        out.append(ModbusBytes::fromUInt32(TavrexBus::archLabelToSeconds(label.addSecs(3600 * i))));
                }
            });
    connect(&server, &Modbuser::onReadIndexArchPresence, this,
            [this](quint16, quint32 label, Direction direction, quint16 count, QList<quint32> &out, Options &options,
                   bool &handled) {
                if (!take(options, handled))
                    return;
                if (direction == TavrexBus::Backward) {
                    out.append(qMin(label, lastIndexLabel));
                    return;
                }
                for (quint32 i = 0; i < count && label + i <= lastIndexLabel; ++i)
                    out.append(label + i);
            });
    connect(&server, &Modbuser::onReadTimeArchPresence, this,
            [this](quint16, QDateTime label, Direction, quint16 count, QList<QDateTime> &out, Options &options,
                   bool &handled) {
                if (take(options, handled)) {
                    for (int i = 0; i < count; ++i)
                        out.append(label.addSecs(3600 * i));
                }
            });
}

Link::Link(LinkKind kind)
    : m_kind(kind)
{
    m_device.attach(m_server);
    if (kind == LinkKind::Loopback) {
        auto *server = new ModbusLoopbackServer;
        m_serverTransport.reset(server);
        server->connectTransport();
        m_clientTransport = std::make_unique<ModbusLoopbackClient>(*server);
    } else {
        m_bridge = std::make_unique<PtyBridge>();
        if (!m_bridge->isValid())
            return;
        m_serverTransport = std::make_unique<ModbusSerialServer>(m_bridge->portA());
        auto *client = new ModbusSerialClient;
        m_clientTransport.reset(client);
        client->setPort(m_bridge->portB());
        client->setReadTimeout(300);
        if (!m_serverTransport->connectTransport())
            return;
    }
    m_server.translator().addTransport(*m_serverTransport, true, false);
    if (!m_clientTransport->connectTransport())
        return;
    m_clientThread = std::make_unique<ClientThread>(*m_clientTransport);
    m_client = &m_clientThread->client();
}

Link::~Link()
{
    m_clientThread.reset();
    m_clientTransport.reset();
    m_serverTransport.reset();
}

QString Link::unhandledError() const
{
    return m_kind == LinkKind::Loopback ? QStringLiteral("zero length answer received")
                                        : QStringLiteral("read timeout");
}

ClientThread::ClientThread(ModbusTransport &transport)
    : m_client(new Modbuser)
{
    m_client->setClientTransport(&transport);
    m_client->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("Modbus executor thread"));
    m_thread.start();
}

ClientThread::~ClientThread()
{
    QMetaObject::invokeMethod(m_client, [this] { delete m_client; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}
