#ifndef ENGINEFIXTURE_H
#define ENGINEFIXTURE_H

#include <TavrexBus1/modbusbytes.h>
#include <TavrexBus1/modbuser.h>
#include <TavrexBus1/modbusloopbackclient.h>
#include <TavrexBus1/modbusloopbackserver.h>
#include <TavrexBus1/modbusserialclient.h>
#include <TavrexBus1/modbusserialserver.h>
#include <TavrexBus1/modbustranslateoptions.h>

#include "ptybridge.h"

#include <QtCore/QMap>
#include <QtCore/QThread>
#include <QtTest/QTest>

#include <atomic>
#include <memory>

// How the device's handlers treat a request.
enum class Answer { Fill, Exception, Ignore };
Q_DECLARE_METATYPE(Answer)

enum class LinkKind { Loopback, Serial };
Q_DECLARE_METATYPE(LinkKind)

// Runs op on the thread of modbuser and returns its result, while this thread goes on serving.
template <typename Op>
auto runOn(Modbuser &modbuser, Op op) -> decltype(op(modbuser))
{
    decltype(op(modbuser)) result{};
    std::atomic_bool done{false};
    QMetaObject::invokeMethod(&modbuser, [&] {
        result = op(modbuser);
        done = true;
    }, Qt::QueuedConnection);
    if (!QTest::qWaitFor([&] { return done.load(); }, 30000))
        qFatal("a client operation did not come back");
    return result;
}

// A client Modbuser on a thread of its own, as the executor runs it; the caller keeps the transport alive.
class ClientThread
{
public:
    explicit ClientThread(ModbusTransport &transport);
    ~ClientThread();
    Modbuser &client() { return *m_client; }

private:
    QThread m_thread;
    Modbuser *m_client;
};

// A device behind a server Modbuser: registers, one file and an index and a time archive whose
// records are their own labels, so every answer can be predicted.
class Device : public QObject
{
    Q_OBJECT

public:
    Device();
    void attach(Modbuser &server);

    Answer answer = Answer::Fill;
    TavrexBus::ExceptionCode exception = TavrexBus::IllegalDataAddress;
    QMap<quint32, quint16> registers;
    ModbusBytes file = ModbusBytes::fromHex("1111222233334444");
    QString name = QStringLiteral("EK-TEST");
    quint32 lastIndexLabel = 99;
    TavrexBus::FunctionCode lastFunction = TavrexBus::UnknownFunction;
    quint8 lastUnit = 0;

private:
    bool take(ModbusTranslateOptions &options, bool &handled);
};

// A client on its own thread talking to a server Modbuser on the test thread, over a loopback
// pair or a serial line made of two joined pseudo-terminals.
class Link
{
public:
    explicit Link(LinkKind kind);
    ~Link();

    bool isReady() const { return m_client; }
    Modbuser &server() { return m_server; }
    Modbuser &client() { return *m_client; }
    Device &device() { return m_device; }
    QString unhandledError() const;

    template <typename Op>
    auto run(Op op) { return runOn(*m_client, op); }

private:
    LinkKind m_kind;
    Device m_device;
    Modbuser m_server;
    std::unique_ptr<PtyBridge> m_bridge;
    std::unique_ptr<ModbusTransport> m_serverTransport;
    std::unique_ptr<ModbusTransport> m_clientTransport;
    std::unique_ptr<ClientThread> m_clientThread;
    Modbuser *m_client = nullptr;
};

#endif
