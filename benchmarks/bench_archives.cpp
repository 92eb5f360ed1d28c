// Reads 10,000 hourly archive records over Modbus/TCP from the simulator on 127.0.0.1 with ModbusArchReader.
// Figures: records read per second, the wall time beside the link's exchanges (client, executor and reader
// together) and beside the same requests made one after another through Modbuser on one thread, the
// reading thread's CPU time (reader, items and result delivery) beside the wall time, beside the link's
// time and per record, and the resident memory per record held. Every request crosses from the reading
// thread to the client's executor and back; the bare cost of that round trip is measured beside it.
#include "benchsupport.h"
#include "meterclient.h"

#include <TavrexBus1/modbusarchreader.h>
#include <TavrexBus1/modbusarchrecord.h>
#include <TavrexBus1/modbuser.h>

#include <QtCore/qthread.h>

#include <cstdio>
#include <map>

namespace {

constexpr int RecordCount = 10000;

// The simulator's map: one hourly archive of generation 1 records (58 bytes) ending 2024-03-31 23:00.
const QByteArray ArchiveMap = R"({ "archives": [ { "index": 1, "type": "time", "interval": "hour", "generation": 1,
                                  "records": 10000, "last": "2024-03-31T23:00:00" } ] })";

// Labels per label request, and records per record request when the reader fills its answers.
constexpr int LabelsPerRequest = 62;
constexpr int FilledRecordsPerRequest = 3;

// Wall time of the reader's requests made directly, one after another, by Modbuser on this thread, by
// records per request.
std::map<int, qint64> directRequestsNanoseconds;

struct Figures
{
    double recordsPerSecond = 0;
    double overheadPercent = 0;
    double overheadBesideDirect = 0;
    double threadCpuPercent = 0;
    double threadCpuBesideTransport = 0;
    double threadCpuPerRecord = 0;
    double requests = 0;
    double overheadPerRequest = 0;
    double kilobytesPerRecord = 0;
};
std::map<std::string, Figures> figures;

// state.range(0): 1 hands the records to the record after every answer (liveResult), 0 once at the end;
// state.range(1): 1 fills every answer (recordsPerRequestOptimization), 0 asks for one record at a time.
void readTenThousandRecords(benchmark::State &state)
{
    MeterClient session(ArchiveMap);
    if (!session.reach(state))
        return;
    Figures result;
    qint64 wallNanoseconds = 0;
    qint64 transportNanoseconds = 0;
    qint64 threadCpu = 0;
    qint64 exchanges = 0;
    for (auto _ : state) {
        const double before = residentKilobytes();
        {
            ModbusArchRecord record;
            record.setArchIndex(1);
            record.setArchInterval(TavrexBus::Hour);
            record.setFunc(TavrexBus::Func67);
            record.setClient(&session.client);
            ModbusArchReader reader;
            reader.setRecord(&record);
            reader.setLiveResult(state.range(0) != 0);
            reader.setRecordsPerRequestOptimization(state.range(1) != 0);
            const qint64 transportBefore = session.link.transportNanoseconds;
            const qint64 exchangesBefore = session.link.exchanges;
            const qint64 cpuBefore = cpuNanoseconds(CLOCK_THREAD_CPUTIME_ID);
            QElapsedTimer wall;
            wall.start();
            reader.start();
            while (reader.running())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            wallNanoseconds += wall.nsecsElapsed();
            threadCpu += cpuNanoseconds(CLOCK_THREAD_CPUTIME_ID) - cpuBefore;
            transportNanoseconds += session.link.transportNanoseconds - transportBefore;
            exchanges += session.link.exchanges - exchangesBefore;
            if (reader.errorCount() != 0 || record.arraySize() != RecordCount) {
                state.SkipWithError(qPrintable(reader.errorString()));
                return;
            }
            // Freed memory is kept for the next round: the first round tells what the records take.
            result.kilobytesPerRecord = qMax(result.kilobytesPerRecord, (residentKilobytes() - before) / RecordCount);
        }
    }
    const double iterations = double(state.iterations());
    result.recordsPerSecond = RecordCount * iterations / (double(wallNanoseconds) / 1e9);
    result.overheadPercent = 100.0 * double(wallNanoseconds - transportNanoseconds) / double(transportNanoseconds);
    const qint64 directNanoseconds = directRequestsNanoseconds[state.range(1) ? FilledRecordsPerRequest : 1];
    if (directNanoseconds > 0) {
        const double direct = double(directNanoseconds) * iterations;
        result.overheadBesideDirect = 100.0 * (double(wallNanoseconds) - direct) / direct;
    }
    result.threadCpuPercent = 100.0 * double(threadCpu) / double(wallNanoseconds);
    result.threadCpuBesideTransport = 100.0 * double(threadCpu) / double(transportNanoseconds);
    result.threadCpuPerRecord = double(threadCpu) / 1000.0 / (RecordCount * iterations);
    result.requests = double(exchanges) / iterations;
    result.overheadPerRequest = double(wallNanoseconds - transportNanoseconds) / 1000.0 / double(exchanges);
    figures[(state.range(0) ? std::string("live") : std::string("at_end"))
            + (state.range(1) ? "_filled" : "_single")] = result;
    state.counters["records/s"] = result.recordsPerSecond;
    state.counters["overhead%"] = result.overheadPercent;
    state.counters["thread_cpu%"] = result.threadCpuPercent;
}
// The transport time a reader cannot avoid: its label and record requests, one after another.
// state.range(0): records per record request.
void directRequests(benchmark::State &state)
{
    const int recordsPerRequest = int(state.range(0));
    SimulatedMeter meter(ArchiveMap);
    ModbusTcpClient link(QHostAddress::LocalHost, meter.port());
    if (!meter.reach(link, state))
        return;
    Modbuser modbuser;
    modbuser.setClientTransport(&link);
    qint64 wallNanoseconds = 0;
    for (auto _ : state) {
        QElapsedTimer wall;
        wall.start();
        quint32 from = 0;
        if (!modbuser.getFirstLabel(1, TavrexBus::TimeArch, from)) {
            state.SkipWithError(qPrintable(modbuser.errorString()));
            return;
        }
        int records = 0;
        while (records < RecordCount) {
            QList<QDateTime> labels;
            if (!modbuser.readTimeArchLabels(1, TavrexBus::archLabelToTime(from), LabelsPerRequest, labels)
                || labels.isEmpty()) {
                state.SkipWithError(qPrintable(modbuser.errorString()));
                return;
            }
            // The last label of a full batch starts the next one.
            const bool lastBatch = labels.size() < LabelsPerRequest;
            const qsizetype end = lastBatch ? labels.size() : labels.size() - 1;
            for (qsizetype at = 0; at < end && records < RecordCount; at += recordsPerRequest) {
                QList<ModbusBytes> out;
                const quint32 label = TavrexBus::archLabelToSeconds(labels.at(at));
                const auto count = quint16(qMin<qsizetype>(recordsPerRequest, end - at));
                records += modbuser.readArchRecords65(1, label, count, out, TavrexBus::TimeArch);
            }
            if (lastBatch)
                break;
            from = TavrexBus::archLabelToSeconds(labels.constLast());
        }
        if (records < RecordCount) {
            state.SkipWithError("the archive holds fewer records than read");
            return;
        }
        wallNanoseconds += wall.nsecsElapsed();
    }
    directRequestsNanoseconds[recordsPerRequest] = wallNanoseconds / qMax<qint64>(1, state.iterations());
}
double threadRoundTripMicroseconds = 0;

