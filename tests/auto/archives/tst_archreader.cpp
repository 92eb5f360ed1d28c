#include "metersimulator.h"

#include <TavrexBus1/modbusarchlabel.h>
#include <TavrexBus1/modbusarchreader.h>
#include <TavrexBus1/modbusarchrecord.h>
#include <TavrexBus1/modbusclient.h>
#include <TavrexBus1/modbuser.h>
#include <TavrexBus1/modbustcpclient.h>
#include <TavrexBus1/modbustcpserver.h>
#include <TavrexBus1/modbustranslator.h>

#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>

#include <ctime>
#include <memory>

namespace {

// Labels as the suite writes them.
const QString textFormat = QStringLiteral("yyyy-MM-dd hh:mm");

bool readAndWait(ModbusItemBase &item)
{
    QSignalSpy done(&item, &ModbusItemBase::afterRead);
    return item.read() && done.wait(5000);
}

// The simulated meter on 127.0.0.1 (port 0) with the archives of the map, and a client linked to it
// over Modbus/TCP. The meter answers on the test's thread; its Modbuser is there to be tampered with.
struct ArchiveFixture
{
    MeterSimulator meter;
    Modbuser device;
    std::unique_ptr<ModbusTcpServer> server;
    std::unique_ptr<ModbusTcpClient> link;
    std::unique_ptr<ModbusClient> client;

    bool start(const QByteArray &map)
    {
        QString error;
        if (!meter.load(map, &error)) {
            qWarning() << error;
            return false;
        }
        meter.serve(device);
        server = std::make_unique<ModbusTcpServer>(0);
        server->setAddress(QHostAddress::LocalHost);
        device.translator().addTransport(*server, true, false);
        if (!server->connectTransport(false))
            return false;
        link = std::make_unique<ModbusTcpClient>(QHostAddress::LocalHost, server->port());
        link->setReadAnswerTimeout(300);
        client = std::make_unique<ModbusClient>();
        client->setRetries(1);
        client->setTransport(link.get());
        return link->connectTransport(false);
    }
};

// Archive 1: generation 1 records, hourly from 2024-03-03 00:00 to 2024-03-05 23:00, none at 03:00-05:00
// of the 5th. Archive 2: 12-byte records of the 5th. Archive 3: hourly from 2024-03-04 11:00 to
// 2024-03-05 10:00 without 03:00 and 05:00-06:00 of the 5th. Archive 0: records 1-20 but 8 and 9. Every
// record starts with its label.
const QByteArray map = R"({ "archives": [
    { "index": 1, "type": "time", "interval": "hour", "generation": 1, "records": 72, "last": "2024-03-05T23:00:00",
      "gaps": [ [ "2024-03-05T03:00:00", "2024-03-05T05:00:00" ] ] },
    { "index": 2, "type": "time", "interval": "hour", "records": 24, "last": "2024-03-05T23:00:00" },
    { "index": 3, "type": "time", "interval": "hour", "records": 24, "last": "2024-03-05T10:00:00",
      "gaps": [ "2024-03-05T03:00:00", [ "2024-03-05T05:00:00", "2024-03-05T06:00:00" ] ] },
    { "index": 0, "type": "index", "records": 20, "gaps": [ [ 8, 9 ] ] } ] })";

struct Request
{
    quint32 label;
    int count;
    bool operator==(const Request &other) const { return label == other.label && count == other.count; }
};

// A range to read and what comes of it; missing records (read with function 65 where the archive has
// none) are zeros.
struct Range
{
    int archIndex;
    int func;
    int recordsPerRequest;
    const char *from;
    const char *to;
    int records;
    int missing;
    const char *first;
    const char *last;
};

QString text(quint32 label, bool time = true)
{
    return time ? TavrexBus::archLabelToTime(label).toString(textFormat) : QString::number(label);
}

quint32 label(const QString &text)
{
    return TavrexBus::archLabelToSeconds(QDateTime::fromString(text, textFormat));
}

