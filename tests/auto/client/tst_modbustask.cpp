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
};

QTEST_GUILESS_MAIN(tst_ModbusTask)
#include "tst_modbustask.moc"
