#include "ptypair.h"
#include "rtuframe.h"
#include "signaltexts.h"

#include <TavrexBus1/modbusbytes.h>
#include <TavrexBus1/modbusserialclient.h>
#include <TavrexBus1/modbusserialserver.h>

#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

using namespace std::chrono_literals;

namespace {

const ModbusBytes request = rtuFrame("01 03 00 00 00 01");
const ModbusBytes answer = rtuFrame("01 03 02 00 2A");
const ModbusBytes second = rtuFrame("01 03 02 00 2B");

// A device on the master side of the pseudo-terminal, run beside the test.
class Device
{
public:
    template <typename F>
    explicit Device(F behaviour) : m_thread(behaviour) {}
    // Answers the expected request with reply (an empty one is silence), written in bursts cut at cuts.
    Device(PtyPair &pty, const QByteArray &reply, const QList<int> &cuts = {})
        : m_thread([&pty, reply, cuts] {
              if (pty.readExactly(request.size(), 5000) != request)
                  return;
              int from = 0;
              for (int cut : cuts + QList<int>{int(reply.size())}) {
                  pty.write(reply.mid(from, cut - from));
                  from = cut;
                  std::this_thread::sleep_for(5ms);
              }
          })
    {
    }
    ~Device() { m_thread.join(); }

private:
    std::thread m_thread;
};

void open(ModbusSerialClient &client, const PtyPair &pty, int readTimeout = 1000, int byteTimeout = 500)
{
    QVERIFY(pty.isValid());
    client.setPort(pty.portName());
    client.setReadTimeout(readTimeout);
    client.setByteTimeout(byteTimeout);
    QVERIFY2(client.connectTransport(false), qPrintable(client.errorString()));
}

bool exchange(ModbusSerialClient &client, ModbusBytes *reply, QString *error = nullptr)
{
    return client.sendBytes(request, client.target(), reply, error);
}

} // namespace