QString text(const ModbusArchLabel &item, quint32 value)
{
    return item.archType() == TavrexBus::IndexArch ? QString::number(value)
                                                   : item.getVariantLabel(value, true).toString();
}

QStringList texts(const ModbusArchLabel &item, const QList<quint32> &values)
{
    QStringList result;
    for (quint32 value : values)
        result << text(item, value);
    return result;
}

} // namespace

Q_DECLARE_METATYPE(Request)
Q_DECLARE_METATYPE(Range)

// Label and range readings against the simulated meter over Modbus/TCP on 127.0.0.1. Labels are
// wall-clock: the suite runs in a zone with daylight saving.
class tst_ArchReader : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ArchiveFixture> m_device;
    std::unique_ptr<ModbusArchRecord> m_record;
    std::unique_ptr<ModbusArchReader> m_reader;
    QList<Request> m_requests;  // record requests as the device received them

    void prepare(int archIndex, TavrexBus::ArchFunc func, int recordsPerRequest, const QString &from,
                 const QString &to)
    {
        m_record->setArchType(archIndex == 0 ? TavrexBus::IndexArch : TavrexBus::TimeArch);
        m_record->setArchIndex(archIndex);
        m_record->setFunc(func);
        m_reader->setRecordsPerRequest(recordsPerRequest);
        m_reader->setFrom(from.isEmpty() ? QVariant() : QVariant(from));
        m_reader->setTo(to.isEmpty() ? QVariant() : QVariant(to));
    }

    bool runToEnd()
    {
        QSignalSpy stopped(m_reader.get(), &ModbusArchReader::runningChanged);
        m_reader->start();
        return m_reader->running() ? stopped.wait(20000) : false;
    }

    // Every request made before this read has been served once its answer is here.
    void drainClient()
    {
        ModbusArchRecord probe;
        probe.setArchIndex(2);
        probe.setTimeFormat(textFormat);
        probe.setVariantLabel(QStringLiteral("2024-03-05 00:00"));
        probe.setClient(m_device->client.get());
        QVERIFY(readAndWait(probe));
        m_requests.removeLast();
    }

    void setUpItem(ModbusArchLabel &item, const QString &from, int count)
    {
        item.setTimeFormat(textFormat);
        item.setArchType(from.contains(u'-') ? TavrexBus::TimeArch : TavrexBus::IndexArch);
        item.setArchIndex(item.archType() == TavrexBus::TimeArch ? 3 : 0);
        item.setVariantLabel(from);
        item.setCount(count);
    }

