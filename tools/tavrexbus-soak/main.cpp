// A long run of the QML client against the simulator with faults: polls and writes over Modbus/TCP
// and a pseudo-terminal serial line, prints a summary line a minute, and fails on a crash, a lost or
// wrong write, or a failure that no injected fault explains. See README.md.
#include "faultledger.h"
#include "simulatorchild.h"
#include "soakrun.h"

#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QTextStream>
#include <QtCore/QTimer>
#include <QtQml/QQmlEngine>

#include <algorithm>
#include <csignal>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

int fail(const QString &message)
{
    QTextStream(stderr) << "tavrexbus-soak: " << message << Qt::endl;
    return 1;
}

// Long delays stay within the serial client's guard after a timeout (as long again), where it drops
// what comes late; short ones come well within the timeout.
QString defaultFaults(int answerTimeout)
{
    return QStringLiteral("silent 0.3%, late 0.5% 10-100ms, late 0.3% %1-%2ms, garble 0.5%, partial 0.5% 50-150ms, "
                          "stray 0.5% 1-8, exception 0.5% 6, close 0.2%")
        .arg(answerTimeout + answerTimeout / 4)
        .arg(answerTimeout + answerTimeout * 3 / 4);
}

bool parseSettings(QCoreApplication &app, SoakSettings &settings, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Soaks the QML client in the simulator's faults (see README.md)."));
    parser.addHelpOption();
    const QCommandLineOption minutes(QStringLiteral("minutes"),
                                     QStringLiteral("How long to run (default 1; 0.5 is half a minute)."),
                                     QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed of the faults and of the written values (default 1)."),
                                  QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption items(QStringLiteral("items"), QStringLiteral("Items, half on each link (default 1000)."),
                                   QStringLiteral("n"), QStringLiteral("1000"));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
                                     QStringLiteral("The client's answer timeout in ms (default 2000)."),
                                     QStringLiteral("ms"), QStringLiteral("2000"));
    const QCommandLineOption faults(QStringLiteral("faults"),
                                    QStringLiteral("The simulator's faults (default: a mix of all kinds)."),
                                    QStringLiteral("rules"));
    parser.addOptions({ minutes, seed, items, timeout, faults });
    parser.process(app);
    bool ok[4] = {};
    settings.minutes = parser.value(minutes).toDouble(&ok[0]);
    settings.seed = parser.value(seed).toUInt(&ok[1]);
    settings.items = parser.value(items).toInt(&ok[2]);
    settings.answerTimeout = parser.value(timeout).toInt(&ok[3]);
    settings.faults = parser.isSet(faults) ? parser.value(faults) : defaultFaults(settings.answerTimeout);
    if (std::count(std::begin(ok), std::end(ok), false) == 0 && settings.minutes > 0 && settings.items >= 2
        && settings.items <= 10000 && settings.answerTimeout >= 100)
        return true;
    *error = QStringLiteral(
        "--minutes needs a number above 0, --seed a whole number, --items 2-10000, --timeout 100 ms or more");
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavrexbus-soak"));
    SoakSettings settings;
    QString error;
    if (!parseSettings(app, settings, &error))
        return fail(error);

    FaultLedger ledger(settings.answerTimeout);
    SimulatorChild simulator(ledger);
    if (!simulator.start(SoakRun::registers(settings.items), settings.faults, settings.seed, &error))
        return fail(error);
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral(TAVREX_QML_BUILD_DIR));
    SoakRun run(settings, ledger, simulator);
    if (!run.load(engine, &error))
        return fail(error);
    QTextStream(stdout) << QStringLiteral("soaking %1 items for %2 minutes on tcp://127.0.0.1:%3 and rtu://%4 with "
                                          "faults \"%5\", seed %6")
                               .arg(settings.items)
                               .arg(settings.minutes)
                               .arg(simulator.tcpPort())
                               .arg(simulator.serialDevice(), settings.faults)
                               .arg(settings.seed)
                        << Qt::endl;

    // Ctrl-C ends the run early, with its verdict; only a flag may be touched in a signal handler.
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, &run, [&run] {
        if (stopRequested)
            run.stop();
    });
    stopWatch.start(100);
    run.start();
    QCoreApplication::exec();
    simulator.stop();
    return run.verdict();
}
