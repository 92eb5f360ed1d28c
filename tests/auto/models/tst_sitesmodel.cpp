#include "recordingclient.h"

#include <TavrexBus1/tavrexbus1.h>

#include <QtTest/qabstractitemmodeltester.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>

using SiteMap = QMap<quint16, QStringList>;

// The device image of a table of 20 sites with 20-byte names.
static ModbusBytes image(const SiteMap &sites)
{
    return EkSitesModel::encodeTable(sites, 20, 0, 20);
}

// The meter's sites table: decoding, the tree, edits and the device image after each of them.
class tst_SitesModel : public QObject
{
    Q_OBJECT

    // A model over a file item holding the given sites, as after a read.
    struct Fixture
    {
        ModbusFile file;
        EkSitesModel model;
        QAbstractItemModelTester tester{ &model, QAbstractItemModelTester::FailureReportingMode::QtTest };

        explicit Fixture(const SiteMap &sites = {})
        {
            file.setLength(20 * 122);
            file.setBytes(image(sites), ModbusItemBase::ReadChange);
            model.setItem(&file);
        }
        // The device image decodes to what the model shows.
        bool imageAgrees() const
        {
            return EkSitesModel::decodeTable(file.bytes(), 20, 0, 20) == model.sites()
                && file.bytes() == model.tableBytes();
        }
        QStringList rows() const
        {
            QStringList names;
            for (int row = 0; row < model.rowCount(); ++row)
                names << model.data(model.index(row), EkSitesModel::NameRole).toString();
            return names;
        }
    };

private Q_SLOTS:
    void tableDecodes_data()
    {
        QTest::addColumn<ModbusBytes>("table");
        QTest::addColumn<SiteMap>("sites");
        const SiteMap two{ { 0, { "Plant", "Floor 1", "Pump" } }, { 19, { "", "", "Boiler" } } };
        const ModbusBytes good = image(two);
        QTest::newRow("good") << good << two;
        QTest::newRow("empty") << ModbusBytes() << SiteMap{};
        QTest::newRow("one byte short") << ModbusBytes(good.left(good.size() - 1)) << SiteMap{};
        ModbusBytes badCrc = good;
        badCrc[121] = char(badCrc.at(121) ^ 1);
        QTest::newRow("bad crc is a free slot") << badCrc << SiteMap{ { 19, { "", "", "Boiler" } } };
        QTest::newRow("subgroup under empty group")
            << image({ { 3, { "", "A", "Meter" } } }) << SiteMap{ { 3, { "", "", "Meter" } } };
        QTest::newRow("empty site name is free") << image({ { 3, { "G", "A", "" } } }) << SiteMap{};
        const SiteMap twins{ { 1, { "G", "", "X" } }, { 2, { "G", "", "X" } } };
        QTest::newRow("duplicates are kept") << image(twins) << twins;
        QTest::newRow("all zero") << ModbusBytes(QByteArray(2440, '\0')) << SiteMap{};
    }

    void tableDecodes()
    {
        QFETCH(ModbusBytes, table);
        QFETCH(SiteMap, sites);
        QCOMPARE(EkSitesModel::decodeTable(table, 20, 0, 20), sites);
    }

    void recordLayoutIsFixed()
    {
        const ModbusBytes table = image({ { 1, { "G", "S", "Ёж" } } });
        QCOMPARE(table.size(), 2440);
        const ModbusBytes record(table.mid(122, 122));
        QVERIFY(record.checkCrc16());
        QCOMPARE(record.toStringUtf8(80, 40), QStringLiteral("Ёж"));
        QCOMPARE(record.at(40), 'S');
        QVERIFY(ModbusBytes(table.left(122)).emptyOrZero());
    }

    void treeIsSortedAndNavigable()
    {
        Fixture f({ { 0, { "", "", "a" } }, { 1, { "", "", "B" } }, { 2, { "b", "", "A" } }, { 3, { "b", "x", "c" } } });
        QCOMPARE(f.rows(), (QStringList{ "b", "a", "B" }));
        QCOMPARE(f.model.data(f.model.index(0), EkSitesModel::TypeRole).toInt(), 0);
        QCOMPARE(f.model.data(f.model.index(0), EkSitesModel::SizeRole).toInt(), 2);
        QVERIFY(!f.model.data(f.model.index(7), EkSitesModel::NameRole).isValid());
        QSignalSpy path(&f.model, &EkSitesModel::groupPathChanged);
        f.model.cd(QStringLiteral("nothing"));
        QCOMPARE(path.count(), 0);
        f.model.cd(QStringLiteral("b"));
        f.model.cd(QStringLiteral("x"));
        QCOMPARE(f.model.groupPath(), (QStringList{ "b", "x" }));
        QCOMPARE(f.model.groupName(), QStringLiteral("x"));
        QCOMPARE(f.model.data(f.model.index(0), EkSitesModel::VisiblePathRole).toStringList(),
                 (QStringList{ "b", "x", "c" }));
        QCOMPARE(f.model.data(f.model.index(0), EkSitesModel::SiteRole).toInt(), 3);
        QCOMPARE(f.model.data(f.model.index(0), EkSitesModel::LevelRole).toInt(), 3);
        f.model.cdUp();
        QCOMPARE(f.rows(), (QStringList{ "x", "A" }));
        QCOMPARE(f.model.getGroups(), QStringList{ "b" });
        QCOMPARE(f.model.getSubGroups(QStringLiteral("b")), QStringList{ "x" });
        QCOMPARE(f.model.getSitesCount({ "b" }), 2);
        const QVariantMap group = f.model.getTree().first().toMap();
        QCOMPARE(group.value("caption").toString(), QStringLiteral("b"));
        QCOMPARE(group.value("children").toList().size(), 2);
    }

