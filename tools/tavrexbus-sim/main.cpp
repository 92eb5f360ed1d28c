#include "faultinjector.h"
#include "keyscript.h"
#include "meterfleet.h"
#include "metersimulator.h"
#include "ptydevicenode.h"

#include <TavrexBus1/modbuser.h>
#include <TavrexBus1/modbusserialserver.h>
#include <TavrexBus1/modbustcpserver.h>
#include <TavrexBus1/modbustftpserver.h>
#include <TavrexBus1/modbustranslator.h>
#include <TavrexBus1/modbustransporter.h>

#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QSocketNotifier>
#include <QtCore/QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = { -1, -1 };

void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

// Ctrl-C and SIGTERM end the event loop, so every transport closes as usual.
void quitOnStopSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

int fail(const QString &message)
{
    QTextStream(stderr) << "tavrexbus-sim: " << message << Qt::endl;
    return 1;
}

QByteArray readMap(const QString &path, QString *error)
{
    QFile file(path.isEmpty() ? QStringLiteral(":/defaultmap.json") : path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("can't read register map %1: %2").arg(path, file.errorString());
        return QByteArray();
    }
    return file.readAll();
}

bool parseHostPort(const QString &text, QHostAddress &host, int &port)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    port = text.mid(colon + 1).toInt(&ok);
    return colon > 0 && ok && port >= 0 && port <= 65535 && host.setAddress(text.left(colon));
}

QSerialPort::Parity parityOf(const QString &text, bool &ok)
{
    ok = true;
    if (text == QLatin1String("even"))
        return QSerialPort::EvenParity;
    if (text == QLatin1String("odd"))
        return QSerialPort::OddParity;
    ok = text == QLatin1String("none");
    return QSerialPort::NoParity;
}

// What the command line asks for, read once.
struct Options
{
    QCommandLineParser parser;
    QCommandLineOption tcp{ QStringLiteral("tcp"),
                            QStringLiteral("Listen on this address and port (port 0: any free one)."),
                            QStringLiteral("address:port"), QStringLiteral("127.0.0.1:1502") };
    QCommandLineOption noTcp{ QStringLiteral("no-tcp"), QStringLiteral("Do not listen on TCP.") };
    QCommandLineOption tftp{ QStringLiteral("tftp"),
                             QStringLiteral(
                                 "Also answer RTU frames in TFTP on this UDP address and port (port 0: any free one)."),
                             QStringLiteral("address:port") };
    QCommandLineOption serial{ QStringLiteral("serial"),
                               QStringLiteral(
                                   "Also answer on this serial device; pty: on a pseudo-terminal of its own, "
                                   "whose device the ready line names."),
                               QStringLiteral("device") };
    QCommandLineOption baud{ QStringLiteral("baud"), QStringLiteral("Serial line speed."), QStringLiteral("rate"),
                             QStringLiteral("19200") };
    QCommandLineOption parity{ QStringLiteral("parity"), QStringLiteral("Serial parity: none, even or odd."),
                               QStringLiteral("parity"), QStringLiteral("none") };
    QCommandLineOption map{ QStringLiteral("map"), QStringLiteral("Register map (JSON, see README.md)."),
                            QStringLiteral("file") };
    QCommandLineOption printMap{ QStringLiteral("print-map"),
                                 QStringLiteral("Print the built-in register map and exit.") };
    QCommandLineOption verbose{ QStringLiteral("verbose"), QStringLiteral("Print every request in one line.") };
    QCommandLineOption c55{ QStringLiteral("c55"),
                            QStringLiteral(
                                "Also offer a C55 device node (a pseudo-terminal) carrying Modbus RTU and events.") };
    QCommandLineOption keys{
        QStringLiteral("keys"),
        QStringLiteral("Play these key presses on the C55 device whenever a client opens it (see README.md)."),
        QStringLiteral("script")
    };
    QCommandLineOption faults{ QStringLiteral("faults"),
                               QStringLiteral(
                                   "Disturb answers on the TCP and serial links, as \"silent 2%, late 1% 800-1500ms\" "
                                   "(see README.md); each fault is printed in one line."),
                               QStringLiteral("rules") };
    QCommandLineOption seed{ QStringLiteral("seed"),
                             QStringLiteral("Seed of the faults' random choices, to repeat a run."),
                             QStringLiteral("number") };
    QCommandLineOption devices{ QStringLiteral("devices"),
                                QStringLiteral("Simulate N meters on TCP, each with values of its own, "
                                               "on N consecutive ports (see README.md)."),
                                QStringLiteral("N"), QStringLiteral("1") };
    QCommandLineOption units{ QStringLiteral("units"),
                              QStringLiteral("With --devices: one TCP port, meter k answering unit address k.") };

