#include <TavrexBus1/modbustaskaddressed.h>
#include <TavrexBus1/modbustaskserver.h>
#include <TavrexBus1/modbusuint16.h>
#include <TavrexBus1/timeprovider.h>

#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

class ManualClock : public TimeProvider
{
public:
    QDateTime currentDateTime() const override { return now; }
    QDateTime now = QDateTime(QDate(2026, 3, 1), QTime(12, 0));
};

} // namespace

class tst_ModbusTaskServer : public QObject
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

    void removingAndAbortingAnItem()
    {
        ModbusTaskServer server;
        ModbusUInt16 *target = item(400010);
        server.addQueuedTask(new ModbusTaskAddressed(*target, 0));
        server.addQueuedTask(task(400011));
        server.addIntervalTask(new ModbusTaskAddressed(*target, 100));
        server.addResult(new ModbusTaskAddressed(*target, 0));
        server.abortTasks(target);
        QCOMPARE(server.queuedTasksCount(), 1);
        QCOMPARE(server.intervalTasksCount(), 1);
        server.removeTasks(target);
        QCOMPARE(server.intervalTasksCount(), 0);
        QCOMPARE(server.resultTasksCount(), 0);
        server.abortAllTasks();
        QCOMPARE(server.queuedTasksCount(), 0);
    }

    // An item's templates go however often it registers and lets go of them.
    void templatesGoWithTheirItem()
    {
        ModbusTaskServer server;
        ModbusUInt16 *first = item(400010);
        ModbusUInt16 *second = item(400011);
        server.addIntervalTask(new ModbusTaskAddressed(*first, 100));
        server.addIntervalTask(new ModbusTaskAddressed(*second, 100));
        server.addIntervalTask(new ModbusTaskAddressed(*first, 200));
        server.removeIntervalTasks(first);
        QCOMPARE(server.intervalTasksCount(), 1);
        server.removeIntervalTasks(first);
        server.addIntervalTask(new ModbusTaskAddressed(*first, 300));
        server.removeTasks(second);
        QCOMPARE(server.intervalTasksCount(), 1);
        server.removeIntervalTasks(first);
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

QTEST_GUILESS_MAIN(tst_ModbusTaskServer)
#include "tst_modbustaskserver.moc"
