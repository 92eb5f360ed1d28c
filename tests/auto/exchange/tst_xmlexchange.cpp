#include "programrun.h"
#include "recordingclient.h"
#include "signaltexts.h"

#include <TavrexBus1/tavrexbus1.h>
#include <TavrexBus1/customfieldevent.h>

#include <QtCore/qjsonarray.h>
#include <QtCore/qjsondocument.h>
#include <QtCore/qtemporarydir.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>

namespace {

using Maker = ModbusItemBase *(*)(quint32 address);

template <typename Item>
ModbusItemBase *make(quint32 address)
{
    return new Item(address);
}

template <>
ModbusItemBase *make<ModbusFile>(quint32 address)
{
    auto *file = new ModbusFile;
    file->setFile(3);
    file->setOffset(quint16(address % 65536));
    file->setLength(6);
    return file;
}

} // namespace

Q_DECLARE_METATYPE(Maker)

// Item values saved to XML and loaded back, with device reads before saving and writes after loading;
// item tables written to CSV files.
class tst_XmlExchange : public QObject
{
    Q_OBJECT

public:
    static QVariantList variants(const QList<ModbusItemBase *> &items)
    {
        QVariantList list;
        for (ModbusItemBase *item : items)
            list << QVariant::fromValue(item);
        return list;
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }

    void writeFile(const QString &name, const QByteArray &content) const
    {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    // Saves the items' current values, without the device.
    bool save(const QString &file, const QList<ModbusItemBase *> &items)
    {
        ModbusXmlExporter exporter;
        exporter.setFileName(path(file));
        exporter.setReadOnExport(false);
        exporter.exportItems(variants(items));
        return exporter.save();
    }

    static QByteArray document(const QByteArray &body)
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE tavrexbus>\n<tavrexbus>\n"
               "<modbusitems version=\"1.0\">\n" + body + "\n</modbusitems>\n</tavrexbus>\n";
    }

