#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

#include <QtCore/qfile.h>
#include <QtCore/qglobal.h>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/types.h>
#include <time.h>

#include <functional>
#include <utility>
#include <vector>

// What the benchmarks measure alike: CPU time, memory, descriptors, and the "name: value unit" lines.

// The CPU time of clock so far (CLOCK_THREAD_CPUTIME_ID, CLOCK_PROCESS_CPUTIME_ID or another process's);
// 0 when the clock cannot be read.
inline qint64 cpuNanoseconds(clockid_t clock)
{
    timespec now = {};
    if (clock_gettime(clock, &now) != 0)
        return 0;
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Another process's CPU time so far; 0 when it is not there.
inline qint64 processCpuNanoseconds(qint64 pid)
{
    clockid_t clock;
    return pid > 0 && clock_getcpuclockid(pid_t(pid), &clock) == 0 ? cpuNanoseconds(clock) : 0;
}

// A KiB field of this process's status, such as "VmRSS:" or "VmHWM:"; 0 when it cannot be read.
inline double statusKilobytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toDouble();
    }
    return 0;
}

// This process's resident memory in KiB.
inline double residentKilobytes()
{
    return statusKilobytes("VmRSS:");
}

// Many peers or links each take descriptors beyond the usual soft limit: raises it as far as it goes
// and gives the limit then.
inline rlim_t raiseDescriptorLimit()
{
    rlimit limit = {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    return limit.rlim_cur;
}

// Google Benchmark's table, and after each run that finished the "name: value unit" lines that
// figures prints of it.
class FigureReporter : public benchmark::ConsoleReporter
{
public:
    using Figures = std::function<void(const Run &)>;

    explicit FigureReporter(Figures figures) : m_figures(std::move(figures)) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (!run.error_occurred)
                m_figures(run);
        }
    }

private:
    Figures m_figures;
};

// Runs the benchmarks the command line picks, through a FigureReporter when figures are given.
// argc is main()'s own, which a QCoreApplication may hold on to.
inline void runBenchmarks(int &argc, char **argv, const FigureReporter::Figures &figures = {})
{
    benchmark::Initialize(&argc, argv);
    if (figures) {
        FigureReporter reporter(figures);
        benchmark::RunSpecifiedBenchmarks(&reporter);
    } else {
        benchmark::RunSpecifiedBenchmarks();
    }
    benchmark::Shutdown();
}

#endif
