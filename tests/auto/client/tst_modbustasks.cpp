#include "packettesting.h"
#include "simulateddevice.h"

#include <TavrexBus1/tavrexbus1.h>

#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using PacketTesting::hex;
using Request = SimulatedDevice::Request;

namespace {

class ManualClock : public TimeProvider
{
public:
    QDateTime currentDateTime() const override { return now; }
    QDateTime now = QDateTime(QDate(2026, 3, 1), QTime(12, 0));
};

} // namespace

// Tasks, the task server that queues, schedules and hands them out, and the executor that runs
// them. The executor, its task server and the device share the test's thread, so every exchange
// completes inside the call that starts it.
class tst_ModbusTasks : public QObject
{
    Q_OBJECT

private:
    ModbusUInt16 *item(quint32 address)
    {
        m_items.push_back(std::make_unique<ModbusUInt16>(address));
        return m_items.back().get();
    }
    ModbusTaskAddressed *task(quint32 address, int interval = 0)
    {
        return new ModbusTaskAddressed(*item(address), interval);
    }
    static quint32 addressOf(ModbusTask *task) { return static_cast<ModbusTaskAddressed *>(task)->address(); }
    // Hands out every due interval task at the clock's present time.
    static QList<quint32> due(ModbusTaskServer &server)
    {
        QList<quint32> addresses;
        while (ModbusTask *task = server.getIntervalTask()) {
            addresses.append(addressOf(task));
            delete task;
        }
        return addresses;
    }

