// One application reading many meters over Modbus/TCP on 127.0.0.1, as a meter-reading station
// does: 200 ModbusClients, each on a link of its own to a meter of its own (the simulator with
// --devices 200), 50 items each, polled once a second and at full speed; and 10,000 items of one
// meter polled once a second. Figures: the client process's CPU time as a share of one core, its
// resident memory, the worst lateness of a poll past its interval, and items read per second.
#include "benchsupport.h"
#include "mixeditems.h"
#include "simulatedmeter.h"

#include <TavrexBus1/modbusclient.h>
#include <TavrexBus1/modbustcpclient.h>

#include <QtCore/qdir.h>
#include <QtCore/qeventloop.h>
#include <QtCore/qtimer.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int Meters = 200;
constexpr int ItemsPerMeter = 50;
constexpr int OnceASecond = 1000;
// The shortest interval an item takes: it is due again as soon as it has been read.
constexpr int FullSpeed = 1;
constexpr int ItemsOfOneMeter = 10000;

// Registers enough for 50 items of every meter, and for 10,000 items of one.
const QByteArray FleetMap = R"({ "name": "fleet", "registers": [
                                 { "address": 400001, "type": "uint16", "count": 200, "value": 7 } ] })";
const QByteArray LargeMap = R"({ "name": "large", "registers": [
                                 { "address": 400001, "type": "uint16", "count": 30000, "value": 7 } ] })";

std::map<std::string, std::pair<double, const char *>> figures;

void report(const std::string &name, double value, const char *unit)
{
    figures[name] = {value, unit};
}

double processCpuMicros()
{
    return double(cpuNanoseconds(CLOCK_PROCESS_CPUTIME_ID)) / 1e3;
}

double otherProcessCpuMicros(qint64 pid)
{
    return double(processCpuNanoseconds(pid)) / 1e3;
}

// Each time a thread of this process went to sleep or was put aside, by the kind of thread: on a
// busy machine, the cost that grows most with the number of threads a read passes through.
struct Switches
{
    double main = 0;
    double executors = 0;
    double sockets = 0;
    double others = 0;

    double total() const { return main + executors + sockets + others; }
};

Switches processSwitches()
{
    Switches switches;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        QFile status(tasks.filePath(task + QStringLiteral("/status")));
        if (!comm.open(QIODevice::ReadOnly) || !status.open(QIODevice::ReadOnly))
            continue;
        double count = 0;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.contains("ctxt_switches:"))
                count += line.mid(line.indexOf(':') + 1).trimmed().toDouble();
        }
        const QByteArray name = comm.readAll();
        if (task == QString::number(QCoreApplication::applicationPid()))
            switches.main += count;
        else if (name.startsWith("Modbus executor"))
            switches.executors += count;
        else if (name.startsWith("Modbus TCP sock"))
            switches.sockets += count;
        else
            switches.others += count;
    }
    return switches;
}

// Watches every item's reads: how many, and how much later than its interval each came.
class ReadWatch
{
public:
    explicit ReadWatch(int interval) : m_interval(interval) { m_clock.start(); }

    void watch(ModbusItemBase &item)
    {
        const size_t index = m_lastRead.size();
        m_lastRead.push_back(-1);
        QObject::connect(&item, &ModbusItemBase::afterRead, &item, [this, index] { onRead(index); });
    }
    // Counting starts again: the reads before were the warm-up.
    void restart()
    {
        m_reads = 0;
        m_worstLateMs = 0;
    }
    qint64 reads() const { return m_reads; }
    double worstLateMs() const { return m_worstLateMs; }

private:
    void onRead(size_t index)
    {
        const qint64 now = m_clock.nsecsElapsed();
        if (m_lastRead[index] >= 0)
            m_worstLateMs = qMax(m_worstLateMs, double(now - m_lastRead[index]) / 1e6 - m_interval);
        m_lastRead[index] = now;
        ++m_reads;
    }

    int m_interval;
    QElapsedTimer m_clock;
    std::vector<qint64> m_lastRead;
    qint64 m_reads = 0;
    double m_worstLateMs = 0;
};

// One client with its link and its items, polling every item at the given interval.
struct Station
{
    Station(int port, int items, int interval, ReadWatch &watch)
        : link(QHostAddress::LocalHost, port)
    {
        client.setTransport(&link);
        quint32 address = 400001;
        for (int i = 0; i < items; ++i) {
            ModbusItemBase *item = makeItem(i, address, &client);
            item->setInterval(interval);
            item->setIntervalReading(true);
            item->setClient(&client);
            watch.watch(*item);
        }
    }
    ~Station() { client.setTransport(nullptr); }

    ModbusTcpClient link;
    ModbusClient client;
};

struct Window
{
    double seconds = 0;
    double cpuPercent = 0;
    double simulatorCpuPercent = 0;
    double itemsPerSecond = 0;
    Switches switchesPerItem;
    double worstLateMs = 0;
    double residentMb = 0;
};

