#include "packettesting.h"

#include <TavrexBus1/tavrexbus1.h>

#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using PacketTesting::hex;

namespace {

class ManualClock : public TimeProvider
{
public:
    QDateTime currentDateTime() const override { return now; }
    QDateTime now = QDateTime(QDate(2026, 3, 1), QTime(12, 0));
};

} // namespace

// Tasks, and the task server that queues, schedules and hands them out.
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

private Q_SLOTS:
    void cleanup() { m_items.clear(); }

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
        QCOMPARE(parts.at(1)->firstItem(), &second);
        QCOMPARE(parts.at(1)->firstBytes(), (ModbusBytesArray{hex("0002")}));
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
        QCOMPARE(task.firstItem(), item);
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
        std::atomic<int> consumed{0};
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
                    ++consumed;
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
        QCOMPARE(consumed.load(), 2 * PerProducer);
        QCOMPARE(results.size(), 2 * PerProducer);
        QCOMPARE(server.goodTasksCount(), quint64(2 * PerProducer));
        QCOMPARE(QSet<ModbusTask *>(results.cbegin(), results.cend()).size(), 2 * PerProducer);
        results.clearWithDelete();
    }
};

QTEST_GUILESS_MAIN(tst_ModbusTasks)
#include "tst_modbustasks.moc"
