#include "simulateddevice.h"
#include "threadcall_p.h"

#include <TavrexBus1/modbusclient.h>
#include <TavrexBus1/modbustransporter.h>
#include <TavrexBus1/modbustranslator.h>
#include <TavrexBus1/modbusuint16.h>
#include <TavrexBus1/qserialportinvokable.h>
#include <TavrexBus1/qtcpsocketinvokable.h>

#include <QtCore/qsemaphore.h>
#include <QtCore/qthread.h>
#include <QtTest/qtest.h>

#include <functional>

namespace {

const ModbusBytes rtuRequest = ModbusBytes::fromModbusString(QStringLiteral("01 03 00 00 00 01 84 0A"));
const ModbusBytes tcpRequest = ModbusBytes::fromModbusString(QStringLiteral("00 01 00 00 00 06 01 03 00 00 00 01"));

// Each scenario puts the call's target on a thread that does not run, makes the call and returns what
// its caller is told; a server path, which has nobody to tell, logs it.
using Scenario = std::function<QString(QThread &idle)>;

QString tcpSocketExchange(QThread &idle)
{
    QTcpSocketInvokable socket;
    socket.moveToThread(&idle);
    QString error;
    return socket.exchangeFrame(tcpRequest, 100, 100, &error).isEmpty() ? error : QString();
}

QString serialPortOpen(QThread &idle)
{
    QSerialPortInvokable port(QStringLiteral("/dev/null"));
    port.moveToThread(&idle);
    return port.open(QIODevice::ReadWrite) ? QString() : port.errString();
}

QString loopbackExchange(QThread &idle)
{
    ModbusLoopbackServer server;
    server.connectTransport();
    ModbusLoopbackClient link(server);
    link.connectTransport();
    server.moveToThread(&idle);
    ModbusBytes answer;
    QString error;
    return link.sendBytes(rtuRequest, link.clientTarget(), &answer, &error) ? QString() : error;
}

// A request raised on this thread must cross to the transporter, or past it to the translator.
QString serverRequest(QThread &idle, bool translatorAway)
{
    ModbusLoopbackServer server;
    server.connectTransport();
    ModbusTransporter transporter;
    transporter.addTransport(server);
    ModbusTranslator translator;
    translator.setTransporter(transporter);
    (translatorAway ? static_cast<QObject &>(translator) : transporter).moveToThread(&idle);
    ModbusBytes answer;
    return server.emulateBytesReceived(rtuRequest, answer) && answer.isEmpty() ? QString() : QStringLiteral("?");
}

// The executor thread is the client's own: it is found through an exchange and stopped by hand.
QString clientSynchronousRead(QThread &)
{
    QThread deviceThread;
    auto *device = new SimulatedDevice;
    device->moveToThread(&deviceThread);
    QObject::connect(&deviceThread, &QThread::finished, device, &QObject::deleteLater);
    deviceThread.start();
    QString error;
    {
        ModbusLoopbackClient link(*device->server());
        link.connectTransport();
        ModbusClient client;
        client.setTransport(&link);
        auto *item = new ModbusUInt16(400001, &client);
        item->setClient(&client);
        QThread *executorThread = nullptr;
        QObject::connect(&link, &Transport::bytesReceived, &link,
                         [&executorThread] { executorThread = QThread::currentThread(); }, Qt::DirectConnection);
        if (item->readSync() && executorThread) {
            executorThread->quit();
            executorThread->wait();
            error = item->readSync() ? QString() : item->errorString();
            executorThread->start();
        }
    }
    deviceThread.quit();
    deviceThread.wait();
    return error;
}

} // namespace

Q_DECLARE_METATYPE(Scenario)

class tst_ThreadCall : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void callToAThreadThatIsNotRunningFails_data()
    {
        QTest::addColumn<Scenario>("scenario");
        QTest::addColumn<QString>("told");
        QTest::addColumn<QString>("logged");
        const auto notRunning = [](const char *className) {
            return QStringLiteral("the thread of %1 is not running").arg(QLatin1String(className));
        };
        const QString unanswered = QStringLiteral("request left unanswered: ");
        QTest::newRow("TCP socket") << Scenario(tcpSocketExchange) << notRunning("QTcpSocketInvokable") << "";
        QTest::newRow("serial port") << Scenario(serialPortOpen) << notRunning("QSerialPortInvokable") << "";
        QTest::newRow("loopback server") << Scenario(loopbackExchange) << notRunning("ModbusLoopbackServer") << "";
        QTest::newRow("transporter") << Scenario([](QThread &idle) { return serverRequest(idle, false); }) << ""
                                     << unanswered + notRunning("Transporter");
        QTest::newRow("translator") << Scenario([](QThread &idle) { return serverRequest(idle, true); }) << ""
                                    << unanswered + notRunning("ModbusTranslator");
        QTest::newRow("client executor") << Scenario(clientSynchronousRead) << notRunning("ModbusClientExecutor") << "";
    }

    void callToAThreadThatIsNotRunningFails()
    {
        QFETCH(Scenario, scenario);
        QFETCH(QString, told);
        QFETCH(QString, logged);
        if (!logged.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, qPrintable(logged));
        QThread idle;
        QCOMPARE(scenario(idle), told);
    }

    // The thread quits while the call is on its way: the call runs whole, or never, even once it runs again.
    void callToAStoppingThreadRunsWholeOrNever()
    {
        QThread thread;
        QObject target;
        target.moveToThread(&thread);
        int runs = 0;
        int successes = 0;
        QSemaphore quitting;
        for (int round = 0; round < 50; ++round) {
            thread.start();
            postToOwnerThread(&target, [&] {
                quitting.release();
                thread.quit();
            });
            // Posted while the thread quits, a call is mostly left behind; posted beside it, mostly run.
            if (round % 2 == 0)
                quitting.acquire();
            QString error;
            if (callOnOwnerThread(&target, [&runs] { ++runs; }, &error))
                ++successes;
            else
                QCOMPARE(error, QStringLiteral("the thread of QObject is not running"));
            thread.wait();
            quitting.tryAcquire();
        }
        thread.start();
        QVERIFY(callOnOwnerThread(&target, [] {}));
        thread.quit();
        thread.wait();
        QCOMPARE(runs, successes);
    }
};

QTEST_GUILESS_MAIN(tst_ThreadCall)
#include "tst_threadcall.moc"
