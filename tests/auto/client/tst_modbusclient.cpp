#include <TavrexBus1/modbusclient.h>
#include <TavrexBus1/modbusuint16.h>

#include <QtTest/QtTest>

class tst_ModbusClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deviceAddressAcceptsOneByte_data();
    void deviceAddressAcceptsOneByte();
    void groupReadsCarryTheirGroups_data();
    void groupReadsCarryTheirGroups();
    void syncTaskWithoutExecutorFailsAndIsDelivered();
    void tasksWithoutExecutorAreDropped();
    void describesItself();
    void itemsSurviveTheirClient();
};

void tst_ModbusClient::deviceAddressAcceptsOneByte_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("notifications");

    QTest::newRow("broadcast") << 0 << 0 << 1;
    QTest::newRow("unchanged") << 1 << 1 << 0;
    QTest::newRow("highest") << 255 << 255 << 1;
    QTest::newRow("too high") << 256 << 1 << 0;
    QTest::newRow("negative") << -1 << 1 << 0;
}

void tst_ModbusClient::deviceAddressAcceptsOneByte()
{
    QFETCH(int, address);
    QFETCH(int, expected);
    QFETCH(int, notifications);

    ModbusClient client;
    QSignalSpy changes(&client, &ModbusClient::deviceAddressChanged);
    client.setDeviceAddress(address);
    QCOMPARE(client.deviceAddress(), expected);
    QCOMPARE(changes.count(), notifications);
}

void tst_ModbusClient::groupReadsCarryTheirGroups_data()
{
    QTest::addColumn<bool>("all");
    QTest::addColumn<QStringList>("groups");
    QTest::addColumn<QStringList>("keys");

    QTest::newRow("readAll()") << true << QStringList() << QStringList{QString()};
    QTest::newRow("readAll(list)") << true << QStringList{"a", "b"} << QStringList{"a", "b"};
    QTest::newRow("readGroups(list)") << false << QStringList{"x"} << QStringList{"x"};
}

void tst_ModbusClient::groupReadsCarryTheirGroups()
{
    QFETCH(bool, all);
    QFETCH(QStringList, groups);
    QFETCH(QStringList, keys);

    ModbusClient client;
    QStringList received;
    const auto record = [&](const QHash<QString, bool> &set) {
        received = set.keys();
        received.sort();
    };
    connect(&client, &ModbusClient::readingAll, this, record);
    connect(&client, &ModbusClient::readingGroups, this, record);
    if (!all)
        client.readGroups(groups);
    else if (groups.isEmpty())
        client.readAll();
    else
        client.readAll(groups);
    QCOMPARE(received, keys);
}

void tst_ModbusClient::syncTaskWithoutExecutorFailsAndIsDelivered()
{
    ModbusClient client;
    ModbusUInt16 item;
    item.setClient(&client);
    QSignalSpy executed(&client, &ModbusClient::executed);
    QVERIFY(!item.readSync());
    QCOMPARE(executed.count(), 1);
    QCOMPARE(item.errorString(), QStringLiteral("modbus client has no executor"));
    QCOMPARE(item.readCount(), quint64(0));
}

void tst_ModbusClient::tasksWithoutExecutorAreDropped()
{
    ModbusClient client;
    ModbusUInt16 item;
    item.setClient(&client);
    QVERIFY(item.read());
    item.setIntervalReading(true);
    QVERIFY(item.write());
    QCOMPARE(item.readCount(), quint64(0));
}

void tst_ModbusClient::describesItself()
{
    ModbusClient client;
    QCOMPARE(client.toString(), QStringLiteral("ModbusClient\n"));
    QCOMPARE(client.toString(true), QStringLiteral("ModbusClient; "));
}

void tst_ModbusClient::itemsSurviveTheirClient()
{
    auto *client = new ModbusClient;
    ModbusUInt16 first, second;
    first.setClient(client);
    second.setClient(client);
    second.setIntervalReading(true);
    delete client;
    QCOMPARE(first.client(), nullptr);
    QCOMPARE(second.client(), nullptr);
    QVERIFY(!second.startReading());
}

QTEST_GUILESS_MAIN(tst_ModbusClient)
#include "tst_modbusclient.moc"
