#include "ptypair.h"
#include "rtuframe.h"

#include <TavrexBus1/modbusbytes.h>
#include <TavrexBus1/modbusserialserver.h>

#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

namespace {

const ModbusBytes request = rtuFrame("01 03 00 00 00 01");
const ModbusBytes answer = rtuFrame("01 03 02 00 2A");

} // namespace

class tst_ModbusSerialServer : public QObject
{
    Q_OBJECT

    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<ModbusSerialServer> m_server;
    QList<ModbusBytes> m_requests;
    // The answers given to the requests in turn; an empty one leaves the request unanswered.
    QList<ModbusBytes> m_answers;

private Q_SLOTS:
    void init()
    {
        m_pty = std::make_unique<PtyPair>();
        QVERIFY(m_pty->isValid());
        m_requests.clear();
        m_answers = {answer, answer, answer};
        m_server = std::make_unique<ModbusSerialServer>(m_pty->portName());
        m_server->setReadTimeout(50);
        QVERIFY2(m_server->connectTransport(false), qPrintable(m_server->errorString()));
        connect(m_server.get(), &Transport::requestBytesReceived, this,
                [this](ModbusBytes bytes, const Target *target, ModbusBytes *answerBytes) {
                    QCOMPARE(target, m_server->target());
                    m_requests.append(bytes);
                    *answerBytes = m_answers.value(m_requests.size() - 1);
                });
    }

    void cleanup()
    {
        m_server.reset();
        m_pty.reset();
    }

    void requestOnLineIsAnswered_data()
    {
        QTest::addColumn<ModbusBytes>("request");
        QTest::addColumn<int>("cut");
        QTest::newRow("read registers, split") << request << 3;
        QTest::newRow("write registers, split") << rtuFrame("11 10 00 01 00 02 04 00 0A 01 02") << 7;
    }

    void requestOnLineIsAnswered()
    {
        QFETCH(ModbusBytes, request);
        QFETCH(int, cut);
        // Generous, so that a loaded machine cannot stretch a split request into a frame gap.
        m_server->setByteTimeout(1000);
        QSignalSpy received(m_server.get(), &Transport::bytesReceived);
        QVERIFY(m_pty->write(request.left(cut)));
        QVERIFY(m_pty->write(request.mid(cut)));
        QTRY_COMPARE(m_requests.count(), 1);
        QCOMPARE(m_requests.first(), request);
        QCOMPARE(received.count(), 1);
        QCOMPARE(m_pty->readExactly(answer.size(), 5000), QByteArray(answer));
    }

    void unansweredRequestWritesNothing()
    {
        m_answers = {ModbusBytes(), rtuFrame("02 03 02 00 01")};
        QVERIFY(m_pty->write(request));
        QTRY_COMPARE(m_requests.count(), 1);
        QVERIFY(m_pty->write(rtuFrame("02 03 00 00 00 01")));
        QTRY_COMPARE(m_requests.count(), 2);
        // The first bytes the device sees are those of the second answer.
        QCOMPARE(m_pty->readExactly(7, 5000), QByteArray(rtuFrame("02 03 02 00 01")));
    }

    void requestRightAfterAnAnswerIsServed()
    {
        // Long enough that a server still listening after its answer would swallow the next request.
        m_server->setReadTimeout(60000);
        for (int i = 1; i <= 3; ++i) {
            QVERIFY(m_pty->write(request));
            QTRY_COMPARE(m_requests.count(), i);
            QCOMPARE(m_pty->readExactly(answer.size(), 5000), QByteArray(answer));
        }
    }
};

QTEST_MAIN(tst_ModbusSerialServer)
#include "tst_modbusserialserver.moc"
