#ifndef OURSERVER_H
#define OURSERVER_H

#include <TavrexBus1/modbusbytes.h>
#include <TavrexBus1/modbuser.h>
#include <TavrexBus1/modbustranslateoptions.h>
#include <TavrexBus1/modbustranslator.h>
#include <TavrexBus1/modbustransport.h>

#include <QtCore/QThread>

#include <benchmark/benchmark.h>

// Lets modbuser answer every read of registers at once, with 0x1234 in each: the least a server's
// application can do, so that what is measured is the way there and back.
inline void answerEveryRead(Modbuser &modbuser)
{
    QObject::connect(&modbuser, &Modbuser::onReadRegisters, &modbuser,
                     [](quint32, quint16 count, ModbusBytes &out, ModbusTranslateOptions &, bool &handled) {
                         out = ModbusBytes::fromRegsCount(count, 0x1234);
                         handled = true;
                     });
}

// Our server of one kind, answering on a thread of its own as a QML application's thread would.
template <typename Server>
class OurServer
{
public:
    OurServer()
    {
        m_thread.start();
        m_modbuser = new Modbuser;
        m_server = new Server(0, m_modbuser);
        m_server->setAddress(QHostAddress::LocalHost);
        m_modbuser->translator().addTransport(*m_server, true, false);
        answerEveryRead(*m_modbuser);
        m_modbuser->moveToThread(&m_thread);
        QMetaObject::invokeMethod(m_server, [this] { m_server->connectTransport(false); },
                                  Qt::BlockingQueuedConnection);
    }
    ~OurServer()
    {
        QMetaObject::invokeMethod(m_modbuser, [this] { delete m_modbuser; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    int port() const { return m_server->port(); }
    // Runs work with the server on the server's thread and returns what it returns.
    template <typename Work>
    auto onServer(Work work)
    {
        decltype(work(*m_server)) result{};
        QMetaObject::invokeMethod(m_server, [&] { result = work(*m_server); }, Qt::BlockingQueuedConnection);
        return result;
    }

private:
    QThread m_thread;
    Modbuser *m_modbuser = nullptr;
    Server *m_server = nullptr;
};

// Makes client, made without a parent, modbuser's transport, reconnecting never by itself; when it
// cannot connect, skips the benchmark.
inline bool connectOurClient(benchmark::State &state, Modbuser &modbuser, ModbusTransport *client)
{
    client->setParent(&modbuser);
    client->setAutoReconnect(false);
    modbuser.setClientTransport(client);
    if (client->connectTransport(false))
        return true;
    state.SkipWithError(client->errorString().toUtf8().constData());
    return false;
}

// One read of registers holding registers from 400001 on per iteration; when one fails, skips the
// benchmark and gives false.
inline bool readEachIteration(benchmark::State &state, Modbuser &modbuser, int registers)
{
    ModbusBytes values;
    for (auto _ : state) {
        if (!modbuser.readRegisters(400001, quint16(registers), values)) {
            state.SkipWithError(modbuser.errorString().toUtf8().constData());
            return false;
        }
    }
    return true;
}

#endif
