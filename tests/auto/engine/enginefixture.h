#ifndef ENGINEFIXTURE_H
#define ENGINEFIXTURE_H

#include <TavrexBus1/modbusbytes.h>
#include <TavrexBus1/modbuser.h>
#include <TavrexBus1/modbusserialclient.h>
#include <TavrexBus1/modbusserialserver.h>
#include <TavrexBus1/modbustranslateoptions.h>

#include "ptybridge.h"
#include "threadcall_p.h"

#include <QtCore/QMap>
#include <QtCore/QThread>
#include <QtTest/QTest>

#include <atomic>
#include <memory>

using Options = ModbusTranslateOptions;
using Direction = TavrexBus::ArchDirection;

// How the device's handlers treat a request.
enum class Answer { Fill, Exception, Ignore };
Q_DECLARE_METATYPE(Answer)

// Runs op on the thread of modbuser and returns its result, while this thread goes on serving.
template <typename Op>
auto runOn(Modbuser &modbuser, Op op) -> decltype(op(modbuser))
{
    decltype(op(modbuser)) result{};
    std::atomic_bool done{false};
    postToOwnerThread(&modbuser, [&] {
        result = op(modbuser);
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done.load(); }, 30000))
        qFatal("a client operation did not come back");
    return result;
}

// A client Modbuser on a thread of its own, as the executor runs it; the caller keeps the transport alive.
class ClientThread
{
public:
    explicit ClientThread(ModbusTransport &transport)
        : m_client(new Modbuser)
    {
        m_client->setClientTransport(&transport);
        m_client->moveToThread(&m_thread);
        m_thread.setObjectName(QStringLiteral("Modbus executor thread"));
        m_thread.start();
    }

    ~ClientThread()
    {
        callOnOwnerThread(m_client, [this] { delete m_client; });
        m_thread.quit();
        m_thread.wait();
    }

    Modbuser &client() { return *m_client; }

private:
    QThread m_thread;
    Modbuser *m_client;
};

// A device behind a server Modbuser: registers, one file and an index and a time archive whose
// records are their own labels, so every answer can be predicted.
class Device : public QObject
{
public:
    Device()
    {
        for (quint16 i = 0; i < 3; ++i)
            registers[400011 + i] = quint16(0x0101 * (i + 1));
        registers[300006] = 0x5678;
    }

    void attach(Modbuser &server)
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
                    if (!take(options, handled))
                        return;
                    const qint64 step = direction == TavrexBus::Forward ? 1 : -1;
                    for (quint32 i = 0; i < count; ++i)
                        out.append(ModbusBytes::fromUInt32(quint32(label + step * i)));
                });
        connect(&server, &Modbuser::onReadTimeArchRecords, this,
                [this](quint16, QDateTime label, Direction, quint16 count, QList<ModbusBytes> &out, Options &options,
                       bool &handled) {
                    if (take(options, handled)) {
                        for (int i = 0; i < count; ++i)
                            out.append(ModbusBytes::fromUInt32(TavrexBus::archLabelToSeconds(label.addSecs(3600 * i))));
                    }
                });
        // Index presence is asked for the last label only: backward from the newest one.
        connect(&server, &Modbuser::onReadIndexArchPresence, this,
                [this](quint16, quint32 label, Direction, quint16, QList<quint32> &out, Options &options,
                       bool &handled) {
                    if (take(options, handled))
                        out.append(qMin(label, lastIndexLabel));
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

    Answer answer = Answer::Fill;
    QMap<quint32, quint16> registers;
    ModbusBytes file = ModbusBytes::fromHex("1111222233334444");
    QString name = QStringLiteral("EK-TEST");
    quint32 lastIndexLabel = 99;
    TavrexBus::FunctionCode lastFunction = TavrexBus::UnknownFunction;
    quint8 lastUnit = 0;

private:
    bool take(Options &options, bool &handled)
    {
        lastUnit = options.requestAddress();
        if (answer == Answer::Ignore)
            return false;
        handled = true;
        if (answer == Answer::Exception)
            options.setAnswerExceptionCode(TavrexBus::IllegalDataAddress);
        return answer == Answer::Fill;
    }
};

// A client on its own thread talking to a server Modbuser on the test thread over a serial line
// made of two joined pseudo-terminals.
class Link
{
public:
    Link()
    {
        m_device.attach(m_server);
        if (!m_bridge.isValid())
            return;
        m_serverTransport = std::make_unique<ModbusSerialServer>(m_bridge.portA());
        m_clientTransport = std::make_unique<ModbusSerialClient>();
        m_clientTransport->setPort(m_bridge.portB());
        m_clientTransport->setReadTimeout(300);
        if (!m_serverTransport->connectTransport() || !m_clientTransport->connectTransport())
            return;
        m_server.translator().addTransport(*m_serverTransport, true, false);
        m_clientThread = std::make_unique<ClientThread>(*m_clientTransport);
        m_client = &m_clientThread->client();
    }

    bool isReady() const { return m_client; }
    Modbuser &server() { return m_server; }
    Modbuser &client() { return *m_client; }
    Device &device() { return m_device; }

    template <typename Op>
    auto run(Op op) { return runOn(*m_client, op); }

private:
    // Destroyed bottom up: the client thread and the transports go before the server Modbuser.
    Device m_device;
    Modbuser m_server;
    PtyBridge m_bridge;
    std::unique_ptr<ModbusSerialServer> m_serverTransport;
    std::unique_ptr<ModbusSerialClient> m_clientTransport;
    std::unique_ptr<ClientThread> m_clientThread;
    Modbuser *m_client = nullptr;
};

#endif
