#include "c55devicenode.h"
#include "keyscript.h"
#include "meterfleet.h"
#include "metersimulator.h"

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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavrexbus-sim"));
    QCoreApplication::setApplicationVersion(TavrexBus::version());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulates a flow and heat meter on Modbus/TCP, TFTP over UDP and serial lines."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption tcp(QStringLiteral("tcp"), QStringLiteral("Listen on this address and port (port 0: any free one)."),
                                 QStringLiteral("address:port"), QStringLiteral("127.0.0.1:1502"));
    const QCommandLineOption noTcp(QStringLiteral("no-tcp"), QStringLiteral("Do not listen on TCP."));
    const QCommandLineOption tftp(QStringLiteral("tftp"),
                                  QStringLiteral("Also answer RTU frames in TFTP on this UDP address and port (port 0: any free one)."),
                                  QStringLiteral("address:port"));
    const QCommandLineOption serial(QStringLiteral("serial"), QStringLiteral("Also answer on this serial device."),
                                    QStringLiteral("device"));
    const QCommandLineOption baud(QStringLiteral("baud"), QStringLiteral("Serial line speed."), QStringLiteral("rate"),
                                  QStringLiteral("19200"));
    const QCommandLineOption parity(QStringLiteral("parity"), QStringLiteral("Serial parity: none, even or odd."),
                                    QStringLiteral("parity"), QStringLiteral("none"));
    const QCommandLineOption map(QStringLiteral("map"), QStringLiteral("Register map (JSON, see README.md)."),
                                 QStringLiteral("file"));
    const QCommandLineOption printMap(QStringLiteral("print-map"), QStringLiteral("Print the built-in register map and exit."));
    const QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Print every request in one line."));
    const QCommandLineOption c55(QStringLiteral("c55"),
                                 QStringLiteral("Also offer a C55 device node (a pseudo-terminal) carrying Modbus RTU and events."));
    const QCommandLineOption keys(QStringLiteral("keys"),
                                  QStringLiteral("Play these key presses on the C55 device whenever a client opens it (see README.md)."),
                                  QStringLiteral("script"));
    const QCommandLineOption devices(QStringLiteral("devices"),
                                     QStringLiteral("Simulate N meters on TCP, each with values of its own, on N consecutive ports (see README.md)."),
                                     QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption units(QStringLiteral("units"),
                                   QStringLiteral("With --devices: one TCP port, meter k answering unit address k."));
    parser.addOptions({ tcp, noTcp, tftp, serial, baud, parity, map, printMap, verbose, c55, keys, devices, units });
    parser.process(app);

    QString error;
    if (parser.isSet(printMap)) {
        out() << readMap(QString(), &error);
        return 0;
    }
    MeterSimulator meter;
    const QByteArray document = readMap(parser.value(map), &error);
    if (document.isEmpty() || !meter.load(document, &error))
        return fail(error);

    bool devicesOk = false;
    const int deviceCount = parser.value(devices).toInt(&devicesOk);
    if (!devicesOk || deviceCount < 1 || deviceCount > 65535)
        return fail(QStringLiteral("--devices needs a number of meters, 1-65535"));
    if (parser.isSet(units) && deviceCount > 247)
        return fail(QStringLiteral("--units serves unit addresses 1-247: give --devices 247 or fewer"));
    MeterFleet fleet;
    const bool manyMeters = deviceCount > 1 || parser.isSet(units);
    if (manyMeters && !fleet.load(document, deviceCount, &error))
        return fail(error);

    Modbuser modbuser;
    meter.serve(modbuser);
    QObject::connect(&modbuser, &ErrObject::error, &app, [](const QString &message) { fail(message); });
    if (parser.isSet(verbose)) {
        QObject::connect(&meter, &MeterSimulator::served, &app, [](const QString &line) { out() << line << Qt::endl; });
        QObject::connect(&fleet, &MeterFleet::served, &app, [](const QString &line) { out() << line << Qt::endl; });
    }

    QStringList ready;
    if (!parser.isSet(noTcp) && manyMeters) {
        QHostAddress host;
        int port = 0;
        if (!parseHostPort(parser.value(tcp), host, port))
            return fail(QStringLiteral("\"%1\" is not address:port").arg(parser.value(tcp)));
        if (!fleet.listen(host, port, parser.isSet(units) ? MeterFleet::Units : MeterFleet::Ports, &error))
            return fail(error);
        // Ports found taken while looking for a run of free ones are no news.
        QObject::connect(&fleet, &MeterFleet::error, &app, [](const QString &message) { fail(message); });
        ready << fleet.readyText();
    }
    if (!parser.isSet(noTcp) && !manyMeters) {
        QHostAddress host;
        int port = 0;
        if (!parseHostPort(parser.value(tcp), host, port))
            return fail(QStringLiteral("\"%1\" is not address:port").arg(parser.value(tcp)));
        auto *server = new ModbusTcpServer(port, &app);
        server->setAddress(host);
        modbuser.translator().addTransport(*server, true, false);
        if (!server->connectTransport(false))
            return fail(server->errorString());
        ready << QStringLiteral("tcp://%1:%2").arg(host.toString()).arg(server->port());
    }
    if (parser.isSet(tftp)) {
        QHostAddress host;
        int port = 0;
        if (!parseHostPort(parser.value(tftp), host, port))
            return fail(QStringLiteral("\"%1\" is not address:port").arg(parser.value(tftp)));
        auto *server = new ModbusTFtpServer(port, &app);
        server->setAddress(host);
        modbuser.translator().addTransport(*server, true, false);
        if (!server->connectTransport(false))
            return fail(server->errorString());
        ready << QStringLiteral("tftp://%1:%2").arg(host.toString()).arg(server->port());
    }
    if (parser.isSet(serial)) {
        bool parityOk = false;
        const QSerialPort::Parity lineParity = parityOf(parser.value(parity), parityOk);
        const int rate = parser.value(baud).toInt();
        if (!parityOk || rate <= 0)
            return fail(QStringLiteral("bad serial settings: baud %1, parity %2").arg(parser.value(baud), parser.value(parity)));
        auto *server = new ModbusSerialServer(parser.value(serial), &app);
        server->setBaudRate(rate);
        server->setParity(ModbusSerialTransport::Parity(lineParity));
        modbuser.translator().addTransport(*server, true, false);
        if (!server->connectTransport(false))
            return fail(server->errorString());
        ready << QStringLiteral("rtu://%1?baud=%2").arg(parser.value(serial)).arg(rate);
    }
    KeyScript script;
    if (parser.isSet(keys) && (!parser.isSet(c55) || !script.parse(parser.value(keys), &error)))
        return fail(parser.isSet(c55) ? error : QStringLiteral("--keys needs --c55: only the C55 device carries events"));
    if (parser.isSet(c55)) {
        auto *node = new C55DeviceNode(&app);
        modbuser.translator().addTransport(*node, true, false);
        if (!node->connectTransport(false))
            return fail(node->errorString());
        if (parser.isSet(keys)) {
            Transporter &transporter = *modbuser.translator().transporter();
            QObject::connect(node, &C55DeviceNode::deviceOpened, &script,
                             [&script, &transporter, node] { script.play(transporter, node->target()); });
            QObject::connect(node, &C55DeviceNode::deviceClosed, &script, &KeyScript::stop);
        }
        if (parser.isSet(verbose))
            QObject::connect(&script, &KeyScript::sent, &app, [](const QString &line) { out() << line << Qt::endl; });
        ready << QStringLiteral("c55://%1").arg(node->devicePath());
    }
    if (ready.isEmpty())
        return fail(QStringLiteral("nothing to listen on: give --serial, --tftp or --c55, or leave TCP on"));

    quitOnStopSignals(app);
    out() << "listening on " << ready.join(QStringLiteral(" and ")) << Qt::endl;
    const int status = app.exec();
    modbuser.disconnectTransports();
    fleet.close();
    return status;
}
