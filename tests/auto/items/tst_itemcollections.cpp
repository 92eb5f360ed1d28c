#include "recordingclient.h"

#include <TavrexBus1/tavrexbus1.h>

#include <QtQml/qqmlcomponent.h>
#include <QtQml/qqmlengine.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>

#include <memory>

// File and report items, the item container and the item reader.
class tst_ItemCollections : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reportSplitsNameAndVersion_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QVariantList>("parts");
        QTest::newRow("name and version") << "Meter  1.2.3" << "Meter" << "1.2.3" << QVariantList{"1", "2", "3"};
        QTest::newRow("empty part kept") << "Meter 2..5" << "Meter" << "2..5" << QVariantList{"2", "", "5"};
        QTest::newRow("no blank") << "Meter" << "" << "" << QVariantList{};
        QTest::newRow("empty") << "" << "" << "" << QVariantList{};
    }

    void reportSplitsNameAndVersion()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(QString, version);
        QFETCH(QVariantList, parts);
        ModbusReport report;
        report.setValue(QStringLiteral("Other 9.9"));
        report.setValue(text);
        QCOMPARE(report.deviceName(), name);
        QCOMPARE(report.deviceVersion(), version);
        QCOMPARE(report.deviceVersionList(), parts);
        QCOMPARE(report.formatValue(), text);
    }

    // The value is the bytes in hex; an answer meant for another stretch of the file is dropped.
    void fileItemHoldsItsStretchInHex()
    {
        ModbusFile file;
        file.setFile(7);
        file.setOffset(12);
        file.setLength(3);
        QSignalSpy changed(&file, &ModbusFile::valueChanged);
        file.setValue(QStringLiteral("0A0b0C"));
        file.setValue(QStringLiteral("0a0b0c"));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(file.value(), QStringLiteral("0a0b0c"));
        QCOMPARE(file.requestItemModbusBytesCount(), 4);
        QCOMPARE(file.getModbusBytes().first().size(), 4);

        file.setLength(2);
        RecordingClient client;
        file.setClient(&client);
        const QString before = file.value();
        QVERIFY(file.read());
        auto *task = dynamic_cast<ModbusTaskFile *>(client.queued.first());
        QVERIFY(task);
        QCOMPARE(task->file(), quint8(7));
        file.setOffset(4);
        QVERIFY(!client.completeNext(ModbusBytesArray{ModbusBytes::fromHex("beef")}));
        QCOMPARE(file.value(), before);
        QVERIFY(file.read());
        QVERIFY(client.completeNext(ModbusBytesArray{ModbusBytes::fromHex("beef")}));
        QCOMPARE(file.value(), QStringLiteral("beef"));
    }

    void containerTakesOnlyItems()
    {
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData(R"(
            import QtQml 2.15
            import TavrexBus 1.0
            ModbusItems {
                ModbusUInt16 { address: 400001 }
                QtObject { objectName: "stranger" }
                ModbusFloat { address: 400002 }
            })", QUrl());
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("modbusItems.items: you can add only objects of 'ModbusItemBase' type"));
        std::unique_ptr<QObject> root(component.create());
        QVERIFY2(root, qPrintable(component.errorString()));
        auto *items = qobject_cast<ModbusItems *>(root.get());
        QCOMPARE(items->count(), 2);
        QCOMPARE(items->at(0)->parent(), items);
        QVERIFY(!items->at(2));
        delete items->at(0);
        QCOMPARE(items->count(), 1);
    }

    // Readers share an item, one of them through a view of it; a reader forgets an item that is
    // destroyed.
    void readersCountOnOneItem()
    {
        RecordingClient client;
        ModbusUInt16 item(400001);
        item.setClient(&client);
        ModbusUInt16 view;
        view.setSource(&item);
        ModbusItemReader first;
        ModbusItemReader second;
        first.setItem(&item);
        second.setItem(&view);
        QCOMPARE(item.intervalReadingCounter(), 2u);
        QCOMPARE(client.intervalTasks.size(), 1);
        first.setActive(false);
        QVERIFY(item.intervalReading());
        second.setItem(nullptr);
        QVERIFY(!item.intervalReading());
        QCOMPARE(client.intervalTasks.size(), 0);
        // An end without a beginning must not wrap the counter round.
        view.endReading();
        QCOMPARE(item.intervalReadingCounter(), 0u);
        first.setActive(true);
        QVERIFY(item.intervalReading());

        auto *doomed = new ModbusUInt16(400002);
        first.setItem(doomed);
        QSignalSpy changed(&first, &ModbusItemReader::itemChanged);
        delete doomed;
        QCOMPARE(first.item(), nullptr);
        QCOMPARE(changed.count(), 1);
    }

    void readerHoldsFromCompletion()
    {
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData(R"(
            import QtQml 2.15
            import TavrexBus 1.0
            QtObject {
                property ModbusUInt16 value: ModbusUInt16 { address: 400001 }
                property ModbusItemReader reader: ModbusItemReader { item: value }
            })", QUrl());
        std::unique_ptr<QObject> root(component.create());
        QVERIFY2(root, qPrintable(component.errorString()));
        auto *item = root->property("value").value<ModbusItemBase *>();
        QCOMPARE(item->intervalReadingCounter(), quint32(1));
        root->property("reader").value<ModbusItemReader *>()->setActive(false);
        QCOMPARE(item->intervalReadingCounter(), quint32(0));
    }
};

QTEST_MAIN(tst_ItemCollections)
#include "tst_itemcollections.moc"