// The application's event loop, as it runs between reads.
void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Lets the stations run for a while, then measures them for a longer while.
Window measure(ReadWatch &watch, const SimulatedMeter &meter, int warmUpMs, int measureMs)
{
    runEventLoop(warmUpMs);
    watch.restart();
    const double cpuBefore = processCpuMicros();
    const Switches switchesBefore = processSwitches();
    const double simulatorBefore = otherProcessCpuMicros(meter.processId());
    QElapsedTimer timer;
    timer.start();
    runEventLoop(measureMs);
    Window window;
    window.seconds = double(timer.nsecsElapsed()) / 1e9;
    window.cpuPercent = (processCpuMicros() - cpuBefore) / 1e4 / window.seconds;
    window.simulatorCpuPercent = (otherProcessCpuMicros(meter.processId()) - simulatorBefore) / 1e4 / window.seconds;
    window.itemsPerSecond = double(watch.reads()) / window.seconds;
    const Switches switchesAfter = processSwitches();
    const double reads = double(qMax<qint64>(1, watch.reads()));
    window.switchesPerItem.main = (switchesAfter.main - switchesBefore.main) / reads;
    window.switchesPerItem.executors = (switchesAfter.executors - switchesBefore.executors) / reads;
    window.switchesPerItem.sockets = (switchesAfter.sockets - switchesBefore.sockets) / reads;
    window.switchesPerItem.others = (switchesAfter.others - switchesBefore.others) / reads;
    window.worstLateMs = watch.worstLateMs();
    window.residentMb = residentKilobytes() / 1024.0;
    return window;
}

void reportSwitches(const std::string &name, const Switches &perItem)
{
    report(name + "_switches_per_item", perItem.total(), "/item");
    report(name + "_switches_per_item_main_thread", perItem.main, "/item");
    report(name + "_switches_per_item_executor_threads", perItem.executors, "/item");
    report(name + "_switches_per_item_socket_threads", perItem.sockets, "/item");
}

// Stations on meters of the simulator, one link each; the first failure, or nothing.
QString openStations(std::vector<std::unique_ptr<Station>> &stations, const SimulatedMeter &meter, int count,
                     int items, int interval, ReadWatch &watch)
{
    if (meter.port() == 0)
        return QStringLiteral("cannot start the simulator (build tavrexbus-sim first)");
    for (int i = 0; i < count; ++i) {
        stations.push_back(std::make_unique<Station>(meter.port() + i, items, interval, watch));
        if (!stations.back()->link.connectTransport(false))
            return stations.back()->link.errorString();
    }
    return QString();
}

void pollFleet(benchmark::State &state, int meters, int interval, const std::string &name)
{
    // Every link takes a socket and two threads' event descriptors.
    raiseDescriptorLimit();
    SimulatedMeter meter(FleetMap, {QStringLiteral("--devices"), QString::number(meters)});
    ReadWatch watch(interval);
    std::vector<std::unique_ptr<Station>> stations;
    QElapsedTimer setUp;
    setUp.start();
    const QString failure = openStations(stations, meter, meters, ItemsPerMeter, interval, watch);
    report(name + "_set_up_time", double(setUp.elapsed()), "ms");
    if (!failure.isEmpty()) {
        state.SkipWithError(qPrintable(failure));
        return;
    }
    for (auto _ : state) {
        const Window window = measure(watch, meter, 3000, 10000);
        report(name + "_client_cpu", window.cpuPercent, "% of one core");
        report(name + "_simulator_cpu", window.simulatorCpuPercent, "% of one core");
        report(name + "_items_per_second", window.itemsPerSecond, "items/s");
        reportSwitches(name, window.switchesPerItem);
        if (interval == OnceASecond) {
            report(name + "_worst_lateness", window.worstLateMs, "ms");
            report(name + "_resident_memory", window.residentMb, "MB");
        }
    }
}

void twoHundredMetersOnceASecond(benchmark::State &state)
{
    pollFleet(state, Meters, OnceASecond, "meters_200x50_once_a_second");
}

void twoHundredMetersAtFullSpeed(benchmark::State &state)
{
    pollFleet(state, Meters, FullSpeed, "meters_200x50_full_speed");
}

void oneMeterAtFullSpeed(benchmark::State &state)
{
    pollFleet(state, 1, FullSpeed, "meters_1x50_full_speed");
}

void tenThousandItemsOfOneMeter(benchmark::State &state)
{
    SimulatedMeter meter(LargeMap);
    ReadWatch watch(OnceASecond);
    std::vector<std::unique_ptr<Station>> stations;
    QElapsedTimer setUp;
    setUp.start();
    const QString failure = openStations(stations, meter, 1, ItemsOfOneMeter, OnceASecond, watch);
    report("meters_1x10000_set_up_time", double(setUp.elapsed()), "ms");
    if (!failure.isEmpty()) {
        state.SkipWithError(qPrintable(failure));
        return;
    }
    for (auto _ : state) {
        const Window window = measure(watch, meter, 3000, 10000);
        QElapsedTimer tearDown;
        tearDown.start();
        stations.clear();
        report("meters_1x10000_tear_down_time", double(tearDown.elapsed()), "ms");
        report("meters_1x10000_once_a_second_client_cpu", window.cpuPercent, "% of one core");
        report("meters_1x10000_once_a_second_items_per_second", window.itemsPerSecond, "items/s");
        reportSwitches("meters_1x10000_once_a_second", window.switchesPerItem);
        report("meters_1x10000_once_a_second_worst_lateness", window.worstLateMs, "ms");
    }
}

BENCHMARK(twoHundredMetersOnceASecond)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(twoHundredMetersAtFullSpeed)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(oneMeterAtFullSpeed)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(tenThousandItemsOfOneMeter)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    runBenchmarks(argc, argv);
    for (const auto &[name, figure] : figures)
        std::printf("%s: %.1f %s\n", name.c_str(), figure.first, figure.second);
    return 0;
}