// A queued call from this thread to an idle thread and a queued call back: what the reading thread and
// the executor pay per request, whatever the reader does.
void threadRoundTrip(benchmark::State &state)
{
    QThread worker;
    QObject peer;
    peer.moveToThread(&worker);
    worker.start();
    QObject home;
    bool answered = false;
    QElapsedTimer wall;
    wall.start();
    for (auto _ : state) {
        answered = false;
        QMetaObject::invokeMethod(&peer, [&home, &answered] {
            QMetaObject::invokeMethod(&home, [&answered] { answered = true; }, Qt::QueuedConnection);
        }, Qt::QueuedConnection);
        while (!answered)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    threadRoundTripMicroseconds = double(wall.nsecsElapsed()) / 1000.0 / double(state.iterations());
    worker.quit();
    worker.wait();
}
BENCHMARK(threadRoundTrip)->Iterations(20000)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK(directRequests)
    ->Arg(FilledRecordsPerRequest)
    ->Arg(1)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK(readTenThousandRecords)
    ->Args({1, 1})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    runBenchmarks(argc, argv);
    for (const auto &[name, result] : figures) {
        std::printf("archive_reader_%s_records_per_second: %.0f records/s\n", name.c_str(), result.recordsPerSecond);
        std::printf("archive_reader_%s_requests: %.0f requests\n", name.c_str(), result.requests);
        std::printf("archive_reader_%s_overhead_beside_transport: %.1f %%\n", name.c_str(), result.overheadPercent);
        std::printf("archive_reader_%s_overhead_beside_direct_requests: %.1f %%\n", name.c_str(),
                    result.overheadBesideDirect);
        std::printf("archive_reader_%s_overhead_per_request: %.1f us\n", name.c_str(), result.overheadPerRequest);
        std::printf("archive_reader_%s_reading_thread_cpu: %.1f %%\n", name.c_str(), result.threadCpuPercent);
        std::printf("archive_reader_%s_reading_thread_cpu_beside_transport: %.1f %%\n", name.c_str(),
                    result.threadCpuBesideTransport);
        std::printf("archive_reader_%s_reading_thread_cpu_per_record: %.1f us\n", name.c_str(),
                    result.threadCpuPerRecord);
        std::printf("archive_reader_%s_memory_per_record: %.2f KiB\n", name.c_str(), result.kilobytesPerRecord);
    }
    std::printf("thread_round_trip: %.1f us\n", threadRoundTripMicroseconds);
    return 0;
}