// The serial client and server, each on a pseudo-terminal whose master side plays the other end.
class tst_ModbusSerialClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // An answer is taken whole however it arrives; whatever the first exchange got, bytes that
    // arrive after it never answer the next request.
    void answerIsAssembledAndLateBytesAreDropped_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QList<int>>("cuts");
        QTest::addColumn<int>("readTimeout");
        QTest::addColumn<int>("byteTimeout");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QByteArray>("late");
        const QByteArray whole(answer);
        QTest::newRow("answer byte by byte") << whole << QList<int>{1, 2, 3, 4, 5, 6} << 1000 << 500 << ""
                                             << QByteArray();
        QTest::newRow("zero bytes") << QByteArray(3, '\0') << QList<int>{} << 100 << 20 << "read timeout"
                                    << QByteArray();
        QTest::newRow("answer after the timeout") << QByteArray() << QList<int>{} << 100 << 500 << "read timeout"
                                                  << whole;
        QTest::newRow("byte gap ends the answer")
            << whole.left(3) << QList<int>{} << 1000 << 30 << "" << whole.mid(3);
    }

    void answerIsAssembledAndLateBytesAreDropped()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QList<int>, cuts);
        QFETCH(int, readTimeout);
        QFETCH(int, byteTimeout);
        QFETCH(QString, error);
        QFETCH(QByteArray, late);
        PtyPair pty;
        ModbusSerialClient client;
        open(client, pty, readTimeout, byteTimeout);
        QSignalSpy received(&client, &Transport::bytesReceived);

        ModbusBytes got;
        QString firstError;
        const bool ok = [&] {
            Device device(pty, reply, cuts);
            return exchange(client, &got, &firstError);
        }();
        QCOMPARE(ok, error.isEmpty());
        QCOMPARE(firstError, error);
        QCOMPARE(received.count(), ok ? 1 : 0);
        if (ok) {
            QCOMPARE(got, ModbusBytes(reply));
            QCOMPARE(received.first().first().value<ModbusBytes>(), ModbusBytes(reply));
        }
        if (!late.isEmpty()) {
            pty.write(late);
            QTRY_VERIFY(client.bytesAvailable(client.target()) > 0);
        }
        Device device(pty, second);
        QVERIFY2(exchange(client, &got, &firstError), qPrintable(firstError));
        QCOMPARE(got, second);
    }

    // The device answers the first request after the read timeout, while the next one would be
    // on its way: its late answer must neither spoil the next exchange nor stand in for its answer.
    void lateAnswerNeverAnswersTheNextRequest_data()
    {
        QTest::addColumn<bool>("answersNext");
        QTest::newRow("next request answered") << true;
        QTest::newRow("next request unanswered") << false;
    }

    void lateAnswerNeverAnswersTheNextRequest()
    {
        QFETCH(bool, answersNext);
        PtyPair pty;
        ModbusSerialClient client;
        open(client, pty, 400, 20);
        Device device([&] {
            if (pty.readExactly(request.size(), 5000) != request)
                return;
            std::this_thread::sleep_for(600ms);
            pty.write(answer);
            if (pty.readExactly(request.size(), 5000) == request && answersNext)
                pty.write(second);
        });
        ModbusBytes reply;
        QString error;
        QVERIFY(!exchange(client, &reply, &error));
        QCOMPARE(error, QStringLiteral("read timeout"));
        error.clear();
        QCOMPARE(exchange(client, &reply, &error), answersNext);
        QCOMPARE(error, answersNext ? QString() : QStringLiteral("read timeout"));
        if (answersNext)
            QCOMPARE(reply, second);
    }

    void openFailureIsReported_data()
    {
        QTest::addColumn<bool>("busy");
        QTest::newRow("no such port") << false;
        QTest::newRow("port already open") << true;
    }

    void openFailureIsReported()
    {
        QFETCH(bool, busy);
        PtyPair pty;
        ModbusSerialClient holder;
        if (busy)
            open(holder, pty);
        const QString port = busy ? pty.portName() : QStringLiteral("/dev/tavrex-no-such-port");
        ModbusSerialClient client;
        client.setPort(port);
        QSignalSpy errors(&client, &ErrObject::error);
        QVERIFY(!client.connectTransport(false));
        QVERIFY(!client.connected());
        QCOMPARE(errors.count(), 1);
        const QString message = errors.first().first().toString();
        const QString prefix = QStringLiteral("error opening serial port %1: ").arg(port);
        QVERIFY2(message.startsWith(prefix) && message.size() > prefix.size(), qPrintable(message));
        if (busy) {
            holder.disconnectTransport();
            QVERIFY2(client.connectTransport(false), qPrintable(client.errorString()));
        }
    }

    void vanishingPortFailsExchangeAndRecovers()
    {
        auto pty = std::make_unique<PtyPair>();
        ModbusSerialClient client;
        open(client, *pty);
        const QString lostPort = pty->portName();
        ModbusBytes reply;
        QString error;
        {
            Device device([&] {
                pty->readExactly(request.size(), 5000);
                pty->closeMaster();
            });
            QVERIFY(!exchange(client, &reply, &error));
        }
        QVERIFY2(error.startsWith(QStringLiteral("serial port %1 lost: ").arg(lostPort)), qPrintable(error));
        QTRY_VERIFY(!client.connected());

        // The link keeps trying; once it is pointed at a device that exists it comes back.
        PtyPair replacement;
        client.setPort(replacement.portName());
        QTRY_VERIFY(client.connected());
        Device device(replacement, answer);
        QVERIFY2(exchange(client, &reply, &error), qPrintable(error));
        QCOMPARE(reply, answer);
    }

    void callsFromAnotherThreadAreRefused_data()
    {
        using Call = std::function<bool(ModbusSerialClient &)>;
        QTest::addColumn<Call>("call");
        QTest::newRow("connectTransport") << Call([](ModbusSerialClient &c) { return c.connectTransport(false); });
        QTest::newRow("disconnectTransport") << Call([](ModbusSerialClient &c) { return c.disconnectTransport(); });
        QTest::newRow("setBaudRate") << Call([](ModbusSerialClient &c) { c.setBaudRate(9600); return false; });
        QTest::newRow("setPort") << Call([](ModbusSerialClient &c) { c.setPort("/dev/null"); return false; });
    }

    void callsFromAnotherThreadAreRefused()
    {
        QFETCH(std::function<bool(ModbusSerialClient &)>, call);
        PtyPair pty;
        ModbusSerialClient client;
        client.setPort(pty.portName());
        QSignalSpy errors(&client, &ErrObject::error);
        bool result = false;
        std::thread([&] { result = call(client); }).join();
        QVERIFY(!result);
        QVERIFY(errors.wait());
        QCOMPARE(errors.first().first().toString(), QStringLiteral("this method can be run only in owned thread"));
        QVERIFY(!client.connected());
        QCOMPARE(client.baudRate(), 19200);
        QCOMPARE(client.port(), pty.portName());
    }

    void concurrentExchangesAreSerialised()
    {
        PtyPair pty;
        ModbusSerialClient client;
        // The device answers in one write, so a short gap ends each answer and keeps the test quick.
        open(client, pty, 1000, 20);
        client.setSendDelay(0);
        constexpr int perThread = 25;
        // A request garbled by another one leaves this and all later exchanges unanswered.
        Device device([&] {
            for (int i = 0; i < 2 * perThread; ++i) {
                const ModbusBytes incoming(pty.readExactly(8, 5000));
                if (incoming.size() != 8 || !incoming.checkCrc16())
                    return;
                // The answer carries the asking unit, so each sender can check it got its own.
                ModbusBytes reply(answer.left(5));
                reply[0] = incoming[0];
                reply.appendUInt16(qChecksumModbus(reply, 0, 0));
                pty.write(reply);
            }
        });
        std::atomic<int> mismatches{0};
        const auto sender = [&](char unit) {
            ModbusBytes ask = request.left(6);
            ask[0] = unit;
            ask.appendUInt16(qChecksumModbus(ask, 0, 0));
            for (int i = 0; i < perThread; ++i) {
                ModbusBytes reply;
                if (!client.sendBytes(ask, client.target(), &reply, nullptr) || reply.at(0) != unit)
                    ++mismatches;
            }
        };
        std::thread first(sender, char(1));
        std::thread other(sender, char(2));
        first.join();
        other.join();
        QCOMPARE(mismatches.load(), 0);
    }

    void exchangesKeepSendDelay()
    {
        PtyPair pty;
        ModbusSerialClient client;
        open(client, pty, 1000, 5);
        client.setSendDelay(80);
        qint64 gap = -1;
        {
            Device device([&] {
                QElapsedTimer sinceAnswer;
                for (int i = 0; i < 2; ++i) {
                    if (pty.readExactly(request.size(), 5000) != request)
                        return;
                    if (sinceAnswer.isValid())
                        gap = sinceAnswer.elapsed();
                    pty.write(answer);
                    sinceAnswer.start();
                }
            });
            ModbusBytes reply;
            QVERIFY(exchange(client, &reply));
            QVERIFY(exchange(client, &reply));
        }
        QVERIFY2(gap >= 80, qPrintable(QString::number(gap)));
    }

    // Delays follow the line speed until set; rates and delays that make no sense are refused.
    void delaysFollowLineSpeedUntilSet()
    {
        ModbusSerialClient client;
        client.setBaudRate(1200);
        QCOMPARE(client.byteTimeout(), 240);
        QCOMPARE(client.rtsDelay(), 10);
        client.setBaudRate(115200);
        QCOMPARE(client.byteTimeout(), 2);
        QCOMPARE(client.rtsDelay(), 2);
        client.setBaudRate(0);
        client.setBaudRate(-9600);
        QCOMPARE(client.baudRate(), 115200);

        client.setByteTimeout(50);
        client.setRtsDelay(0);
        client.setBaudRate(1200);
        QCOMPARE(client.byteTimeout(), 50);
        QCOMPARE(client.rtsDelay(), 1);
        QCOMPARE(client.computedByteTimeout(), 240);
        client.setByteTimeout(0);
        QCOMPARE(client.byteTimeout(), 1);

        // The guard after a read timeout follows readTimeout until set, and again after a reset.
        QSignalSpy guard(&client, &ModbusSerialTransport::guardTimeChanged);
        client.setGuardTime(0);
        client.setReadTimeout(200);
        QCOMPARE(client.guardTime(), 0);
        client.resetGuardTime();
        client.setReadTimeout(300);
        QCOMPARE(client.guardTime(), 300);
        QCOMPARE(guard.count(), 3);
    }

    // A port without modem lines still opens, and sends without direction control; it takes only
    // its own target.
    void portWithoutModemLinesServesItsOwnTarget()
    {
        PtyPair pty;
        ModbusSerialClient client;
        client.setPort(pty.portName());
        client.setDtr(true);
        QSignalSpy errors(&client, &ErrObject::error);
        QVERIFY2(client.connectTransport(false), qPrintable(client.errorString()));
        QVERIFY(client.controlRts());
        Device device(pty, answer);
        ModbusBytes reply;
        QVERIFY2(exchange(client, &reply), qPrintable(client.errorString()));
        QCOMPARE(reply, answer);
        ModbusTarget stranger;
        QString error;
        QVERIFY(!client.sendBytes(request, &stranger, nullptr, &error));
        QCOMPARE(error, QStringLiteral("incorrect target to send bytes"));
        QCOMPARE(client.bytesAvailable(&stranger), 0);
        QCOMPARE(signalTexts(errors),
                 (QStringList{"can't set 'dtr' property to: 1\n", "unknown target, bytes available will be 0"}));
    }

    // Each request is taken whole however it is split, and answered once; an empty answer leaves it
    // unanswered, so the first bytes the device then sees are those of the next answer.
    void requestOnLineIsAnswered_data()
    {
        QTest::addColumn<QList<ModbusBytes>>("requests");
        QTest::addColumn<QList<ModbusBytes>>("answers");
        QTest::addColumn<int>("cut");
        const ModbusBytes write = rtuFrame("11 10 00 01 00 02 04 00 0A 01 02");
        QTest::newRow("read registers, split, twice") << QList<ModbusBytes>{request, request}
                                                      << QList<ModbusBytes>{answer, answer} << 3;
        QTest::newRow("write registers, split, twice") << QList<ModbusBytes>{write, write}
                                                       << QList<ModbusBytes>{answer, answer} << 7;
        QTest::newRow("first one unanswered") << QList<ModbusBytes>{request, rtuFrame("02 03 00 00 00 01")}
                                              << QList<ModbusBytes>{ModbusBytes(), rtuFrame("02 03 02 00 01")} << 3;
    }

    void requestOnLineIsAnswered()
    {
        QFETCH(QList<ModbusBytes>, requests);
        QFETCH(QList<ModbusBytes>, answers);
        QFETCH(int, cut);
        PtyPair pty;
        QVERIFY(pty.isValid());
        ModbusSerialServer server(pty.portName());
        // Generous, so that a loaded machine cannot stretch a split request into a frame gap, and so
        // that a server still listening after its answer would swallow the next request.
        server.setByteTimeout(1000);
        server.setReadTimeout(60000);
        QVERIFY2(server.connectTransport(false), qPrintable(server.errorString()));
        QList<ModbusBytes> taken;
        connect(&server, &Transport::requestBytesReceived, this,
                [&](ModbusBytes bytes, const Target *target, ModbusBytes *answerBytes) {
                    QCOMPARE(target, server.target());
                    taken.append(bytes);
                    *answerBytes = answers.value(taken.size() - 1);
                });
        QSignalSpy received(&server, &Transport::bytesReceived);
        for (int i = 0; i < requests.size(); ++i) {
            QVERIFY(pty.write(requests.at(i).left(cut)));
            QVERIFY(pty.write(requests.at(i).mid(cut)));
            QTRY_COMPARE(taken.count(), i + 1);
            QCOMPARE(taken.last(), requests.at(i));
            QCOMPARE(received.count(), i + 1);
            if (!answers.at(i).isEmpty())
                QCOMPARE(pty.readExactly(answers.at(i).size(), 5000), QByteArray(answers.at(i)));
        }
    }
};

QTEST_MAIN(tst_ModbusSerialClient)
#include "tst_modbusserialclient.moc"