    void editsKeepImageAndTreeInStep()
    {
        Fixture f({ { 0, { "Plant", "Hall", "Pump" } }, { 1, { "Plant", "Hall", "Fan" } }, { 2, { "Yard", "", "Gate" } } });
        f.model.cd(QStringLiteral("Plant"));
        f.model.cd(QStringLiteral("Hall"));

        f.model.renameGroup({ "Plant" }, QStringLiteral("Works"));
        QVERIFY(f.imageAgrees());
        QCOMPARE(f.model.groupPath(), (QStringList{ "Works", "Hall" }));
        QCOMPARE(f.rows(), (QStringList{ "Fan", "Pump" }));

        // Moving a site is setting its new path.
        f.model.setSite(1, { "Yard", "", "Fan" });
        QVERIFY(f.imageAgrees());
        QCOMPARE(f.rows(), QStringList{ "Pump" });

        f.model.removeGroup({ "Works" });
        QVERIFY(f.imageAgrees());
        QCOMPARE(f.model.groupPath(), QStringList());
        QCOMPARE(f.model.sitesCount(), 2);

        // Names are stored as their 40-byte fields will read back.
        const QString longName = QString(45, QChar(0x0416));
        f.model.setSite(5, { "Yard", "", longName });
        QVERIFY(f.imageAgrees());
        QCOMPARE(f.model.getSiteName(5), longName.left(20));

        f.model.removeSite(2);
        f.model.removeSite(17);
        QVERIFY(f.imageAgrees());
        QCOMPARE(f.model.getSitesIndexes(QStringLiteral("Yard"), QString()), (QVariantList{ 1, 5 }));
        f.model.removeAll();
        QVERIFY(f.imageAgrees());
        QCOMPARE(f.model.sitesCount(), 0);
    }

    void fullTableTakesNoNewSite()
    {
        SiteMap full;
        for (quint16 i = 0; i < 20; ++i)
            full.insert(i, { "", "", QStringLiteral("S%1").arg(i) });
        Fixture f(full);
        QCOMPARE(f.model.getNewSiteIndex(), -1);
        f.model.setSite(25, { "", "", "Extra" });
        f.model.setSite(3, { "", "", "Renamed" });
        QCOMPARE(f.model.getSiteIndex(QStringLiteral("Renamed")), 3);
        f.model.removeSite(7);
        QCOMPARE(f.model.getNewSiteIndex(), 7);
    }

    void uniqueNamesAreUnique_data()
    {
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("unique");
        QTest::newRow("free") << QStringList{ "Fan" } << "Pump" << "Pump";
        QTest::newRow("taken") << QStringList{ "Pump" } << "Pump" << "Pump 2";
        QTest::newRow("numbered taken") << QStringList{ "Pump 7" } << "Pump 7" << "Pump 8";
        QTest::newRow("numbered free") << QStringList{ "Pump" } << "Pump 7" << "Pump 7";
        QTest::newRow("space too early") << QStringList{ "A 1" } << "A 1" << "A 1 2";
        QStringList crowded;
        for (int i = 25; i < 44; ++i)
            crowded << QStringLiteral("Pump %1").arg(i);
        QTest::newRow("numbered above the bound") << crowded << "Pump 25" << "Pump 44";
        QStringList all{ "Pump" };
        for (int i = 2; i <= 20; ++i)
            all << QStringLiteral("Pump %1").arg(i);
        QTest::newRow("every slot taken") << all << "Pump" << "Pump 21";
    }

    void uniqueNamesAreUnique()
    {
        QFETCH(QStringList, taken);
        QFETCH(QString, name);
        QFETCH(QString, unique);
        SiteMap sites;
        for (int i = 0; i < taken.size(); ++i)
            sites.insert(quint16(i), { "", "", taken.at(i) });
        Fixture f(sites);
        QCOMPARE(f.model.getUniqueSiteName(name), unique);
    }

    void writeToDeviceWritesThenReads()
    {
        RecordingClient client;
        client.setConnected(true);
        Fixture f;
        f.file.setClient(&client);
        f.model.setSite(0, { "G", "", "Pump" }, true);
        QCOMPARE(client.queued.size(), 2);
        QCOMPARE(client.queued.at(0)->type(), TavrexBus::WriteTask);
        QCOMPARE(client.queued.at(1)->type(), TavrexBus::ReadTask);
        QVERIFY(client.completeNext({}));
        QVERIFY(client.completeNext(ModbusBytesArray{ image({ { 4, { "", "", "Read" } } }) }));
        QCOMPARE(f.model.getSitePath(4), (QStringList{ "", "", "Read" }));
        QCOMPARE(f.rows(), QStringList{ "Read" });
    }

    void siteItemHoldsOneRecord()
    {
        EkSiteItem item;
        item.setNameSize(8);
        item.setReservedBytesCount(4);
        item.setSitePath({ "Plant", "Hall", "Pump" });
        QCOMPARE(item.bytes().size(), 3 * 8 + 4 + 2);
        QVERIFY(item.bytes().checkCrc16());
        EkSiteItem copy;
        copy.setNameSize(8);
        copy.setReservedBytesCount(4);
        QSignalSpy path(&copy, &EkSiteItem::sitePathChanged);
        copy.setBytes(item.bytes(), ModbusItemBase::ReadChange);
        QCOMPARE(copy.sitePath(), (QStringList{ "Plant", "Hall", "Pump" }));
        QCOMPARE(path.count(), 1);
        ModbusBytes broken = item.bytes();
        broken[0] = 'X';
        copy.setBytes(broken, ModbusItemBase::ReadChange);
        QCOMPARE(copy.sitePath(), (QStringList{ "", "", "" }));
    }
};

QTEST_GUILESS_MAIN(tst_SitesModel)
#include "tst_sitesmodel.moc"