    std::vector<std::unique_ptr<ModbusUInt16>> m_items;
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
        m_items.clear();
        m_executor.reset();
        m_server.reset();
        m_link.reset();
        m_device.reset();
    }

    // A write task is never periodic and keeps the bytes the item had when it was made; only the
    // item's own factory passes the force flag on.
    void writeTaskSnapshotsTheItem()
    {
        ModbusUInt16 item(400020);
        item.setForce(true);
        item.setValue(0x0102);
        ModbusTaskAddressed task(item, TavrexBus::WriteTask, 5000);
        item.setValue(0x0304);
        QCOMPARE(task.interval(), 0);
        QCOMPARE(task.firstBytes(), ModbusBytesArray{hex("0102")});
        QVERIFY(!task.force());
        const std::unique_ptr<ModbusTask> made(item.createModbusTask(TavrexBus::WriteTask, 0));
        QVERIFY(made->force());
    }

    // An answer of the wrong size fills what it can; the executor hands over answers this way.
    void bytesAreDistributedOverElements_data()
    {
        QTest::addColumn<ModbusBytes>("bytes");
        QTest::addColumn<ModbusBytesArray>("blocks");

        QTest::newRow("short answer") << hex("0000000100") << ModbusBytesArray{hex("00000001"), hex("00")};
        QTest::newRow("extra bytes ignored") << hex("000000010000000200000003ffff")
                                             << ModbusBytesArray{hex("00000001"), hex("00000002"), hex("00000003")};
    }

    void bytesAreDistributedOverElements()
    {
        QFETCH(ModbusBytes, bytes);
        QFETCH(ModbusBytesArray, blocks);

        ModbusUInt32 item;
        item.setCount(3);
        ModbusTaskAddressed task(item, 0);
        QCOMPARE(task.requestBytesCount(), 12);
        task.setBytes(bytes, -1);
        QCOMPARE(task.firstBytes(), blocks);
        QCOMPARE(task.dataList().getBytes(), ModbusBytesArray(blocks).toModbusBytes());
    }

    void blocksAreDistributedOverEntries()
    {
        ModbusUInt16 first, second;
        first.setCount(2);
        ModbusTaskAddressed task(first, 0);
        task.append(second);
        task.setBytes(ModbusBytesArray{hex("0001"), hex("0002")});
        QCOMPARE(task.dataList().at(0).bytes.size(), 2);
        QVERIFY(task.dataList().at(1).bytes.isEmpty());
        QCOMPARE(task.dataList().getItems(), (QList<ItemPointer>{&first, &second}));
    }

    void abortedTaskIsDueAgainAfterReset()
    {
        ModbusUInt16 item;
        ModbusTaskAddressed task(item, 1000);
        task.setBytes(ModbusBytesArray{hex("0001")});
        task.setLastProcessTime(QDateTime::currentDateTime());
        task.abort();
        QCOMPARE(task.state(), TavrexBus::TaskAborted);
        task.reset();
        QCOMPARE(task.state(), TavrexBus::TaskWaiting);
        QVERIFY(task.errorString().isEmpty());
        QVERIFY(task.nextProcessTime() < QDateTime::currentDateTime());
        QVERIFY(task.firstBytes().isEmpty());

        ModbusTaskAddressed write(item, ModbusBytesArray{hex("0005")});
        write.reset();
        QCOMPARE(write.firstBytes(), (ModbusBytesArray{hex("0005")}));
    }

    void copiesKeepFieldsAndTypeButNotError()
    {
        ModbusUInt16 item(400300);
        ModbusTaskAddressed task(item, 700);
        task.setForce(true);
        task.setState(TavrexBus::TaskFailed);
        task.setErrorString(QStringLiteral("bad"));
        task.setBytes(ModbusBytesArray{hex("0001")});
        ModbusTaskAddressed copy(task);
        QCOMPARE(copy.interval(), 700);
        QVERIFY(copy.force());
        QCOMPARE(copy.state(), TavrexBus::TaskFailed);
        QVERIFY(copy.errorString().isEmpty());
        QCOMPARE(copy.dataList(), task.dataList());

        ModbusTaskFile file(item, TavrexBus::ReadTask, 0, 3, 40, 20, 50);
        const std::unique_ptr<ModbusTask> fileClone(file.clone());
        auto *fileCopy = dynamic_cast<ModbusTaskFile *>(fileClone.get());
        QVERIFY(fileCopy);
        QCOMPARE(fileCopy->offset(), quint16(40));
        QCOMPARE(fileCopy->modbusBlockSize(), 50);

        ModbusTaskArchPresence65 presence(item, TavrexBus::Backward, 0, TavrexBus::Day);
        presence.setLabel(1234);
        presence.setReadNeighbours(true, false, true, false);
        std::unique_ptr<ModbusTask> presenceCopy(presence.clone());
        auto *typed = dynamic_cast<ModbusTaskArchPresence65 *>(presenceCopy.get());
        QVERIFY(typed);
        QCOMPARE(typed->label(), 1234u);
        QCOMPARE(typed->archInterval(), TavrexBus::Day);
        QCOMPARE(typed->direction(), TavrexBus::Backward);
        QVERIFY(typed->readPrev() && typed->readFirst() && !typed->readNext());
    }

    void splitGivesOnePartPerEntry()
    {
        ModbusUInt16 first(400010), second(400011);
        ModbusTaskAddressed task(first, 0);
        task.append(second);
        task.setForce(true);
        task.setErrorString(QStringLiteral("x"));
        task.setBytes(hex("00010002"), -1);
        ModbusTaskList parts = task.split();
        QCOMPARE(parts.size(), 2);
        for (int i = 0; i < 2; ++i) {
            auto *part = dynamic_cast<ModbusTaskAddressed *>(parts.at(i));
            QVERIFY(part);
            QCOMPARE(part->dataList().size(), 1);
            QVERIFY(part->force());
            QVERIFY(part->errorString().isEmpty());
        }
        // The second item must accept its part, so the part has to start at that item's register.
        QCOMPARE(static_cast<ModbusTaskAddressed *>(parts.at(1))->address(), second.address());
        parts.clearWithDelete();

        ModbusTaskReport report(first, 0);
        QTest::ignoreMessage(QtWarningMsg, "splitting of ModbusReport task is not allowed");
        QVERIFY(report.split().isEmpty());
    }

    void taskOutlivesItsItem()
    {
        auto *item = new ModbusUInt16;
        ModbusTaskAddressed task(*item, 0);
        delete item;
        QCOMPARE(task.firstItem(), nullptr);
        QVERIFY(task.contains(nullptr));
        QCOMPARE(task.dataList().indexOfItem(nullptr), 0);
    }

    void addressedTasksAreTakenInOrder()
    {
        ModbusUInt16 holding(400005), input(300002), coil(5), discrete(100003), report;
        ModbusTaskList list;
        list << new ModbusTaskAddressed(holding, 0) << new ModbusTaskReport(report, 0)
             << new ModbusTaskAddressed(coil, 0) << new ModbusTaskAddressed(input, 0)
             << new ModbusTaskAddressed(discrete, 0);

        ModbusTaskListAddressed coils = ModbusTaskListAddressed::takeCoilsFromTaskList(list);
        QCOMPARE(coils.size(), 1);
        QCOMPARE(coils.first()->address(), 5u);
        ModbusTaskListAddressed registers = ModbusTaskListAddressed::takeRegistersFromTaskList(list);
        QCOMPARE(registers.size(), 2);
        QCOMPARE(registers.at(0)->address(), 400005u);
        QCOMPARE(registers.at(1)->address(), 300002u);
        registers.sort();
        QCOMPARE(registers.at(0)->address(), 300002u);
        QCOMPARE(ModbusTaskListAddressed::fromTaskList(list).size(), 1);
        QCOMPARE(list.size(), 2);
        ModbusTaskListAddressed rest = ModbusTaskListAddressed::takeFromTaskList(list);
        QCOMPARE(rest.size(), 1);
        QCOMPARE(list.size(), 1);

        list.clearWithDelete();
        qDeleteAll(coils);
        qDeleteAll(registers);
        qDeleteAll(rest);
    }

    // A time archive steps through the labels the device listed; an index archive counts on.
    void record67StepsThroughItsLabels_data()
    {
        QTest::addColumn<int>("archType");
        QTest::addColumn<quint32>("label");
        QTest::addColumn<quint32>("step");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<quint32>("next");

        const int time = TavrexBus::TimeArch;
        QTest::newRow("two steps") << time << 100u << 2u << true << 400u;
        QTest::newRow("past the end") << time << 250u << 2u << false << 250u;
        QTest::newRow("unknown label") << time << 101u << 1u << false << 101u;
        QTest::newRow("index archive") << int(TavrexBus::IndexArch) << 7u << 3u << true << 10u;
    }

    void record67StepsThroughItsLabels()
    {
        QFETCH(int, archType);
        QFETCH(quint32, label);
        QFETCH(quint32, step);
        QFETCH(bool, ok);
        QFETCH(quint32, next);

        ModbusUInt16 item;
        ModbusTaskArchRecord67 task(item, 100, {100, 250, 400}, 0);
        task.setArchType(TavrexBus::ArchType(archType));
        bool stepped = !ok;
        QCOMPARE(task.getNextLabel(label, &stepped, step), next);
        QCOMPARE(stepped, ok);
    }

    void scheduleGroupsTemplatesByInterval()
    {
        ModbusTaskServer server;
        ManualClock clock;
        server.setTimeProvider(clock);
        QDateTime nearest;
        QVERIFY(!server.getNearestTaskTime(nearest));
        server.addIntervalTask(task(400001, 1000));
        server.addIntervalTask(task(400002, 500));
        server.addIntervalTask(task(400003, 1000));
        server.addIntervalTask(task(400004, 0));
        server.reinitIntervalTasks();
        QCOMPARE(server.intervalTasksCount(), 4);
        QCOMPARE(server.scheduledTasksCount(), 3);
        QCOMPARE(due(server), (QList<quint32>{400001, 400003, 400002}));
        QVERIFY(server.getNearestTaskTime(nearest));
        QCOMPARE(nearest, clock.now.addMSecs(500));
        server.setPaused(true);
        QVERIFY(!server.getNearestTaskTime(nearest));
    }

    void templateChangesInOneTurnRebuildOnce()
    {
        ModbusTaskServer server;
        QSignalSpy changed(&server, &ModbusTaskServer::tasksChanged);
        server.addIntervalTask(task(400001, 100));
        server.addIntervalTask(task(400002, 100));
        server.setUseOptimization(false);
        QCOMPARE(changed.count(), 0);
        QTRY_COMPARE(changed.count(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(server.scheduledTasksCount(), 2);
    }

    void dueEntryIsHandedOutOncePerInterval_data()
    {
        QTest::addColumn<qint64>("step");
        QTest::addColumn<int>("expected");
        QTest::newRow("too early") << qint64(999) << 0;
        QTest::newRow("on time") << qint64(1000) << 1;
        QTest::newRow("clock jumps a day ahead") << qint64(86400000) << 1;
        QTest::newRow("clock set back an hour") << qint64(-3600000) << 1;
    }

    void dueEntryIsHandedOutOncePerInterval()
    {
        QFETCH(qint64, step);
        QFETCH(int, expected);
        ModbusTaskServer server;
        ManualClock clock;
        server.setTimeProvider(clock);
        server.addIntervalTask(task(400001, 1000));
        server.reinitIntervalTasks();
        // Never read before: due at once.
        QCOMPARE(due(server).size(), 1);
        QCOMPARE(due(server).size(), 0);
        clock.now = clock.now.addMSecs(step);
        QCOMPARE(due(server).size(), expected);
        QCOMPARE(due(server).size(), 0);
    }

    // Paused or disabled, nothing is handed out; disabled, new work is dropped at once.
    void switchesDecideWhatIsHandedOut_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("paused");
        QTest::addColumn<bool>("intervalReading");
        QTest::addColumn<bool>("queued");
        QTest::addColumn<bool>("interval");
        QTest::newRow("running") << true << false << true << true << true;
        QTest::newRow("paused") << true << true << true << false << false;
        QTest::newRow("disabled") << false << false << true << false << false;
        QTest::newRow("interval reading off") << true << false << false << true << false;
    }

    void switchesDecideWhatIsHandedOut()
    {
        QFETCH(bool, enabled);
        QFETCH(bool, paused);
        QFETCH(bool, intervalReading);
        QFETCH(bool, queued);
        QFETCH(bool, interval);
        ModbusTaskServer server;
        server.setPaused(paused);
        server.setIntervalReadingEnabled(intervalReading);
        server.setEnabled(enabled);
        server.addQueuedTask(task(400001));
        server.addIntervalTask(task(400002, 1000));
        server.addResult(task(400003));
        server.reinitIntervalTasks();
        const int kept = enabled ? 1 : 0;
        QCOMPARE(server.queuedTasksCount(), kept);
        QCOMPARE(server.intervalTasksCount(), kept);
        QCOMPARE(server.resultTasksCount(), kept);
        std::unique_ptr<ModbusTask> queuedTask(server.getQueuedTask());
        std::unique_ptr<ModbusTask> intervalTask(server.getIntervalTask());
        QCOMPARE(bool(queuedTask), queued);
        QCOMPARE(bool(intervalTask), interval);
    }

    // Only done tasks count as good and only failed ones as errors; an aborted task is neither.
    void resultsAreCountedAndTakenOneOrAll()
    {
        ModbusTaskServer server;
        for (TavrexBus::ModbusTaskState state : {TavrexBus::TaskDone, TavrexBus::TaskFailed, TavrexBus::TaskAborted}) {
            ModbusTask *result = task(400001 + quint32(state));
            result->setState(state);
            server.addResult(result);
        }
        QCOMPARE(server.executedTasksCount(), quint64(3));
        QCOMPARE(server.goodTasksCount(), quint64(1));
        QCOMPARE(server.errorTasksCount(), quint64(1));
        ModbusTaskList out;
        bool more = false;
        server.getResults(out, 5, &more);
        QCOMPARE(out.size(), 1);
        QVERIFY(more);
        server.getResults(out, -1, &more);
        QCOMPARE(out.size(), 3);
        QVERIFY(!more);
        QCOMPARE(out.at(2)->state(), TavrexBus::TaskAborted);
        out.clearWithDelete();
    }

    // Aborting an item takes its queued work; removing it takes its templates and results too, however
    // often it registers and lets go of them.
    void removingAndAbortingAnItem()
    {
        ModbusTaskServer server;
        ModbusUInt16 *target = item(400010);
        ModbusUInt16 *other = item(400011);
        server.addQueuedTask(new ModbusTaskAddressed(*target, 0));
        server.addQueuedTask(new ModbusTaskAddressed(*other, 0));
        server.addIntervalTask(new ModbusTaskAddressed(*target, 100));
        server.addIntervalTask(new ModbusTaskAddressed(*other, 100));
        server.addIntervalTask(new ModbusTaskAddressed(*target, 200));
        server.addResult(new ModbusTaskAddressed(*target, 0));
        server.abortTasks(target);
        QCOMPARE(server.queuedTasksCount(), 1);
        QCOMPARE(server.intervalTasksCount(), 3);
        server.removeIntervalTasks(target);
        server.removeIntervalTasks(target);
        QCOMPARE(server.intervalTasksCount(), 1);
        server.addIntervalTask(new ModbusTaskAddressed(*target, 300));
        server.removeTasks(target);
        QCOMPARE(server.intervalTasksCount(), 1);
        QCOMPARE(server.resultTasksCount(), 0);
        server.abortAllTasks();
        QCOMPARE(server.queuedTasksCount(), 0);
        server.removeTasks(other);
        QCOMPARE(server.intervalTasksCount(), 0);
    }

    // Producers on two threads, the consumer on a third, results collected here: nothing is lost
    // or handed out twice. Run under ThreadSanitizer as well.
    void concurrentProducersAndConsumer()
    {
        constexpr int PerProducer = 500;
        ModbusTaskServer server;
        QList<ModbusTaskList> batches(2);
        for (ModbusTaskList &batch : batches) {
            for (int i = 0; i < PerProducer; ++i)
                batch.append(task(400001 + quint32(i)));
        }
        std::atomic<bool> producing{true};
        std::atomic<bool> consuming{true};
        // Standard threads, so that a thread checker sees every start and join.
        std::vector<std::thread> producers;
        for (ModbusTaskList &batch : batches) {
            producers.emplace_back([&server, &batch] {
                for (ModbusTask *next : std::as_const(batch))
                    server.addQueuedTask(next);
            });
        }
        std::thread consumer([&] {
            while (producing || server.queuedTasksCount() > 0) {
                if (ModbusTask *next = server.getQueuedTask()) {
                    next->setState(TavrexBus::TaskDone);
                    server.addResult(next);
                } else {
                    std::this_thread::yield();
                }
            }
            consuming = false;
        });
        ModbusTaskList results;
        for (std::thread &producer : producers)
            producer.join();
        producing = false;
        while (consuming)
            server.getResults(results);
        consumer.join();
        server.getResults(results);
        QCOMPARE(results.size(), 2 * PerProducer);
        QCOMPARE(server.goodTasksCount(), quint64(2 * PerProducer));
        QCOMPARE(QSet<ModbusTask *>(results.cbegin(), results.cend()).size(), 2 * PerProducer);
        results.clearWithDelete();
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

    // A silent device is asked as often as the retries allow; an answer ends the retries. Coils are
    // not implemented: such a task fails at once, without a request.
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
        ModbusUInt16 coil(1);
        ModbusTaskAddressed coilTask(coil, 0);
        m_executor->executeTask(&coilTask);
        QCOMPARE(coilTask.state(), TavrexBus::TaskFailed);
        QCOMPARE(coilTask.errorString(), QStringLiteral("Not implemented"));
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

    void fileMovesInBlocks_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("blockSize");
        QTest::addColumn<QList<int>>("counts");
        QTest::addColumn<int>("fileBytes");  // the device's file cut to this size; 0: as it is
        QTest::addColumn<QString>("error");
        QTest::newRow("read, default blocks") << false << 0 << QList<int>{122, 28} << 0 << "";
        QTest::newRow("read, blocks of 50") << false << 50 << QList<int>{50, 50, 50} << 0 << "";
        QTest::newRow("read, blocks above the limit") << false << 500 << QList<int>{122, 28} << 0 << "";
        QTest::newRow("read, file ends in the last block") << false << 50 << QList<int>{50, 50, 50} << 250
            << "received file registers count (22) doesn't equal requested registers count (50).";
        QTest::newRow("write, blocks of 40") << true << 40 << QList<int>{40, 40, 20} << 0 << "";
        QTest::newRow("write, one block") << true << 0 << QList<int>{100} << 0 << "";
    }

    void fileMovesInBlocks()
    {
        QFETCH(bool, write);
        QFETCH(int, blockSize);
        QFETCH(QList<int>, counts);
        QFETCH(int, fileBytes);
        QFETCH(QString, error);
        if (fileBytes > 0)
            m_device->setFile(ModbusBytes::fromOther(m_device->file(), 0, fileBytes));
        ModbusFile file;
        file.setLength(write ? 200 : 300);
        file.setOffset(3);
        file.setModbusBlockSize(blockSize);
        const ModbusBytes data(QByteArray(200, '\x5a'));
        std::unique_ptr<ModbusTask> task(file.createModbusTask(write ? TavrexBus::WriteTask : TavrexBus::ReadTask, 0));
        if (write)
            task->setBytes(ModbusBytesArray{data});
        m_executor->executeTask(task.get());
        QList<int> sent;
        for (const Request &request : m_device->requests())
            sent.append(request.count);
        QCOMPARE(sent, counts);
        QCOMPARE(m_device->requests().first().address, 3u);
        QCOMPARE(task->errorString().left(error.size()), error);
        // A file that cannot be read whole is not read at all.
        QCOMPARE(task->state(), error.isEmpty() ? TavrexBus::TaskDone : TavrexBus::TaskFailed);
        QCOMPARE(task->firstBytes().isEmpty(), !error.isEmpty() && !write);
        if (!error.isEmpty())
            return;
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

    // Given a link it wakes at once; with nothing to do, interval reading off or no link it ticks idly;
    // with work pending it goes straight on, and after an interval task it sleeps until that is due.
    void timerFollowsTheWork()
    {
        QCOMPARE(m_executor->timerInterval(), 0);

        QMetaObject::invokeMethod(m_executor.get(), "onTimer");
        QCOMPARE(m_executor->timerInterval(), int(ModbusClientExecutor::IdleInterval));

        ModbusUInt16 item(400001);
        m_server->addQueuedTask(new ModbusTaskAddressed(item, 0));
        QCOMPARE(m_executor->timerInterval(), 0);
        QMetaObject::invokeMethod(m_executor.get(), "onTimer");
        QCOMPARE(m_executor->timerInterval(), 0);

        m_server->addIntervalTask(new ModbusTaskAddressed(item, 5000));
        m_server->reinitIntervalTasks();
        QMetaObject::invokeMethod(m_executor.get(), "onTimer");
        QMetaObject::invokeMethod(m_executor.get(), "onTimer");
        QVERIFY(m_executor->timerInterval() > 0);
        QVERIFY(m_executor->timerInterval() <= 5000);
        QCOMPARE(m_server->resultTasksCount(), 2);

        m_server->setIntervalReadingEnabled(false);
        QMetaObject::invokeMethod(m_executor.get(), "onTimer");
        QCOMPARE(m_executor->timerInterval(), int(ModbusClientExecutor::IdleInterval));
        m_server->setIntervalReadingEnabled(true);

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

QTEST_GUILESS_MAIN(tst_ModbusTasks)
#include "tst_modbustasks.moc"
