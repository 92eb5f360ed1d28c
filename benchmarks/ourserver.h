#ifndef OURSERVER_H
#define OURSERVER_H

#include <TavrexBus1/modbusbytes.h>
#include <TavrexBus1/modbuser.h>
#include <TavrexBus1/modbustranslateoptions.h>
#include <TavrexBus1/modbustranslator.h>

#include <QtCore/QThread>

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
        QObject::connect(m_modbuser, &Modbuser::onReadRegisters, m_modbuser,
                         [](quint32, quint16 count, ModbusBytes &out, ModbusTranslateOptions &, bool &handled) {
                             out = ModbusBytes::fromRegsCount(count, 0x1234);
                             handled = true;
                         });
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

#endif
