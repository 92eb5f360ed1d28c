// Device events from the transport's read to the QML handler of an Eventer: the reader thread
// polls a transport that plays recorded event bytes (every millisecond), splits the records and
// hands them over; the Eventer decodes them and its onKeypadEvent handler runs in QML.
//   eventThroughput: records per second through the whole way, 170 records a read (a full USB read)
//   eventLatency: one record, from the read that brought it to its QML handler
#include "benchsupport.h"
#include "recordedeventtransport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QTimer>
#include <QtQml/QQmlComponent>
#include <QtQml/QQmlContext>
#include <QtQml/QQmlEngine>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <memory>

namespace {

QElapsedTimer sinceStart;

// Notes when a read brings bytes.
class TimedTransport : public RecordedEventTransport
{
public:
    std::atomic<qint64> readAt{0};

protected:
    bool readEventBytes(ModbusBytes &bytes, QString *error) override
    {
        const bool ok = RecordedEventTransport::readEventBytes(bytes, error);
        if (ok)
            readAt = sinceStart.nsecsElapsed();
        return ok;
    }
};

// Called by the QML handler.
class Probe : public QObject
{
    Q_OBJECT

public:
    int count = 0;
    int wanted = 0;
    qint64 lastAt = 0;

    Q_INVOKABLE void arrived(int)
    {
        lastAt = sinceStart.nsecsElapsed();
        if (++count == wanted)
            emit reached();
    }

Q_SIGNALS:
    void reached();
};

// One transport, one QML Eventer listening to it, and the probe its handler calls.
struct Bench
{
    Bench()
    {
        engine.addImportPath(QStringLiteral(TAVREX_QML_BUILD_DIR));
        engine.rootContext()->setContextProperty(QStringLiteral("feed"), &transport);
        engine.rootContext()->setContextProperty(QStringLiteral("probe"), &probe);
        QQmlComponent component(&engine);
        component.setData("import TavrexBus 1.0\n"
                          "Eventer { transport: feed; onKeypadEvent: (code) => probe.arrived(code) }\n",
                          QUrl());
        eventer.reset(component.create());
        if (!eventer) {
            error = component.errorString().toStdString();
            return;
        }
        transport.setEventsCheckInterval(1);
        transport.feed({QByteArray::fromHex("0202")}); // the first read after a connect is dropped
        transport.connectTransport(false);
        while (transport.pendingChunks() > 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }

    // Sleeps in an event loop until the handler has run count times in all.
    bool waitFor(int count)
    {
        if (probe.count >= count)
            return true;
        QEventLoop loop;
        probe.wanted = count;
        QObject::connect(&probe, &Probe::reached, &loop, &QEventLoop::quit);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        return probe.count >= count;
    }

    QQmlEngine engine;
    TimedTransport transport;
    Probe probe;
    std::unique_ptr<QObject> eventer;
    std::string error;
};

QByteArray records(int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(QByteArray::fromHex("0301")).append(char(i & 0x7F));
    return bytes;
}

void eventThroughput(benchmark::State &state)
{
    Bench bench;
    if (!bench.error.empty()) {
        state.SkipWithError(bench.error.c_str());
        return;
    }
    constexpr int PerRead = 170;
    const QByteArray chunk = records(PerRead);
    for (auto _ : state) {
        bench.transport.feed({chunk});
        if (!bench.waitFor(bench.probe.count + PerRead)) {
            state.SkipWithError("records were lost");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * PerRead);
}

void eventLatency(benchmark::State &state)
{
    Bench bench;
    if (!bench.error.empty()) {
        state.SkipWithError(bench.error.c_str());
        return;
    }
    const QByteArray record = records(1);
    for (auto _ : state) {
        bench.transport.feed({record});
        if (!bench.waitFor(bench.probe.count + 1)) {
            state.SkipWithError("the record was lost");
            break;
        }
        state.SetIterationTime(double(bench.probe.lastAt - bench.transport.readAt) / 1e9);
    }
}

// Each run as a "name: value unit" line.
void printFigure(const benchmark::BenchmarkReporter::Run &run)
{
    const std::string name = run.run_name.function_name;
    const auto rate = run.counters.find("items_per_second");
    if (rate != run.counters.end())
        std::printf("%s: %.0f events/s\n", name.c_str(), double(rate->second));
    else
        std::printf("%s: %.1f us\n", name.c_str(), run.GetAdjustedRealTime());
}

} // namespace

BENCHMARK(eventThroughput)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(eventLatency)->Unit(benchmark::kMicrosecond)->UseManualTime();

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    sinceStart.start();
    runBenchmarks(argc, argv, printFigure);
    return 0;
}

#include "bench_events.moc"
