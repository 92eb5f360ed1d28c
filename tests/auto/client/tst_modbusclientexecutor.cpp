#include "simulateddevice.h"

#include <TavrexBus1/tavrexbus1.h>

#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>

#include <memory>

using Request = SimulatedDevice::Request;

// The executor, its task server and the device share the test's thread here, so every exchange
// completes inside the call that starts it.
class tst_ModbusClientExecutor : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimulatedDevice> m_device;
    std::unique_ptr<ModbusLoopbackClient> m_link;
    std::unique_ptr<ModbusTaskServer> m_server;
    std::unique_ptr<ModbusClientExecutor> m_executor;

private Q_SLOTS:
    void init()
    {
        m_device = std::make_unique<SimulatedDevice>();
        m_link = std::make_unique<ModbusLoopbackClient>(*m_device->server());
        QVERIFY(m_link->connectTransport());
        m_server = std::make_unique<ModbusTaskServer>();
        m_executor = std::make_unique<ModbusClientExecutor>(*m_server);
        m_executor->setTransport(m_link.get());
        for (quint32 i = 0; i < 400; ++i)
            m_device->setRegister(400001 + i, int(1000 + i));
    }

    void cleanup()
    {
        m_executor.reset();
        m_server.reset();
        m_link.reset();
        m_device.reset();
    }

    // Reads start at 400001, writes at 400011; every request continues where the last one ended.
    void registersAreSplitAtTheLimit_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("registers");
        QTest::addColumn<QList<int>>("functions");
        QTest::addColumn<QList<int>>("counts");
        QTest::newRow("long read") << false << 300 << QList<int>{3, 3, 3} << QList<int>{122, 122, 56};
        QTest::newRow("write one register") << true << 1 << QList<int>{6} << QList<int>{1};
        QTest::newRow("write at the limit") << true << 122 << QList<int>{16} << QList<int>{122};
        QTest::newRow("write over the limit") << true << 250 << QList<int>{16, 16, 16} << QList<int>{122, 122, 6};
    }

    void registersAreSplitAtTheLimit()
    {
        QFETCH(bool, write);
        QFETCH(int, registers);
        QFETCH(QList<int>, functions);
        QFETCH(QList<int>, counts);
        const quint32 first = write ? 400011 : 400001;
        ModbusUInt16 item(first);
        item.setCount(registers);
        ModbusBytesArray values;
        for (int i = 0; write && i < registers; ++i)
            values.append(ModbusBytes::fromUInt16(quint16(7000 + i)));
        ModbusTaskAddressed task = write ? ModbusTaskAddressed(item, values) : ModbusTaskAddressed(item, 0);
        QSignalSpy parts(m_executor.get(), &ModbusClientExecutor::taskPartialExecuted);
        m_executor->executeTask(&task);
        QCOMPARE(task.state(), TavrexBus::TaskDone);
        QList<int> sentFunctions, sentCounts;
        quint32 next = first;
        for (const Request &request : m_device->requests()) {
            sentFunctions.append(request.function);
            sentCounts.append(request.count);
            QCOMPARE(request.address, next);
            next += quint32(request.count);
        }
        QCOMPARE(sentFunctions, functions);
        QCOMPARE(sentCounts, counts);
        QCOMPARE(parts.count(), counts.size() - 1);
        QCOMPARE(task.firstBytes().size(), registers);
        for (int i : {0, qMin(122, registers - 1), registers - 1}) {
            const int value = write ? m_device->reg(first + quint32(i)) : task.firstBytes().at(i).toUInt16(0);
            QCOMPARE(value, (write ? 7000 : 1000) + i);
        }
    }

    // A silent device is asked as often as the retries allow; an answer ends the retries.
    void failedTaskIsRetried()
    {
        m_executor->setRetries(3);
        m_device->setSilent(true);
        ModbusUInt16 item(400001);
        ModbusTaskAddressed unanswered(item, 0);
        m_executor->executeTask(&unanswered);
        QCOMPARE(unanswered.state(), TavrexBus::TaskFailed);
        QVERIFY(!unanswered.errorString().isEmpty());
        QCOMPARE(m_device->requestCount(), 3);
        m_device->setSilent(false);
        ModbusTaskAddressed answered(item, 0);
        m_executor->executeTask(&answered);
        QCOMPARE(answered.state(), TavrexBus::TaskDone);
        QCOMPARE(m_device->requestCount(), 4);
    }

    void abortEndsALongTaskBetweenParts_data()
    {
        QTest::addColumn<bool>("all");
        QTest::addColumn<bool>("otherItem");
        QTest::addColumn<int>("state");
        QTest::newRow("this item") << false << false << int(TavrexBus::TaskAborted);
        QTest::newRow("everything") << true << false << int(TavrexBus::TaskAborted);
        QTest::newRow("another item") << false << true << int(TavrexBus::TaskDone);
    }

    void abortEndsALongTaskBetweenParts()
    {
        QFETCH(bool, all);
        QFETCH(bool, otherItem);
        QFETCH(int, state);
        ModbusUInt16 item(400001);
        ModbusUInt16 other(400001);
        item.setCount(300);
        ModbusTaskAddressed task(item, 0);
        m_executor->setRetries(3);
        connect(m_executor.get(), &ModbusClientExecutor::taskPartialExecuted, this, [&] {
            if (all)
                m_executor->abortExecutingAll();
            else
                m_executor->abortExecuting(otherItem ? &other : &item);
        });
        m_executor->executeTask(&task);
        QCOMPARE(int(task.state()), state);
        if (task.state() == TavrexBus::TaskAborted) {
            QCOMPARE(task.errorString(), QStringLiteral("aborted"));
            QCOMPARE(m_device->requestCount(), 1);
        }
    }

    void coilsAreNotImplemented()
    {
        ModbusUInt16 item(1);
        ModbusTaskAddressed task(item, 0);
        m_executor->executeTask(&task);
        QCOMPARE(task.state(), TavrexBus::TaskFailed);
        QCOMPARE(task.errorString(), QStringLiteral("Not implemented"));
        QCOMPARE(m_device->requestCount(), 0);
    }

    void fileMovesInBlocks_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("blockSize");
        QTest::addColumn<QList<int>>("counts");
        QTest::newRow("read, default blocks") << false << 0 << QList<int>{122, 28};
        QTest::newRow("read, blocks of 50") << false << 50 << QList<int>{50, 50, 50};
        QTest::newRow("read, blocks above the limit") << false << 500 << QList<int>{122, 28};
        QTest::newRow("write, blocks of 40") << true << 40 << QList<int>{40, 40, 20};
    }

    void fileMovesInBlocks()
    {
        QFETCH(bool, write);
        QFETCH(int, blockSize);
        QFETCH(QList<int>, counts);
        ModbusFile file;
        file.setLength(write ? 200 : 300);
        file.setOffset(3);
        file.setModbusBlockSize(blockSize);
        const ModbusBytes data(QByteArray(200, '\x5a'));
        std::unique_ptr<ModbusTask> task(file.createModbusTask(write ? TavrexBus::WriteTask : TavrexBus::ReadTask, 0));
        if (write)
            task->setBytes(ModbusBytesArray{data});
        m_executor->executeTask(task.get());
        QCOMPARE(task->state(), TavrexBus::TaskDone);
        QList<int> sent;
        for (const Request &request : m_device->requests())
            sent.append(request.count);
        QCOMPARE(sent, counts);
        QCOMPARE(m_device->requests().first().address, 3u);
        if (write)
            QCOMPARE(ModbusBytes::fromOther(m_device->file(), 6, 200), data);
        else
            QCOMPARE(ModbusBytes::fromList(task->firstBytes()), ModbusBytes::fromOther(m_device->file(), 6, 300));
    }

    void archiveRecordsAreReadInParts()
    {
        QList<QPair<quint32, int>> asked;
        connect(&m_device->modbuser(), &Modbuser::onReadIndexArchRecords, this,
                [&asked](quint16, quint32 label, TavrexBus::ArchDirection, quint16 count, QList<ModbusBytes> &out,
                         ModbusTranslateOptions &, bool &handled) {
                    asked.append({label, count});
                    for (quint32 i = 0; i < count; ++i)
                        out.append(ModbusBytes::fromUInt32(label + i));
                    handled = true;
                });
        m_executor->setMaxArchRecords(4);
        ModbusUInt16 record(400001);
        record.setCount(10);
        ModbusTaskArchRecord65 task(record, 100, 0);
        task.setArchType(TavrexBus::IndexArch);
        QSignalSpy parts(m_executor.get(), &ModbusClientExecutor::taskPartialExecuted);
        m_executor->executeTask(&task);
        QCOMPARE(task.state(), TavrexBus::TaskDone);
        QCOMPARE(asked, (QList<QPair<quint32, int>>{{100, 4}, {104, 4}, {108, 2}}));
        QCOMPARE(parts.count(), 2);
        QCOMPARE(task.firstBytes().size(), 10);
        QCOMPARE(task.firstBytes().last().toUInt32(0), 109u);
    }

    // The device holds index labels 10 to 20; a part repeats the last label of the one before.
    void archiveLabelsAreReadInOverlappingParts()
    {
        QList<QPair<quint32, int>> asked;
        connect(&m_device->modbuser(), &Modbuser::onReadIndexArchPresence, this,
                [&asked](quint16, quint32 label, TavrexBus::ArchDirection, quint16 count, QList<quint32> &out,
                         ModbusTranslateOptions &, bool &handled) {
                    asked.append({label, count});
                    for (quint32 i = 0; i < count && label + i <= 20; ++i)
                        out.append(label + i);
                    handled = true;
                });
        ModbusUInt16 labels(400001);
        labels.setCount(3);
        ModbusTaskArchPresence task(labels, TavrexBus::Forward, 0);
        task.setLabel(10);
        task.setMaxRequestLabels(2);
        task.setReadNeighbours(false, true, false, false);
        m_executor->executeTask(&task);
        QCOMPARE(task.state(), TavrexBus::TaskDone);
        QCOMPARE(asked, (QList<QPair<quint32, int>>{{10, 2}, {11, 2}, {12, 2}}));
        QList<quint32> read;
        for (const ModbusBytes &block : task.firstBytes())
            read.append(block.toUInt32(0));
        QCOMPARE(read, (QList<quint32>{10, 11, 12}));
        QVERIFY(task.hasNext());
        QCOMPARE(task.nextLabel(), 13u);
    }

    void computedLabelsNeedNoBus_data()
    {
        QTest::addColumn<quint32>("label");
        QTest::addColumn<bool>("hasPrev");
        QTest::newRow("below the first label") << quint32(100) << false;
        QTest::newRow("inside the archive") << quint32(200000) << true;
    }

    void computedLabelsNeedNoBus()
    {
        QFETCH(quint32, label);
        QFETCH(bool, hasPrev);
        ModbusUInt16 labels(400001);
        labels.setCount(2);
        ModbusTaskArchPresence65 task(labels, TavrexBus::Forward, 0, TavrexBus::Hour);
        task.setArchType(TavrexBus::IndexArch);
        task.setLabel(label);
        m_executor->executeTask(&task);
        QCOMPARE(task.state(), TavrexBus::TaskDone);
        QCOMPARE(m_device->requestCount(), 0);
        QCOMPARE(task.hasPrev(), hasPrev);
        QVERIFY(task.hasNext());
        QCOMPARE(task.firstBytes().first().toUInt32(0), label);
        QVERIFY(task.firstBytes().size() <= 3);
    }

    void multiItemTaskIsDeliveredPerItem()
    {
        ModbusUInt16 first(400001);
        ModbusUInt16 second(400002);
        auto *task = new ModbusTaskAddressed(first, 0);
        task->append(second);
        m_server->addQueuedTask(task);
        QMetaObject::invokeMethod(m_executor.get(), "onTimer");
        ModbusTaskList results;
        m_server->getResults(results);
        QCOMPARE(results.size(), 2);
        QCOMPARE(results.at(0)->firstItem(), &first);
        QCOMPARE(results.at(1)->firstItem(), &second);
        QCOMPARE(results.at(1)->firstBytes().first().toUInt16(0), quint16(1001));
        results.clearWithDelete();
    }

    void timerFollowsTheWork()
    {
        // Given a link it wakes at once.
        QCOMPARE(m_executor->timerInterval(), 0);

        // Nothing to do: the idle tick.
        QMetaObject::invokeMethod(m_executor.get(), "onTimer");
        QCOMPARE(m_executor->timerInterval(), int(ModbusClientExecutor::IdleInterval));

        // Work pending: straight on to the next.
        ModbusUInt16 item(400001);
        m_server->addQueuedTask(new ModbusTaskAddressed(item, 0));
        QCOMPARE(m_executor->timerInterval(), 0);
        QMetaObject::invokeMethod(m_executor.get(), "onTimer");
        QCOMPARE(m_executor->timerInterval(), 0);

        // An interval task just served: sleep until it is due again.
        m_server->addIntervalTask(new ModbusTaskAddressed(item, 5000));
        m_server->reinitIntervalTasks();
        QMetaObject::invokeMethod(m_executor.get(), "onTimer");
        QMetaObject::invokeMethod(m_executor.get(), "onTimer");
        QVERIFY(m_executor->timerInterval() > 0);
        QVERIFY(m_executor->timerInterval() <= 5000);
        QCOMPARE(m_server->resultTasksCount(), 2);

        // Interval reading off: the idle tick again.
        m_server->setIntervalReadingEnabled(false);
        QMetaObject::invokeMethod(m_executor.get(), "onTimer");
        QCOMPARE(m_executor->timerInterval(), int(ModbusClientExecutor::IdleInterval));
        m_server->setIntervalReadingEnabled(true);

        // No link: the idle tick, and the due task waits for the link.
        m_link->disconnectTransport();
        m_server->reinitIntervalTasks();
        QMetaObject::invokeMethod(m_executor.get(), "onTimer");
        QCOMPARE(m_executor->timerInterval(), int(ModbusClientExecutor::IdleInterval));
        QCOMPARE(m_server->resultTasksCount(), 2);
        QVERIFY(m_link->connectTransport());
        QMetaObject::invokeMethod(m_executor.get(), "onTimer");
        QCOMPARE(m_server->resultTasksCount(), 3);
        ModbusTaskList results;
        m_server->getResults(results);
        QCOMPARE(results.last()->state(), TavrexBus::TaskDone);
        results.clearWithDelete();
    }
};

QTEST_GUILESS_MAIN(tst_ModbusClientExecutor)
#include "tst_modbusclientexecutor.moc"
