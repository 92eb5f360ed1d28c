#include <TavrexBus1/tavrexbus1.h>

#include <QtTest/QtTest>

namespace {

ModbusBytes hex(const char *text)
{
    return ModbusBytes::fromHex(QByteArray(text));
}

} // namespace

class tst_ModbusTask : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void constructionFollowsTaskType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("expectedInterval");
        QTest::addColumn<bool>("hasBytes");

        QTest::newRow("interval read") << int(TavrexBus::ReadTask) << 5000 << 5000 << false;
        QTest::newRow("write never periodic") << int(TavrexBus::WriteTask) << 5000 << 0 << true;
        QTest::newRow("one-off read") << int(TavrexBus::ReadTask) << 0 << 0 << false;
    }

    // A write task snapshots the item's bytes when it is made.
    void constructionFollowsTaskType()
    {
        QFETCH(int, type);
        QFETCH(int, interval);
        QFETCH(int, expectedInterval);
        QFETCH(bool, hasBytes);

        ModbusUInt16 item(400020);
        item.setForce(true);
        item.setUseOptimizing(false);
        item.setDeviceAddress(9);
        item.setValue(0x0102);
        ModbusTaskAddressed task(item, TavrexBus::ModbusTaskType(type), interval);
        item.setValue(0x0304);
        QCOMPARE(task.interval(), expectedInterval);
        QCOMPARE(task.type(), TavrexBus::ModbusTaskType(type));
        QCOMPARE(task.state(), TavrexBus::TaskWaiting);
        QVERIFY(!task.executed());
        QVERIFY(!task.force());
        QVERIFY(!task.useOptimizing());
        QCOMPARE(task.deviceAddress(), quint8(9));
        QCOMPARE(task.address(), 400020u);
        QCOMPARE(task.dataList().size(), 1);
        QCOMPARE(task.firstBytes(), hasBytes ? ModbusBytesArray{hex("0102")} : ModbusBytesArray());
        QCOMPARE(task.lastProcessTime(), QDateTime::fromMSecsSinceEpoch(0));
        QCOMPARE(task.nextProcessTime(), QDateTime::fromMSecsSinceEpoch(expectedInterval));

        ModbusTask *made = item.createModbusTask(TavrexBus::ModbusTaskType(type), interval);
        QVERIFY(made->force());
        delete made;
    }

    void bytesAreDistributedOverElements_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<ModbusBytes>("bytes");
        QTest::addColumn<ModbusBytesArray>("blocks");

        QTest::newRow("whole answer") << -1 << hex("000000010000000200000003")
                                      << ModbusBytesArray{hex("00000001"), hex("00000002"), hex("00000003")};
        QTest::newRow("split by count") << 3 << hex("000000010000000200000003")
                                        << ModbusBytesArray{hex("00000001"), hex("00000002"), hex("00000003")};
        QTest::newRow("short answer") << -1 << hex("0000000100") << ModbusBytesArray{hex("00000001"), hex("00")};
        QTest::newRow("extra bytes ignored") << -1 << hex("000000010000000200000003ffff")
                                             << ModbusBytesArray{hex("00000001"), hex("00000002"), hex("00000003")};
    }

    void bytesAreDistributedOverElements()
    {
        QFETCH(int, n);
        QFETCH(ModbusBytes, bytes);
        QFETCH(ModbusBytesArray, blocks);

        ModbusUInt32 item;
        item.setCount(3);
        ModbusTaskAddressed task(item, 0);
        QCOMPARE(task.requestBytesCount(), 12);
        task.setBytes(bytes, n);
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
        QCOMPARE(task.errorString(), QStringLiteral("aborted"));
        QVERIFY(task.executed());
        task.reset();
        QCOMPARE(task.state(), TavrexBus::TaskWaiting);
        QVERIFY(task.errorString().isEmpty());
        QCOMPARE(task.lastProcessTime().toMSecsSinceEpoch(), 0);
        QVERIFY(task.nextProcessTime() < QDateTime::currentDateTime());
        QVERIFY(task.firstBytes().isEmpty());

        ModbusTaskAddressed write(item, ModbusBytesArray{hex("0005")});
        QCOMPARE(write.type(), TavrexBus::WriteTask);
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
        QCOMPARE(copy.address(), 400300u);
        QCOMPARE(copy.dataList(), task.dataList());

        ModbusTaskFile file(item, TavrexBus::ReadTask, 0, 3, 40, 20, 50);
        std::unique_ptr<ModbusTask> fileClone(file.clone());
        auto *fileCopy = dynamic_cast<ModbusTaskFile *>(fileClone.get());
        QVERIFY(fileCopy);
        QCOMPARE(fileCopy->file(), quint8(3));
        QCOMPARE(fileCopy->offset(), quint16(40));
        QCOMPARE(fileCopy->length(), 20);
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
            QCOMPARE(part->address(), 400010u + 2u * quint32(i));
        }
        QCOMPARE(parts.at(1)->firstItem(), &second);
        QCOMPARE(parts.at(1)->firstBytes(), (ModbusBytesArray{hex("0002")}));
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

    void listsSelectAndRemoveTasks()
    {
        ModbusUInt16 kept, removed;
        ModbusTaskList list;
        list << new ModbusTaskAddressed(removed, 1000) << new ModbusTaskAddressed(kept, 500)
             << new ModbusTaskAddressed(removed, 1000);
        QCOMPARE(list.indexOfItem(&kept), 1);
        QCOMPARE(list.intervals(), (QList<int>{1000, 500}));
        const ModbusTaskList slow = ModbusTaskList::fromOtherByInterval(list, 1000);
        QCOMPARE(slow.size(), 2);
        QCOMPARE(slow.first(), list.first());
        ModbusTaskList copy = list.clone();
        QCOMPARE(list.removeWithDelete(&removed), 2);
        QCOMPARE(list.size(), 1);
        QVERIFY(list.contains(&kept));
        QVERIFY(!list.contains(&removed));
        QCOMPARE(copy.size(), 3);
        list.clearWithDelete();
        copy.clearWithDelete();
        QVERIFY(list.isEmpty());
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

    void record67StepsThroughItsLabels_data()
    {
        QTest::addColumn<quint32>("label");
        QTest::addColumn<quint32>("step");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<quint32>("next");

        QTest::newRow("next in list") << 100u << 1u << true << 250u;
        QTest::newRow("two steps") << 100u << 2u << true << 400u;
        QTest::newRow("past the end") << 250u << 2u << false << 250u;
        QTest::newRow("unknown label") << 101u << 1u << false << 101u;
    }

    void record67StepsThroughItsLabels()
    {
        QFETCH(quint32, label);
        QFETCH(quint32, step);
        QFETCH(bool, ok);
        QFETCH(quint32, next);

        ModbusUInt16 item;
        ModbusTaskArchRecord67 task(item, 100, {100, 250, 400}, 0);
        task.setArchType(TavrexBus::TimeArch);
        QCOMPARE(task.func(), TavrexBus::Func67);
        bool stepped = !ok;
        QCOMPARE(task.getNextLabel(label, &stepped, step), next);
        QCOMPARE(stepped, ok);
    }

    void record65StepsByInterval()
    {
        ModbusUInt16 item;
        ModbusTaskArchRecord65 task(item, 0, 0);
        task.setArchType(TavrexBus::TimeArch);
        task.setArchInterval(TavrexBus::Hour);
        bool ok = false;
        QCOMPARE(task.getNextLabel(3600, &ok, 2), 3u * 3600u);
        QVERIFY(ok);
        QCOMPARE(task.direction(), TavrexBus::Forward);

        ModbusTaskArchRecord67 indexTask(item, 7, {}, 0);
        QCOMPARE(indexTask.getNextLabel(7, &ok, 3), 10u);
        QVERIFY(ok);
    }
};

QTEST_GUILESS_MAIN(tst_ModbusTask)
#include "tst_modbustask.moc"
