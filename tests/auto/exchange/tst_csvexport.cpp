#include "programrun.h"

#include <TavrexBus1/tavrexbus1.h>
#include <TavrexBus1/customfieldevent.h>

#include <QtCore/qjsonarray.h>
#include <QtCore/qjsondocument.h>
#include <QtCore/qtemporarydir.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>

// Item tables written to CSV files.
class tst_CsvExport : public QObject
{
    Q_OBJECT

public:
    QString path(const QString &name) const { return m_dir.filePath(name); }

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
    // Texts with separators, quotes and line breaks read back with Python's csv module as written.
    void fieldsReadBackWithAnIndependentReader()
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
    void headerRow_data()
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
        QTest::newRow("KOI8-R") << "KOI8-R" << false << unit << QByteArray("\"\xCD" "3\"");
    }

    void headerRow()
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

    void failuresAreToldAndLeaveTheFile_data()
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

    void failuresAreToldAndLeaveTheFile()
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

QTEST_GUILESS_MAIN(tst_CsvExport)
#include "tst_csvexport.moc"