    explicit Options(QCoreApplication &app)
    {
        parser.setApplicationDescription(
            QStringLiteral("Simulates a flow and heat meter on Modbus/TCP, TFTP over UDP and serial lines."));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOptions({ tcp, noTcp, tftp, serial, baud, parity, map, printMap, verbose, c55, keys, faults, seed,
                             devices, units });
        parser.process(app);
    }
    QString value(const QCommandLineOption &option) const { return parser.value(option); }
    bool isSet(const QCommandLineOption &option) const { return parser.isSet(option); }
};

// The faults of every TCP and serial listener; each listener draws from its own stream of the seed.
class Faults
{
public:
    bool load(const Options &options, QString *error)
    {
        if (!options.isSet(options.faults)) {
            *error = QStringLiteral("--seed needs --faults");
            return !options.isSet(options.seed);
        }
        bool ok = true;
        m_seed = options.isSet(options.seed) ? options.value(options.seed).toUInt(&ok)
                                             : QRandomGenerator::global()->generate();
        if (!ok) {
            *error = QStringLiteral("--seed: \"%1\" is not a whole number of 0-4294967295")
                         .arg(options.value(options.seed));
            return false;
        }
        return m_plan.parse(options.value(options.faults), error);
    }

    void attach(ModbusTransport &listener, Modbuser &modbuser, FaultInjector::Link link)
    {
        if (m_plan.isEmpty())
            return;
        FaultPlan plan = m_plan;
        plan.seed(m_seed, quint32(link));
        auto *injector = new FaultInjector(listener, modbuser.translator(), link, plan, &listener);
        QObject::connect(injector, &FaultInjector::injected, injector,
                         [](const QString &line) { out() << line << Qt::endl; });
        m_links << (link == FaultInjector::Tcp ? QStringLiteral("tcp") : QStringLiteral("rtu"));
    }

    // "faults on tcp and rtu, seed 42", or nothing without faults.
    QString summary() const
    {
        if (m_plan.isEmpty())
            return QString();
        return QStringLiteral("faults on %1, seed %2").arg(m_links.join(QStringLiteral(" and "))).arg(m_seed);
    }

    bool unused() const { return !m_plan.isEmpty() && m_links.isEmpty(); }

private:
    FaultPlan m_plan;
    quint32 m_seed = 0;
    QStringList m_links;
};

// Each listener joins the modbuser's translator and gives the URL a client opens, or null and a message.
ModbusTransport *listen(ModbusTransport *listener, Modbuser &modbuser, QString *error)
{
    modbuser.translator().addTransport(*listener, true, false);
    if (listener->connectTransport(false))
        return listener;
    *error = listener->errorString();
    return nullptr;
}

// A TCP or TFTP server on address:port.
template <typename Server>
ModbusTransport *listenIp(const QString &hostPort, const QString &scheme, Modbuser &modbuser, QObject *parent,
                          QString &url, QString *error)
{
    QHostAddress host;
    int port = 0;
    if (!parseHostPort(hostPort, host, port)) {
        *error = QStringLiteral("\"%1\" is not address:port").arg(hostPort);
        return nullptr;
    }
    auto *server = new Server(port, parent);
    server->setAddress(host);
    ModbusTransport *listener = listen(server, modbuser, error);
    url = QStringLiteral("%1://%2:%3").arg(scheme, host.toString()).arg(server->port());
    return listener;
}