private Q_SLOTS:
    void init()
    {
        m_device = std::make_unique<ArchiveFixture>();
        QVERIFY(m_device->start(map));
        m_requests.clear();
        connect(&m_device->device, &Modbuser::onReadArchRecords, this,
                [this](quint16, quint32 label, TavrexBus::ArchDirection, quint16 count, QList<ModbusBytes> &,
                       ModbusTranslateOptions &, TavrexBus::ArchType, bool &) { m_requests.append({label, count}); });
        m_record = std::make_unique<ModbusArchRecord>();
        m_record->setTimeFormat(textFormat);
        m_record->setClient(m_device->client.get());
        m_reader = std::make_unique<ModbusArchReader>();
        m_reader->setRecord(m_record.get());
    }

    void cleanup()
    {
        m_reader.reset();
        m_record.reset();
        m_device.reset();
    }

    // The device lists the labels that exist; the neighbours come from around them.
    void devicePresenceSkipsGaps_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QString>("prev");  // empty: none before
        QTest::addColumn<QString>("next");  // empty: none after
        QTest::newRow("across gaps") << "2024-03-05 02:00" << 3
                                     << QStringList{"2024-03-05 02:00", "2024-03-05 04:00", "2024-03-05 07:00"}
                                     << "2024-03-05 01:00" << "2024-03-05 08:00";
        QTest::newRow("from inside a gap") << "2024-03-05 05:30" << 1 << QStringList{"2024-03-05 07:00"}
                                           << "2024-03-05 04:00" << "2024-03-05 08:00";
        QTest::newRow("first record") << "2024-03-04 11:00" << 2
                                      << QStringList{"2024-03-04 11:00", "2024-03-04 12:00"} << ""
                                      << "2024-03-04 13:00";
        QTest::newRow("before the archive") << "2024-02-01 00:00" << 1 << QStringList{"2024-03-04 11:00"} << ""
                                            << "2024-03-04 12:00";
        QTest::newRow("last record") << "2024-03-05 09:00" << 3
                                     << QStringList{"2024-03-05 09:00", "2024-03-05 10:00"} << "2024-03-05 08:00"
                                     << "";
        QTest::newRow("index archive") << "6" << 3 << QStringList{"6", "7", "10"} << "5" << "11";
    }

    void devicePresenceSkipsGaps()
    {
        QFETCH(QString, from);
        QFETCH(int, count);
        QFETCH(QStringList, labels);
        QFETCH(QString, prev);
        QFETCH(QString, next);
        ModbusArchLabel item;
        setUpItem(item, from, count);
        item.setFunc(TavrexBus::Func67);
        item.setUsePrev(true);
        item.setUseNext(true);
        item.setUseFirst(true);
        item.setUseLast(true);
        const quint32 computedPrev = item.prevLabelInt();
        item.setClient(m_device->client.get());
        QVERIFY(readAndWait(item));
        QCOMPARE(texts(item, item.labels()), labels);
        QCOMPARE(text(item, item.valueInt()), labels.first());
        QCOMPARE(item.prevLabelExists(), !prev.isEmpty());
        // A neighbour the device does not have leaves the label as it was.
        QCOMPARE(text(item, item.prevLabelInt()), prev.isEmpty() ? text(item, computedPrev) : prev);
        QCOMPARE(item.nextLabelExists(), !next.isEmpty());
        if (!next.isEmpty())
            QCOMPARE(text(item, item.nextLabelInt()), next);
        const bool time = item.archType() == TavrexBus::TimeArch;
        QCOMPARE(text(item, item.firstLabelInt()), time ? "2024-03-04 11:00" : "1");
        QCOMPARE(text(item, item.lastLabelInt()), time ? "2024-03-05 10:00" : "20");
    }

    // Function 65 devices have no presence function: the labels are computed from the item's interval,
    // here across a year end (the calendar itself, daylight saving included, is the label helpers').
    void computedLabelsFollowTheItemsInterval()
    {
        ModbusArchLabel item;
        setUpItem(item, "2024-11-01 00:00", 3);
        item.setArchInterval(TavrexBus::Month);
        item.setUsePrev(true);
        item.setUseNext(true);
        item.setClient(m_device->client.get());
        QVERIFY(readAndWait(item));
        QCOMPARE(texts(item, item.labels()), (QStringList{"2024-11-01 00:00", "2024-12-01 00:00", "2025-01-01 00:00"}));
        QCOMPARE(text(item, item.prevLabelInt()), "2024-10-01 00:00");
        QCOMPARE(text(item, item.nextLabelInt()), "2025-02-01 00:00");
    }

    // QML may give a label as text in timeFormat, as a date-time or as a number.
    void labelTextAndDateTimeAgree_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("ordinary") << "2024-03-05 10:00";
        QTest::newRow("in the spring-forward gap") << "2024-03-31 02:30";
        QTest::newRow("in the repeated autumn hour") << "2024-10-27 02:30";
        QTest::newRow("last valid label") << "2069-12-31 23:59";
    }

    void labelTextAndDateTimeAgree()
    {
        QFETCH(QString, text);
        ModbusArchLabel byText;
        byText.setTimeFormat(textFormat);
        QSignalSpy valueChanged(&byText, &ModbusArchLabel::valueChanged);
        byText.setVariantLabel(text);
        const quint32 expected = label(text);
        QVERIFY(expected != TavrexBus::InvalidTimeLabel);
        QCOMPARE(byText.label(), expected);
        QCOMPARE(byText.property("value"), byText.variantLabel());
        QCOMPARE(valueChanged.count(), 1);
        ModbusArchLabel byTime;
        byTime.setVariantLabel(byText.variantLabel());
        QCOMPARE(byTime.label(), expected);
        QCOMPARE(byText.getVariantLabel(expected, true).toString(), text);
        ModbusArchLabel byNumber;
        byNumber.setVariantLabel(QVariant(expected));
        QCOMPARE(byNumber.label(), expected);
    }

    void usePrevReadsALiveItemAtOnce()
    {
        ModbusArchLabel item;
        setUpItem(item, "2024-03-05 02:00", 1);
        item.setFunc(TavrexBus::Func67);
        item.setLiveRead(true);
        item.setClient(m_device->client.get());
        QTRY_VERIFY(item.connected());
        QTRY_COMPARE(item.readCount(), 1u);
        item.setUsePrev(true);
        QTRY_COMPARE(item.readCount(), 2u);
        QVERIFY(item.prevLabelExists());
        item.setUsePrev(false);
        QVERIFY(readAndWait(item));
        QCOMPARE(item.readCount(), 3u);
    }
    void readsTheRangeAcrossGaps_data()
    {
        QTest::addColumn<Range>("range");
        const int f65 = TavrexBus::Func65;
        const int f67 = TavrexBus::Func67;
        const char *day = "2024-03-05 00:00";
        const char *end = "2024-03-05 23:00";
        QTest::newRow("listed labels") << Range{1, f67, 1, day, end, 21, 0, day, end};
        QTest::newRow("computed labels") << Range{1, f65, 4, day, end, 24, 3, day, end};
        QTest::newRow("whole archive, two batches") << Range{1, f67, 10, "", "", 69, 0, "2024-03-03 00:00", end};
        QTest::newRow("computed, two batches") << Range{1, f65, 1, "2024-03-03 00:00", end, 72, 3, "2024-03-03 00:00", end};
        QTest::newRow("index archive") << Range{0, f67, 3, "5", "12", 6, 0, "5", "12"};
        QTest::newRow("to before the first record")
            << Range{1, f67, 1, "2024-01-01 00:00", "2024-01-02 00:00", 0, 0, "", ""};
    }

    void readsTheRangeAcrossGaps()
    {
        QFETCH(Range, range);
        const auto [archIndex, func, recordsPerRequest, from, to, records, missing, first, last] = range;
        prepare(archIndex, TavrexBus::ArchFunc(func), recordsPerRequest, from, to);
        QSignalSpy progress(m_reader.get(), &ModbusArchReader::progressChanged);
        QSignalSpy completed(m_reader.get(), &ModbusArchReader::completed);
        QVERIFY(runToEnd());
        QCOMPARE(completed.count(), 1);
        QCOMPARE(m_reader->errorCount(), 0u);
        QCOMPARE(m_reader->progress(), records);
        QCOMPARE(m_reader->total(), func == TavrexBus::Func65 ? records : -1);
        QCOMPARE(m_reader->stoppedAt(), QVariant());
        for (int i = 1; i < progress.count(); ++i)
            QVERIFY(progress.at(i).at(0).toInt() > progress.at(i - 1).at(0).toInt());
        QCOMPARE(m_record->arraySize(), records);
        const bool time = archIndex != 0;
        int zeros = 0;
        for (int i = 0; i < records; ++i) {
            const quint32 label = TavrexBus::getIntLabel(m_reader->getLabelOf(i));
            const ModbusBytes bytes = m_record->arrayBytes(i);
            if (bytes.emptyOrZero())
                ++zeros;
            else
                QCOMPARE(text(bytes.toUInt32(0), time), text(label, time));
        }
        QCOMPARE(zeros, missing);
        if (records > 0) {
            QCOMPARE(text(TavrexBus::getIntLabel(m_reader->getLabelOf(0)), time), QLatin1String(first));
            QCOMPARE(text(TavrexBus::getIntLabel(m_reader->getLabelOf(records - 1)), time), QLatin1String(last));
        }
    }

    // No request reaches past the end of the range or maxRecords, and none spans a gap.
    void requestsStopAtTheEndOfTheRange_data()
    {
        QTest::addColumn<int>("func");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("maxRecords");
        QTest::addColumn<QList<Request>>("requests");
        const quint32 midnight = TavrexBus::archLabelToSeconds(QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
        QTest::newRow("computed") << int(TavrexBus::Func65) << "2024-03-05 05:00" << 0
                                  << QList<Request>{{midnight, 4}, {midnight + 4 * 3600, 2}};
        QTest::newRow("listed, around the gap") << int(TavrexBus::Func67) << "2024-03-05 07:00" << 0
                                                << QList<Request>{{midnight, 3}, {midnight + 6 * 3600, 2}};
        QTest::newRow("ten records at most")
            << int(TavrexBus::Func65) << "2024-03-05 23:00" << 10
            << QList<Request>{{midnight, 4}, {midnight + 4 * 3600, 4}, {midnight + 8 * 3600, 2}};
    }

    void requestsStopAtTheEndOfTheRange()
    {
        QFETCH(int, func);
        QFETCH(QString, to);
        QFETCH(int, maxRecords);
        QFETCH(QList<Request>, requests);
        prepare(1, TavrexBus::ArchFunc(func), 4, "2024-03-05 00:00", to);
        m_reader->setMaxRecords(maxRecords);
        QSignalSpy completed(m_reader.get(), &ModbusArchReader::completed);
        QVERIFY(runToEnd());
        QCOMPARE(completed.count(), 1);
        QCOMPARE(m_requests, requests);
        int asked = 0;
        for (const Request &request : std::as_const(requests))
            asked += request.count;
        QCOMPARE(m_record->arraySize(), asked);
    }

    void severalArchivesAreReadOneAfterAnother()
    {
        prepare(1, TavrexBus::Func67, 2, "2024-03-05 20:00", "2024-03-05 23:00");
        m_reader->setArchIndexes({2, 1});
        QVERIFY(runToEnd());
        QCOMPARE(m_reader->progress(), 8);
        QCOMPARE(m_record->arrayBytes(0).size(), 12);
        QCOMPARE(m_record->arrayBytes(4).size(), 58);
        const QList<int> owners{2, 2, 2, 2, 1, 1, 1, 1, -1};
        for (int i = 0; i < owners.size(); ++i)
            QCOMPARE(m_reader->getArchIndexOf(i), owners.at(i));
    }

    // After stop() nothing more is asked or collected, whether stop() comes at once or queued.
    void stopInTheMiddleKeepsWhatWasRead_data()
    {
        QTest::addColumn<bool>("queued");
        QTest::newRow("direct") << false;
        QTest::newRow("queued") << true;
    }

    void stopInTheMiddleKeepsWhatWasRead()
    {
        QFETCH(bool, queued);
        prepare(1, TavrexBus::Func67, 1, "2024-03-05 00:00", "2024-03-05 23:00");
        connect(m_reader.get(), &ModbusArchReader::progressChanged, this, [this, queued](int progress) {
            if (progress == 5)
                QMetaObject::invokeMethod(m_reader.get(), "stop", queued ? Qt::QueuedConnection : Qt::DirectConnection);
        });
        QSignalSpy completed(m_reader.get(), &ModbusArchReader::completed);
        QVERIFY(runToEnd());
        // Requests already under way may still reach the device; none is made after stop().
        drainClient();
        const qsizetype asked = m_requests.size();
        drainClient();
        QCOMPARE(m_requests.size(), asked);
        // A queued stop() finds the answers that came meanwhile taken, maybe the whole range.
        const int kept = m_reader->progress();
        QVERIFY(queued ? kept >= 5 : kept == 5);
        QCOMPARE(m_record->arraySize(), kept);
        QCOMPARE(completed.count(), kept == 21 ? 1 : 0);
        if (kept < 21) {
            const QDateTime last = m_reader->getLabelOf(kept - 1).toDateTime();
            QCOMPARE(m_reader->stoppedAt().toDateTime(), last.addSecs(last.time().hour() == 2 ? 4 * 3600 : 3600));
        }
    }

    // The device falls silent, answers wrongly, or lacks an archive: the reading stops with the message,
    // keeps what it read and tells where it stopped.
    void failuresStopTheReadingWhereItWas_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("kept");
        QTest::addColumn<QString>("stoppedAt");
        QTest::newRow("silent device") << "silent" << "time|answer" << 4 << "2024-03-03 04:00";
        QTest::newRow("record of another size") << "size" << "^Arch record size check failed: received length: 59, need 58$"
                                                << 4 << "2024-03-03 04:00";
        QTest::newRow("labels out of order") << "order" << "^arch labels out of order: " << 61 << "2024-03-05 16:00";
        QTest::newRow("labels before the one asked for") << "earlier" << "^arch labels out of order: " << 61
                                                         << "2024-03-05 16:00";
        QTest::newRow("next labels unanswered") << "labels silent" << "time|answer" << 61 << "2024-03-05 16:00";
        QTest::newRow("archive the device lacks") << "archive" << "^received exception packet: " << 69
                                                  << "1970-01-01 00:00";
    }

    void failuresStopTheReadingWhereItWas()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QFETCH(int, kept);
        QFETCH(QString, stoppedAt);
        prepare(1, TavrexBus::Func67, 1, "", "");
        Modbuser &device = m_device->device;
        if (fault == "archive")
            m_reader->setArchIndexes({1, 9});
        connect(&device, &Modbuser::onReadArchRecords, this,
                [&, fault](quint16, quint32, TavrexBus::ArchDirection, quint16, QList<ModbusBytes> &out,
                           ModbusTranslateOptions &, TavrexBus::ArchType, bool &handled) {
                    if (m_requests.size() <= 4)
                        return;
                    if (fault == "silent")
                        handled = false;
                    if (fault == "size")
                        out.first().append('\0');
                });
        connect(&device, &Modbuser::onReadArchPresence, this,
                [fault](quint16, quint32 label, TavrexBus::ArchDirection, quint16, QList<quint32> &out,
                        ModbusTranslateOptions &, TavrexBus::ArchType, bool &handled) {
                    if (label == 0 || out.size() < 2)
                        return;  // the first batch passes
                    if (fault == "labels silent")
                        handled = false;
                    if (fault == "order")
                        out.swapItemsAt(0, 1);
                    if (fault == "earlier")
                        out.prepend(label - 3600);
                });
        QSignalSpy errors(m_reader.get(), &ErrObject::error);
        QSignalSpy completed(m_reader.get(), &ModbusArchReader::completed);
        QVERIFY(runToEnd());
        QCOMPARE(completed.count(), 0);
        QCOMPARE(errors.count(), 1);
        QVERIFY2(QRegularExpression(message).match(m_reader->errorString()).hasMatch(),
                 qPrintable(m_reader->errorString()));
        QCOMPARE(m_record->arraySize(), kept);
        QCOMPARE(text(TavrexBus::getIntLabel(m_reader->stoppedAt())), stoppedAt);
    }

    // A record item read at a label and stepped with readNext ('+') and readPrev ('-'): listed labels
    // step over gaps, computed ones by the interval. Each outcome is the label the record starts with,
    // "none" for an empty record, "refused" for a step with nowhere to go, or the error.
    void recordStepsToItsNeighbours_data()
    {
        QTest::addColumn<int>("func");
        QTest::addColumn<QString>("from");
        QTest::addColumn<bool>("near");
        QTest::addColumn<bool>("neighbours");  // the presence read asks for them
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("outcomes");
        const int f65 = TavrexBus::Func65;
        const int f67 = TavrexBus::Func67;
        QTest::newRow("listed, over the gap and back") << f67 << "2024-03-05 02:00" << true << true << "++-"
            << QStringList{"2024-03-05 02:00", "2024-03-05 04:00", "2024-03-05 07:00", "2024-03-05 04:00"};
        QTest::newRow("listed, from inside a gap") << f67 << "2024-03-05 05:30" << true << true << "-"
                                                   << QStringList{"2024-03-05 07:00", "2024-03-05 04:00"};
        QTest::newRow("listed, past the last") << f67 << "2024-03-05 10:00" << true << true << "+"
                                               << QStringList{"2024-03-05 10:00", "refused"};
        QTest::newRow("listed, missing label refused") << f67 << "2024-03-05 05:30" << false << true << ""
            << QStringList{QStringLiteral("specified arch label (%1) doesn't exist").arg(label("2024-03-05 05:30"))};
        QTest::newRow("listed, after the archive") << f67 << "2024-03-06 00:00" << false << true << ""
                                                   << QStringList{"No such arch records"};
        QTest::newRow("listed, after the archive, the last") << f67 << "2024-03-06 00:00" << true << true << ""
                                                             << QStringList{"2024-03-05 10:00"};
        QTest::newRow("computed, into the gap") << f65 << "2024-03-05 02:00" << true << true << "+-"
                                                << QStringList{"2024-03-05 02:00", "none", "2024-03-05 02:00"};
        QTest::newRow("listed, neighbours not asked") << f67 << "2024-03-05 02:00" << true << false << "+-"
                                                      << QStringList{"2024-03-05 02:00", "refused", "refused"};
        QTest::newRow("listed, after the archive, not asked") << f67 << "2024-03-06 00:00" << true << false << ""
                                                           << QStringList{"No such arch records"};
    }

    void recordStepsToItsNeighbours()
    {
        QFETCH(int, func);
        QFETCH(QString, from);
        QFETCH(bool, near);
        QFETCH(bool, neighbours);
        QFETCH(QString, steps);
        QFETCH(QStringList, outcomes);
        m_record->setUsePrev(neighbours);
        m_record->setUseNext(neighbours);
        m_record->setArchIndex(3);
        m_record->setFunc(TavrexBus::ArchFunc(func));
        m_record->setUseNearLabel(near);
        m_record->setVariantLabel(from);
        QStringList seen;
        for (int i = 0; i <= steps.size(); ++i) {
            QSignalSpy done(m_record.get(), &ModbusItemBase::afterRead);
            QSignalSpy failed(m_record.get(), &ErrObject::error);
            const bool started = i == 0 ? m_record->read() : steps.at(i - 1) == u'+' ? m_record->readNext()
                                                                                     : m_record->readPrev();
            if (!started)
                seen << "refused";
            else if (!QTest::qWaitFor([&] { return !done.isEmpty() || !failed.isEmpty(); }, 5000))
                seen << "no answer";
            else if (!failed.isEmpty())
                seen << failed.first().first().toString();
            else
                seen << (m_record->exists() ? text(m_record->bytes().toUInt32(0)) : QStringLiteral("none"));
        }
        QCOMPARE(seen, outcomes);
    }

    void startWithoutRecordReportsAndStaysIdle()
    {
        ModbusArchReader reader;
        QSignalSpy started(&reader, &ModbusArchReader::started);
        reader.start();
        QVERIFY(!reader.running());
        QCOMPARE(started.count(), 0);
        QCOMPARE(reader.errorString(), QStringLiteral("you should assign 'record' - property"));
    }
};

int main(int argc, char **argv)
{
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QCoreApplication app(argc, argv);
    tst_ArchReader suite;
    return QTest::qExec(&suite, argc, argv);
}

#include "tst_archreader.moc"
