#include "meterfleet.h"

#include <TavrexBus1/modbuspacketreg.h>
#include <TavrexBus1/modbustcpserver.h>
#include <TavrexBus1/modbustranslateoptions.h>

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QFile>
#include <QtCore/QJsonObject>
#include <QtCore/QRandomGenerator>

#include <sys/resource.h>

namespace {

// A run of free ports is looked for this often before it is given up.
constexpr int PortRunAttempts = 64;
// Runs are looked for from here up to the ports the system hands out to connecting sockets.
constexpr int LowestSearchedPort = 10000;

// The system hands out ports from its local range to every connecting socket, and a connection that
// has just closed still holds its port for a minute: a run of free ports is found below that range.
int firstPortToTry(int count)
{
    int ephemeral = 32768;
    QFile range(QStringLiteral("/proc/sys/net/ipv4/ip_local_port_range"));
    if (range.open(QIODevice::ReadOnly))
        ephemeral = range.readAll().simplified().split(' ').value(0).toInt();
    const int last = qMax(LowestSearchedPort + 1, ephemeral - count);
    return int(QRandomGenerator::global()->bounded(LowestSearchedPort, last));
}

// Every meter's listener and every client's connection takes a descriptor; the soft limit is
// often far below what the system allows.
void raiseDescriptorLimit()
{
    rlimit limit = {};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// What a gateway answers for a unit that is not behind it.
ModbusPacket *gatewayTargetFailed(const ModbusPacket &request)
{
    auto *answer = new ModbusPacketReg;
    answer->setFunctionCode(request.functionCode());
    answer->setExceptionCode(TavrexBus::GatewayTargetFailed);
    answer->setState(TavrexBus::Response);
    answer->setAddress(request.address());
    return answer;
}

} // namespace

MeterFleet::MeterFleet(QObject *parent)
    : QObject(parent)
{
    connect(&m_router, &ErrObject::error, this, &MeterFleet::error);
}

MeterFleet::~MeterFleet()
{
    close();
}

// A map that does not parse is loaded as it is, so that the simulator tells what is wrong with it.
QByteArray MeterFleet::shiftedValues(const QByteArray &json, int shift)
{
    QJsonObject root = QJsonDocument::fromJson(json).object();
    if (shift == 0 || root.isEmpty())
        return json;
    QJsonArray registers = root.value(QLatin1String("registers")).toArray();
    for (auto entry = registers.begin(); entry != registers.end(); ++entry) {
        QJsonObject object = entry->toObject();
        const QJsonValue value = object.value(QLatin1String("value"));
        if (!value.isDouble() || object.value(QLatin1String("clock")).toBool())
            continue;
        object.insert(QLatin1String("value"), value.toDouble() + shift);
        *entry = object;
    }
    root.insert(QLatin1String("registers"), registers);
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

bool MeterFleet::load(const QByteArray &json, int count, QString *error)
{
    m_meters.clear();
    for (int number = 1; number <= count; ++number) {
        auto meter = std::make_unique<Meter>();
        if (!meter->simulator.load(shiftedValues(json, number - 1), error)) {
            *error = QStringLiteral("meter %1: %2").arg(number).arg(*error);
            return false;
        }
        meter->simulator.serve(meter->modbuser);
        connect(&meter->simulator, &MeterSimulator::served, this,
                [this, number](const QString &line) {
                    emit served(QStringLiteral("meter %1: %2").arg(number).arg(line));
                });
        connect(&meter->modbuser, &ErrObject::error, this, &MeterFleet::error);
        m_meters.push_back(std::move(meter));
    }
    return true;
}

bool MeterFleet::listen(const QHostAddress &host, int port, Layout layout, QString *error)
{
    m_host = host;
    m_layout = layout;
    raiseDescriptorLimit();
    return layout == Units ? listenOnUnits(host, port, error) : listenOnPorts(host, port, error);
}

bool MeterFleet::listenOnPorts(const QHostAddress &host, int port, QString *error)
{
    if (port != 0)
        return listenOnPortsFrom(host, port, error);
    for (int attempt = 0; attempt < PortRunAttempts; ++attempt) {
        if (listenOnPortsFrom(host, firstPortToTry(int(m_meters.size())), error))
            return true;
        close();
    }
    return false;
}

bool MeterFleet::listenOnPortsFrom(const QHostAddress &host, int first, QString *error)
{
    for (size_t i = 0; i < m_meters.size(); ++i) {
        const int port = first + int(i);
        if (port > 65535) {
            *error = QStringLiteral("%1 meters do not fit below port 65536").arg(m_meters.size());
            return false;
        }
        Meter &meter = *m_meters[i];
        meter.server = new ModbusTcpServer(port, &meter.modbuser);
        meter.server->setAddress(host);
        meter.modbuser.translator().addTransport(*meter.server, true, false);
        if (!meter.server->connectTransport(false)) {
            *error = meter.server->errorString();
            return false;
        }
    }
    return true;
}

bool MeterFleet::listenOnUnits(const QHostAddress &host, int port, QString *error)
{
    m_routerServer = new ModbusTcpServer(port, &m_router);
    m_routerServer->setAddress(host);
    m_router.addTransport(*m_routerServer, true, false);
    routeByUnit();
    if (m_routerServer->connectTransport(false))
        return true;
    *error = m_routerServer->errorString();
    return false;
}

void MeterFleet::routeByUnit()
{
    const auto meterOf = [this](quint8 unit) {
        return unit >= 1 && unit <= m_meters.size() ? m_meters[unit - 1].get() : nullptr;
    };
    // A meter tells requests apart by the packets its own translator announces.
    connect(&m_router, &ModbusTranslator::packetReceived, this,
            [meterOf](const ModbusPacket &packet, const ModbusTarget *target) {
                if (Meter *meter = meterOf(packet.address()))
                    emit meter->modbuser.translator().packetReceived(packet, target);
            });
    connect(&m_router, &ModbusTranslator::packetRequestReceived, this,
            [meterOf](ModbusPacket &packet, ModbusTranslateOptions &options, ModbusPacket **answer) {
                if (Meter *meter = meterOf(options.requestAddress()))
                    meter->modbuser.onPacketRequestReceived(packet, options, answer);
                else if (answer && !*answer)
                    *answer = gatewayTargetFailed(packet);
            });
}

void MeterFleet::close()
{
    for (const std::unique_ptr<Meter> &meter : m_meters) {
        delete meter->server;
        meter->server = nullptr;
    }
    delete m_routerServer;
    m_routerServer = nullptr;
}

QString MeterFleet::readyText() const
{
    const int count = int(m_meters.size());
    if (m_layout == Units) {
        return QStringLiteral("tcp://%1:%2 (meters 1-%3 as units 1-%3)")
            .arg(m_host.toString())
            .arg(m_routerServer->port())
            .arg(count);
    }
    const int first = m_meters.front()->server->port();
    return QStringLiteral("tcp://%1:%2 (meters 1-%3 on ports %2-%4)")
        .arg(m_host.toString())
        .arg(first)
        .arg(count)
        .arg(first + count - 1);
}