ModbusTransport *listenSerial(const Options &options, Modbuser &modbuser, QObject *parent, QString &url, QString *error)
{
    const QString device = options.value(options.serial);
    if (device == QLatin1String("pty")) {
        auto *node = new PtyDeviceNode(parent);
        ModbusTransport *listener = listen(node, modbuser, error);
        url = QStringLiteral("rtu://%1").arg(node->devicePath());
        return listener;
    }
    bool parityOk = false;
    const QSerialPort::Parity lineParity = parityOf(options.value(options.parity), parityOk);
    const int rate = options.value(options.baud).toInt();
    if (!parityOk || rate <= 0) {
        *error = QStringLiteral("bad serial settings: baud %1, parity %2")
                     .arg(options.value(options.baud), options.value(options.parity));
        return nullptr;
    }
    auto *server = new ModbusSerialServer(device, parent);
    server->setBaudRate(rate);
    server->setParity(ModbusSerialTransport::Parity(lineParity));
    url = QStringLiteral("rtu://%1?baud=%2").arg(device).arg(rate);
    return listen(server, modbuser, error);
}

bool listenC55(const Options &options, Modbuser &modbuser, KeyScript &script, QObject *parent, QString &url,
               QString *error)
{
    if (options.isSet(options.keys)
        && (!options.isSet(options.c55) || !script.parse(options.value(options.keys), error))) {
        if (!options.isSet(options.c55))
            *error = QStringLiteral("--keys needs --c55: only the C55 device carries events");
        return false;
    }
    if (!options.isSet(options.c55))
        return true;
    auto *node = new PtyDeviceNode(parent);
    if (!listen(node, modbuser, error))
        return false;
    if (options.isSet(options.keys)) {
        Transporter &transporter = *modbuser.translator().transporter();
        QObject::connect(node, &PtyDeviceNode::deviceOpened, &script,
                         [&script, &transporter, node] { script.play(transporter, node->target()); });
        QObject::connect(node, &PtyDeviceNode::deviceClosed, &script, &KeyScript::stop);
    }
    if (options.isSet(options.verbose))
        QObject::connect(&script, &KeyScript::sent, parent, [](const QString &line) { out() << line << Qt::endl; });
    url = QStringLiteral("c55://%1").arg(node->devicePath());
    return true;
}

// The meters --devices and --units ask for; 0 (with error) when the count is no good.
int meterCount(const Options &options, QString *error)
{
    bool ok = false;
    const int count = options.value(options.devices).toInt(&ok);
    if (!ok || count < 1 || count > 65535) {
        *error = QStringLiteral("--devices needs a number of meters, 1-65535");
        return 0;
    }
    if (options.isSet(options.units) && count > 247) {
        *error = QStringLiteral("--units serves unit addresses 1-247: give --devices 247 or fewer");
        return 0;
    }
    return count;
}

// Many meters take the TCP side in place of the one meter: each on a port of its own, or one port with a
// unit address each.
bool listenFleet(const Options &options, const QByteArray &document, int count, MeterFleet &fleet, QString &url,
                 QString *error)
{
    QHostAddress host;
    int port = 0;
    if (!parseHostPort(options.value(options.tcp), host, port)) {
        *error = QStringLiteral("\"%1\" is not address:port").arg(options.value(options.tcp));
        return false;
    }
    const auto layout = options.isSet(options.units) ? MeterFleet::Units : MeterFleet::Ports;
    if (!fleet.load(document, count, error) || !fleet.listen(host, port, layout, error))
        return false;
    url = fleet.readyText();
    return true;
}

// What runs while the event loop does, in the order it is built and torn down in.
struct Simulation
{
    MeterSimulator meter;
    QByteArray document;
    int meters = 1;
    Faults faults;
    MeterFleet fleet;
    Modbuser modbuser;
    KeyScript script;
    QStringList ready;

