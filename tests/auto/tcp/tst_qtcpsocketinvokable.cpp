#include <TavrexBus1/qtcpsocketinvokable.h>

#include <QtCore/QThread>
#include <QtNetwork/QTcpServer>
#include <QtTest/QTest>

#include <memory>

// The socket lives on a thread of its own, as in the TCP client; the test thread drives it the way
// the client's owner and request threads do, while a plain peer on the test thread answers.
class tst_QTcpSocketInvokable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void connectsFromAnotherThread();
    void writeAndWaitNeedsAnAnswer();
    void exchangeFrameSkipsOtherTransactions();
    void plainWriteIsRefused();
    void waitsReturnAtOnceInTheirState();

private:
    template <typename F>
    auto offThread(F function);

    QThread m_socketThread;
    QTcpServer m_peerServer;
    QTcpSocket *m_peer = nullptr;
    QTcpSocketInvokable *m_socket = nullptr;
};

// Runs function on a worker while the test thread keeps its peer going.
template <typename F>
auto tst_QTcpSocketInvokable::offThread(F function)
{
    decltype(function()) result{};
    std::unique_ptr<QThread> worker(QThread::create([&] { result = function(); }));
    worker->start();
    if (!QTest::qWaitFor([&] { return worker->isFinished(); }, 20000))
        qFatal("call did not return");
    worker->wait();
    return result;
}

void tst_QTcpSocketInvokable::init()
{
    m_socketThread.start();
    QVERIFY(m_peerServer.listen(QHostAddress::LocalHost, 0));
    m_socket = new QTcpSocketInvokable;
    m_socket->moveToThread(&m_socketThread);
    m_socket->connectToHost(QHostAddress::LocalHost, m_peerServer.serverPort(), QIODevice::ReadWrite);
    QVERIFY(m_socket->waitForConnected(5000));
    QVERIFY(m_peerServer.hasPendingConnections() || m_peerServer.waitForNewConnection(5000));
    m_peer = m_peerServer.nextPendingConnection();
    QVERIFY(m_peer);
}

void tst_QTcpSocketInvokable::cleanup()
{
    m_socket->deleteLater();
    m_socket = nullptr;
    m_socketThread.quit();
    m_socketThread.wait();
    m_peerServer.close();
}

void tst_QTcpSocketInvokable::connectsFromAnotherThread()
{
    QCOMPARE(m_socket->thread(), &m_socketThread);
    QCOMPARE(m_socket->peerPort(), m_peerServer.serverPort());
    QCOMPARE(m_socket->peerAddress(), QHostAddress(QHostAddress::LocalHost));
    QCOMPARE(m_socket->localPort(), m_peer->peerPort());
    QCOMPARE(m_socket->bytesAvailable(), qint64(0));
}

void tst_QTcpSocketInvokable::writeAndWaitNeedsAnAnswer()
{
    connect(m_peer, &QTcpSocket::readyRead, this, [this] {
        if (m_peer->readAll() == "ping")
            m_peer->write("pong");
    });
    QVERIFY(offThread([this] { return m_socket->writeAndWait(QByteArray("ping"), 1000, 5000); }));
    QCOMPARE(QByteArray(m_socket->readAll()), QByteArray("pong"));
    QVERIFY(!offThread([this] { return m_socket->writeAndWait(QByteArray("silence"), 1000, 100); }));
}

void tst_QTcpSocketInvokable::exchangeFrameSkipsOtherTransactions()
{
    const ModbusBytes request(QByteArray::fromHex("002A00000006010300000001"));
    const QByteArray stale = QByteArray::fromHex("0029000000050103020007");
    const QByteArray answer = QByteArray::fromHex("002A00000005010302002A");
    connect(m_peer, &QTcpSocket::readyRead, this, [&] {
        m_peer->readAll();
        m_peer->write(stale + answer);
    });
    QString error;
    const ModbusBytes got = offThread([&] { return m_socket->exchangeFrame(request, 1000, 5000, &error); });
    QVERIFY2(!got.isEmpty(), qPrintable(error));
    QCOMPARE(QByteArray(got), answer);
}

void tst_QTcpSocketInvokable::plainWriteIsRefused()
{
    QTest::ignoreMessage(QtWarningMsg, "this function is not supported in QTcpSocketInvokable");
    QCOMPARE(m_socket->write(ModbusBytes(QByteArray("x"))), qint64(-1));
}

void tst_QTcpSocketInvokable::waitsReturnAtOnceInTheirState()
{
    QVERIFY(m_socket->waitForConnected(0));
    m_peer->disconnectFromHost();
    m_socket->disconnectFromHost();
    QVERIFY(m_socket->waitForDisconnected(5000));
    QVERIFY(m_socket->waitForDisconnected(0));
    QVERIFY(!m_socket->waitForConnected(0));
}

QTEST_GUILESS_MAIN(tst_QTcpSocketInvokable)
#include "tst_qtcpsocketinvokable.moc"