    static QByteArray readAll(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Three doubles in an array: rows of ("Label", "Value").
    static void fill(ModbusDouble &item)
    {
        item.setCount(3);
        ModbusBytesArray array;
        for (double value : { 3.14159, -0.0005, 1234.5 })
            array << ModbusBytes::fromDouble(value);
        item.setBytesArray(array, ModbusItemBase::ValueChange);
    }

private Q_SLOTS:
    void everyItemKindKeepsItsValue_data()
    {
        QTest::addColumn<Maker>("make");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("uint8") << &make<ModbusUInt8> << QVariant(200);
        QTest::newRow("int8") << &make<ModbusInt8> << QVariant(-100);
        QTest::newRow("int16") << &make<ModbusInt16> << QVariant(-32768);
        QTest::newRow("uint32") << &make<ModbusUInt32> << QVariant(4000000000u);
        QTest::newRow("uint64") << &make<ModbusUInt64> << QVariant(quint64(18446744073709551615ull));
        QTest::newRow("int64") << &make<ModbusInt64> << QVariant(qint64(-9007199254740993ll));
        QTest::newRow("float") << &make<ModbusFloat> << QVariant(0.1f);
        QTest::newRow("double") << &make<ModbusDouble> << QVariant(1.000125);
        QTest::newRow("double struct") << &make<ModbusDoubleStruct> << QVariant(-12.625);
        QTest::newRow("bit") << &make<ModbusBit> << QVariant(true);
        QTest::newRow("datetime") << &make<ModbusDateTime>
                                  << QVariant(QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58)));
        QTest::newRow("ansi string") << &make<ModbusStringAnsi> << QVariant(QStringLiteral("a<b & \"c\""));
        QTest::newRow("utf8 string") << &make<ModbusStringUtf8> << QVariant(QStringLiteral("Котельная ²"));
        QTest::newRow("custom bytes") << &make<ModbusCustomBytes> << QVariant(QStringLiteral("0a0b"));
        QTest::newRow("file") << &make<ModbusFile> << QVariant(QStringLiteral("00ff10203040"));
    }

    void everyItemKindKeepsItsValue()
    {
        QFETCH(Maker, make);
        QFETCH(QVariant, value);
        const std::unique_ptr<ModbusItemBase> saved(make(400011));
        QVERIFY(saved->setProperty("value", value));
        QCOMPARE(saved->property("value"), value);
        QCOMPARE(saved->property("value").toLongLong(), value.toLongLong()); // no double on the way
        const std::unique_ptr<ModbusItemBase> other(make(400001));
        QVERIFY(save("kinds.xml", { saved.get(), other.get() }));

        const std::unique_ptr<ModbusItemBase> loaded(make(400011));
        ModbusXmlImporter importer;
        importer.setFileName(path("kinds.xml"));
        importer.setWriteOnImport(false);
        QSignalSpy finished(&importer, &ModbusImporter::finished);
        QVERIFY2(importer.importItems(variants({ loaded.get() })), qPrintable(importer.errorString()));
        QCOMPARE(loaded->bytes().toHex(), saved->bytes().toHex());
        QCOMPARE(finished.count(), 1);
    }

    void badFileChangesNoItem_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        const QByteArray good = "<item type=\"ModbusUInt16\" count=\"1\" address=\"400001\">5</item>";
        QTest::newRow("truncated") << document(good).left(120) << "Parse error at line";
        QTest::newRow("unknown element") << document(good + "\n<script/>") << "bad.xml:6: unknown element <script>";
        QTest::newRow("element in an item")
            << document("<item type=\"ModbusUInt16\" count=\"1\" address=\"400001\">5<b/></item>")
            << "unknown element <b> in an item";
        QTest::newRow("wrong doc type") << QByteArray(document(good)).replace("DOCTYPE tavrexbus", "DOCTYPE other")
                                        << "wrong doc type";
        QTest::newRow("wrong root") << QByteArray(document(good)).replace("modbusitems", "items")
                                    << "wrong root element name";
        QTest::newRow("no version") << QByteArray(document(good)).replace(" version=\"1.0\">", ">")
                                    << "wrong modbus items xml version";
        QTest::newRow("not a number")
            << document(good + "\n<item type=\"ModbusUInt16\" count=\"1\" address=\"400002\">five</item>")
            << "bad.xml:6: \"five\" is not a value of ModbusUInt16 (1 400002)";
        QTest::newRow("huge number")
            << document("<item type=\"ModbusUInt16\" count=\"1\" address=\"400002\">" + QByteArray(5000, '9')
                        + "</item>" + good)
            << "is not a value of ModbusUInt16 (1 400002)";
        QTest::newRow("deep nesting") << document(QByteArray("<group name=\"g\">").repeated(100000)) << "nested deeper";
        QTest::newRow("entity expansion")
            << QByteArray("<?xml version=\"1.0\"?>\n<!DOCTYPE tavrexbus [\n<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">\n"
                          "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">\n"
                          "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">\n<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">\n"
                          "]>\n<tavrexbus><modbusitems version=\"1.0\"><property name=\"x\" value=\"&e;\"/>"
                          "</modbusitems></tavrexbus>")
            << "Parse error at line";
        QTest::newRow("missing file") << QByteArray() << path("bad.xml: ");
    }

    void badFileChangesNoItem()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QFile::remove(path("bad.xml"));
        if (!content.isNull())
            writeFile("bad.xml", content);
        ModbusUInt16 first(400001);
        ModbusUInt16 second(400002);
        first.setValue(7);
        second.setValue(8);
        ModbusXmlImporter importer;
        importer.setFileName(path("bad.xml"));
        importer.setWriteOnImport(false);
        QSignalSpy finished(&importer, &ModbusImporter::finished);
        QVERIFY(!importer.importItems(variants({ &first, &second })));
        QVERIFY2(importer.errorString().contains(message), qPrintable(importer.errorString()));
        QCOMPARE(first.value(), 7);
        QCOMPARE(second.value(), 8);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(importer.getGroups(), QStringList());
    }

    // A file of another layout: what matches loads, in file order for equal items; the rest is told.
    void otherLayoutLoadsWhatMatches()
    {
        writeFile("layout.xml", document("<item type=\"ModbusUInt16\" count=\"1\" address=\"400001\">11</item>"
                                         "<item type=\"ModbusUInt16\" count=\"1\" address=\"400001\">12</item>"
                                         "<item type=\"ModbusUInt16\" count=\"1\" address=\"400009\">13</item>"
                                         "<item type=\"ModbusFloat\" count=\"1\" address=\"400003\">2.5</item>"));
        ModbusUInt16 a(400001);
        ModbusUInt16 b(400001);
        ModbusUInt16 moved(400005);
        ModbusInt16 otherType(400003);
        ModbusXmlImporter importer;
        importer.setFileName(path("layout.xml"));
        importer.setWriteOnImport(false);
        QVERIFY(importer.importItems(variants({ &a, &b, &moved, &otherType })));
        QCOMPARE(a.value(), 11);
        QCOMPARE(b.value(), 12);
        QCOMPARE(moved.value(), 0);
        QCOMPARE(otherType.value(), 0);
        QCOMPARE(importer.processed(), 2);
        QCOMPARE(importer.errorString(),
                 QStringLiteral("no value found for 2 item(s): ModbusUInt16 (1 400005), ModbusInt16 (1 400003)"));
    }

    // Groups and properties come back, and the file reads with a parser that shares no code with ours.
    void groupsAndPropertiesComeBack()
    {
        ModbusUInt16 outer(400001);
        ModbusUInt16 inner(400001);
        ModbusFloat flow(300003);
        outer.setValue(1);
        inner.setValue(42);
        ModbusXmlExporter exporter;
        exporter.setFileName(path("groups.xml"));
        exporter.setReadOnExport(false);
        exporter.setSkipReadOnlyItems(false);
        QSignalSpy entered(&exporter, &ModbusExporterImporter::groupEntered);
        exporter.exportProperty(QStringLiteral("serial"), QStringLiteral("A&B 7"));
        exporter.exportItem(&outer);
        exporter.beginGroup(QStringLiteral("meter 2"));
        exporter.beginGroup(QStringLiteral(""));
        exporter.exportItems(variants({ &inner, &flow }));
        exporter.endGroup();
        QCOMPARE(exporter.groupPath(), QStringList{ "meter 2" });
        exporter.endGroup();
        exporter.endGroup();
        QCOMPARE(exporter.groupPath(), QStringList());
        QCOMPARE(entered.count(), 2);
        QVERIFY(exporter.save());

        const char *script = R"(
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
assert root.tag == 'tavrexbus', root.tag
items = root.find('modbusitems')
assert items.get('version') == '1.0'
prop = items.find('property')
assert (prop.get('name'), prop.get('value')) == ('serial', 'A&B 7')
group = items.find('group')
assert group.get('name') == 'meter 2'
found = [(i.get('type'), i.get('count'), i.get('address'), i.text) for i in group.find('group').findall('item')]
assert found == [('ModbusUInt16', '1', '400001', '42'), ('ModbusFloat', '1', '300003', '0')], found
with open(sys.argv[1], encoding='utf-8') as f:
    head = f.read(200)
assert head.startswith('<?xml version="1.0" encoding="UTF-8"?>') and '<!DOCTYPE tavrexbus>' in head, head
)";
        const ProgramRun python = runProgram(QStringLiteral("/usr/bin/python3"), { "-c", script, path("groups.xml") });
        QVERIFY2(python.exitCode == 0, qPrintable(python.err));

        ModbusXmlImporter importer;
        importer.setFileName(path("groups.xml"));
        importer.setWriteOnImport(false);
        QCOMPARE(importer.getGroups(), QStringList{ "meter 2" });
        QCOMPARE(importer.importProperty(QStringLiteral("serial")), QStringLiteral("A&B 7"));
        QCOMPARE(importer.importProperty(QStringLiteral("absent")), QString());
        QVERIFY(!importer.beginGroup(QStringLiteral("meter 3")));
        QVERIFY(importer.beginGroup(QStringLiteral("meter 2")));
        QVERIFY(importer.beginGroup(QString()));
        ModbusUInt16 loaded(400001);
        QVERIFY(importer.importItems(variants({ &loaded })));
        QCOMPARE(loaded.value(), 42);
        importer.endGroup();
        importer.endGroup();
        QVERIFY(importer.importItems(variants({ &loaded })));
        QCOMPARE(loaded.value(), 1);
    }

    void viewsExportTheirSourceOnceAndReadOnlyItemsStayOut()
    {
        ModbusUInt32 source(400001);
        ModbusUInt16 low;
        ModbusUInt16 high;
        low.setSource(&source);
        high.setSource(&source);
        ModbusUInt16 input(300001);
        ModbusXmlExporter exporter;
        const QVariantList selected = exporter.filterVariantItems(variants({ &low, &high, &source, &input }));
        QCOMPARE(selected, variants({ &source }));
        exporter.setSkipReadOnlyItems(false);
        QCOMPARE(exporter.filterVariantItems(variants({ &low, &input })), variants({ &source, &input }));
    }

    void saveRefusesWhatItCannotWrite_data()
    {
        QTest::addColumn<bool>("exportFirst");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing exported") << false << "empty.xml" << "can't save empty xml document";
        QTest::newRow("no directory") << true << "no/such/dir.xml" << "can't write file";
    }

    void saveRefusesWhatItCannotWrite()
    {
        QFETCH(bool, exportFirst);
        QFETCH(QString, file);
        QFETCH(QString, message);
        ModbusXmlExporter exporter;
        exporter.setFileName(path(file));
        ModbusUInt16 item(400001);
        if (exportFirst)
            QVERIFY(exporter.exportItem(&item));
        QVERIFY(!exporter.save());
        QVERIFY2(exporter.errorString().startsWith(message), qPrintable(exporter.errorString()));
        QVERIFY(!QFile::exists(path(file)));
    }

    // Each failed read is retried; after modbusRetries retries the item is given up with its message.
    // An item without a client is given up at once, one destroyed mid-run quietly; the run still ends.
    // Loaded back, the value is written to the device, and the import finishes with that write.
    void deviceIsReadBeforeExportAndWrittenAfterImport()
    {
        RecordingClient client;
        client.setConnected(true);
        ModbusUInt16 good(400001);
        ModbusUInt16 bad(400002);
        ModbusUInt16 lone(400003);
        auto *doomed = new ModbusUInt16(400004);
        good.setClient(&client);
        bad.setClient(&client);
        doomed->setClient(&client);
        ModbusXmlExporter exporter;
        exporter.setFileName(path("read.xml"));
        QSignalSpy exported(&exporter, &ModbusExporterImporter::finished);
        QSignalSpy errors(&exporter, &ErrObject::error);
        exporter.exportItems(variants({ &good, &bad, &lone, doomed }));
        QCOMPARE(signalTexts(errors),
                 QStringList{"can't read ModbusUInt16 (1 400003): you should assign 'client' - property"});
        QCOMPARE(client.queued.removeWithDelete(doomed), 1);
        QCOMPARE(client.queued.size(), 2);
        QVERIFY(client.completeNext(ModbusBytesArray{ ModbusBytes::fromHex("0102") }));
        QCOMPARE(exporter.processed(), 1);
        int reads = 1;
        while (!client.queued.isEmpty()) {
            client.completeNext({}, TavrexBus::TaskFailed, QStringLiteral("no answer"));
            reads += client.queued.isEmpty() ? 0 : 1;
        }
        QCOMPARE(reads, 3);
        QCOMPARE(exported.count(), 0);
        delete doomed;
        QCOMPARE(exported.count(), 1);
        QCOMPARE(exporter.errorString(), QStringLiteral("can't read ModbusUInt16 (1 400002): no answer"));
        QVERIFY(exporter.save());

        ModbusUInt16 target(400001);
        target.setClient(&client);
        ModbusXmlImporter importer;
        importer.setFileName(path("read.xml"));
        QSignalSpy imported(&importer, &ModbusImporter::finished);
        QVERIFY(importer.importItems(variants({ &target })));
        QCOMPARE(target.value(), 0x0102);
        QCOMPARE(client.queued.size(), 1);
        QCOMPARE(imported.count(), 0);
        QVERIFY(client.completeNext({}));
        QCOMPARE(imported.count(), 1);
        QCOMPARE(importer.processed(), 1);
    }

    // Texts with separators, quotes and line breaks read back with Python's csv module as written.
    void csvFieldsReadBackWithAnIndependentReader()
    {
        ModbusDouble item(400001);
        fill(item);
        ModbusItemCSVExporter exporter;
        exporter.setItem(&item);
        exporter.setFileName(path("table.csv"));
        exporter.setCustomFields({ QVariantMap{ { "index", 1 }, { "name", "note; \"1\"" } } });
        const QStringList notes{ "a;b", "say \"hi\"", "two\nlines" };
        connect(&exporter, &ModbusItemCSVExporter::customField, this,
                [&notes](CustomFieldEvent *event) { event->setValue(notes.at(event->rowIndex())); });
        QSignalSpy completed(&exporter, &ModbusItemExporter::completed);
        QVERIFY2(exporter.start(), qPrintable(exporter.errorString()));
        QCOMPARE(completed.count(), 1);

        const char *script = R"(
import csv, json, sys
with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:
    print(json.dumps(list(csv.reader(f, delimiter=';'))))
)";
        const ProgramRun python = runProgram(QStringLiteral("/usr/bin/python3"), { "-c", script, path("table.csv") });
        QVERIFY2(python.exitCode == 0, qPrintable(python.err));
        const QJsonArray rows = QJsonDocument::fromJson(python.out.toUtf8()).array();
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows.at(0).toArray().toVariantList(), QVariantList({ "#", "Label", "note; \"1\"", "Value" }));
        for (int row = 1; row < 4; ++row)
            QCOMPARE(rows.at(row).toArray().at(2).toString(), notes.at(row - 1));
        QCOMPARE(rows.at(1).toArray().at(3).toString(), QStringLiteral("3,142"));
        QCOMPARE(rows.at(2).toArray().at(3).toString(), QStringLiteral("-0,001"));
        QCOMPARE(rows.at(3).toArray().at(0).toString(), QStringLiteral("3"));
    }

    // The header row: custom fields go where their index says, in the file's encoding, after the
    // byte order mark of a Unicode one unless that is switched off (here: no encoding, UTF-8 without it).
    void csvHeaderRow_data()
    {
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<bool>("indexColumn");
        QTest::addColumn<QVariantList>("fields");
        QTest::addColumn<QByteArray>("start");
        const auto field = [](int index, const QString &name) {
            return QVariantMap{ { "index", index }, { "name", name } };
        };
        const QByteArray bom("\xEF\xBB\xBF");
        QTest::newRow("model only") << "UTF-8" << false << QVariantList{} << bom + "\"Label\";\"Value\"\n";
        QTest::newRow("no byte order mark") << "" << false << QVariantList{} << QByteArray("\"Label\";\"Value\"\n");
        QTest::newRow("first, after #") << "UTF-8" << true << QVariantList{ field(0, "A") }
                                        << bom + "\"#\";\"A\";\"Label\";\"Value\"\n";
        QTest::newRow("equal indexes keep order") << "UTF-8" << false << QVariantList{ field(1, "B"), field(1, "C") }
                                                  << bom + "\"Label\";\"B\";\"C\";\"Value\"\n";
        QTest::newRow("past the end appends") << "UTF-8" << false << QVariantList{ field(9, "Z"), field(-3, "A") }
                                              << bom + "\"A\";\"Label\";\"Value\";\"Z\"\n";
        const QVariantList unit{ field(0, QStringLiteral("м³")) };
        QTest::newRow("UTF-8") << "UTF-8" << false << unit << bom + QStringLiteral("\"м³\"").toUtf8();
        QTest::newRow("utf-16le") << "UTF-16LE" << false << unit
                                  << QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(u"\"м³\""), 8);
        QTest::newRow("windows-1251") << "windows-1251" << false << unit << QByteArray("\"\xEC" "3\"");
    }

    void csvHeaderRow()
    {
        QFETCH(QString, encoding);
        QFETCH(bool, indexColumn);
        QFETCH(QVariantList, fields);
        QFETCH(QByteArray, start);
        ModbusDouble item(400001);
        fill(item);
        ModbusItemCSVExporter exporter;
        exporter.setItem(&item);
        exporter.setUseBom(!encoding.isEmpty());
        exporter.setEncoding(encoding.isEmpty() ? QStringLiteral("UTF-8") : encoding);
        exporter.setIndexColumn(indexColumn);
        exporter.setCustomFields(fields);
        exporter.setFileName(path("header.csv"));
        QVERIFY2(exporter.start(), qPrintable(exporter.errorString()));
        const QByteArray content = readAll(path("header.csv"));
        QVERIFY2(content.startsWith(start), content.left(80).toHex(' ').constData());
    }

    void csvFailuresAreToldAndLeaveTheFile_data()
    {
        QTest::addColumn<bool>("withItem");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("no item") << false << "UTF-8" << "kept.csv" << "item doesn't set";
        QTest::newRow("unknown encoding") << true << "no-such-codec" << "kept.csv" << "unknown encoding no-such-codec";
        QTest::newRow("no directory") << true << "UTF-8" << "no/dir/x.csv"
                                      << "can't open file " + path("no/dir/x.csv") + ": No such file or directory";
    }

    void csvFailuresAreToldAndLeaveTheFile()
    {
        QFETCH(bool, withItem);
        QFETCH(QString, encoding);
        QFETCH(QString, file);
        QFETCH(QString, message);
        QFile old(path(file));
        const bool existed = old.open(QIODevice::WriteOnly) && old.write("old") == 3;
        old.close();
        ModbusDouble item(400001);
        ModbusItemCSVExporter exporter;
        exporter.setItem(withItem ? &item : nullptr);
        exporter.setEncoding(encoding);
        exporter.setFileName(path(file));
        QSignalSpy completed(&exporter, &ModbusItemExporter::completed);
        QVERIFY(!exporter.start());
        QCOMPARE(exporter.errorString(), message);
        QCOMPARE(readAll(path(file)), existed ? QByteArray("old") : QByteArray());
        QCOMPARE(completed.count(), 0);
        QVERIFY(!exporter.running());
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(tst_XmlExchange)
#include "tst_xmlexchange.moc"