    // The register map, the faults and the number of meters the options ask for.
    bool load(const Options &options, QString *error)
    {
        document = readMap(options.value(options.map), error);
        if (!error->isEmpty() || !meter.load(document, error) || !faults.load(options, error))
            return false;
        meters = meterCount(options, error);
        if (meters == 0)
            return false;
        if (fleetWanted(options) && options.isSet(options.faults)) {
            *error = QStringLiteral("--faults disturbs one meter: leave out --devices and --units");
            return false;
        }
        return true;
    }

    bool fleetWanted(const Options &options) const { return meters > 1 || options.isSet(options.units); }

    void serve(const Options &options, QObject *context)
    {
        meter.serve(modbuser);
        QObject::connect(&modbuser, &ErrObject::error, context, [](const QString &message) { fail(message); });
        if (!options.isSet(options.verbose))
            return;
        const auto print = [](const QString &line) { out() << line << Qt::endl; };
        QObject::connect(&meter, &MeterSimulator::served, context, print);
        QObject::connect(&fleet, &MeterFleet::served, context, print);
    }

    bool listenTcp(const Options &options, QObject *parent, QString *error)
    {
        if (options.isSet(options.noTcp))
            return true;
        QString url;
        if (fleetWanted(options)) {
            if (!listenFleet(options, document, meters, fleet, url, error))
                return false;
            // Ports found taken while looking for a run of free ones are no news.
            QObject::connect(&fleet, &MeterFleet::error, parent, [](const QString &message) { fail(message); });
        } else {
            const QString hostPort = options.value(options.tcp);
            ModbusTransport *listener
                = listenIp<ModbusTcpServer>(hostPort, QStringLiteral("tcp"), modbuser, parent, url, error);
            if (!listener)
                return false;
            faults.attach(*listener, modbuser, FaultInjector::Tcp);
        }
        ready << url;
        return true;
    }

    // TFTP, the serial line and the C55 device, those the options ask for.
    bool listenOthers(const Options &options, QObject *parent, QString *error)
    {
        QString url;
        if (options.isSet(options.tftp)) {
            const QString hostPort = options.value(options.tftp);
            if (!listenIp<ModbusTFtpServer>(hostPort, QStringLiteral("tftp"), modbuser, parent, url, error))
                return false;
            ready << url;
        }
        if (options.isSet(options.serial)) {
            ModbusTransport *listener = listenSerial(options, modbuser, parent, url, error);
            if (!listener)
                return false;
            faults.attach(*listener, modbuser, FaultInjector::Serial);
            ready << url;
        }
        url.clear();
        if (!listenC55(options, modbuser, script, parent, url, error))
            return false;
        if (!url.isEmpty())
            ready << url;
        return true;
    }

    bool listen(const Options &options, QObject *parent, QString *error)
    {
        if (!listenTcp(options, parent, error) || !listenOthers(options, parent, error))
            return false;
        if (ready.isEmpty()) {
            *error = QStringLiteral("nothing to listen on: give --serial, --tftp or --c55, or leave TCP on");
            return false;
        }
        if (faults.unused()) {
            *error = QStringLiteral("--faults needs a TCP or serial listener");
            return false;
        }
        return true;
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavrexbus-sim"));
    QCoreApplication::setApplicationVersion(TavrexBus::version());
    const Options options(app);

    QString error;
    if (options.isSet(options.printMap)) {
        out() << readMap(QString(), &error);
        return 0;
    }
    Simulation simulation;
    if (!simulation.load(options, &error))
        return fail(error);
    simulation.serve(options, &app);
    if (!simulation.listen(options, &app, &error))
        return fail(error);

    quitOnStopSignals(app);
    if (!simulation.faults.summary().isEmpty())
        out() << simulation.faults.summary() << Qt::endl;
    out() << "listening on " << simulation.ready.join(QStringLiteral(" and ")) << Qt::endl;
    const int status = app.exec();
    simulation.modbuser.disconnectTransports();
    simulation.fleet.close();
    return status;
}
