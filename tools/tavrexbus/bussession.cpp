#include "bussession.h"

#include <TavrexBus1/modbuslibusbclient.h>
#include <TavrexBus1/modbusserialclient.h>
#include <TavrexBus1/modbustcpclient.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QDateTime>
#include <QtCore/QHash>
#include <QtCore/QRegularExpression>
#include <QtCore/QTextStream>
#include <QtCore/QThread>
#include <QtCore/QUrl>
#include <QtCore/QUrlQuery>
#include <QtNetwork/QHostInfo>

namespace {

const QString urlOption = QStringLiteral("url");
const QString unitOption = QStringLiteral("unit");
const QString timeoutOption = QStringLiteral("timeout");
const QString intervalOption = QStringLiteral("interval");
const QString repeatOption = QStringLiteral("repeat");

bool toNumber(const QString &text, int low, int high, int &value)
{
    bool ok = false;
    value = text.toInt(&ok, 0);
    return ok && value >= low && value <= high;
}

} // namespace

BusSession::BusSession()
    : m_modbuser(std::make_unique<Modbuser>())
{
    m_parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    m_parser.addOptions({
        { urlOption, QStringLiteral("Device: tcp://host:port, rtu:///dev/ttyS0?baud=19200&parity=none or usb://6a3d:2c05[/serial]."),
          QStringLiteral("url"), QStringLiteral("tcp://127.0.0.1:502") },
        { unitOption, QStringLiteral("Device (unit) address, 0-255."), QStringLiteral("n"), QStringLiteral("1") },
        { timeoutOption, QStringLiteral("Answer time-out in ms."), QStringLiteral("ms"), QStringLiteral("1000") },
        { intervalOption, QStringLiteral("Poll again every ms."), QStringLiteral("ms") },
        { repeatOption, QStringLiteral("Number of polls with --interval (0: until stopped)."), QStringLiteral("n"),
          QStringLiteral("0") },
    });
}

BusSession::~BusSession()
{
    if (m_transport && m_transport->connected())
        m_transport->disconnectTransport();
}

QCommandLineParser &BusSession::parser()
{
    return m_parser;
}

bool BusSession::parse(const QStringList &args, int minPositional, int maxPositional, QString &error)
{
    // The option parser would read a negative value such as -7 as a cluster of short options,
    // so such values pass through it under a stand-in that no option can look like.
    static const QRegularExpression negativeNumber(QStringLiteral("^-(\\.?\\d|inf|nan)"),
                                                   QRegularExpression::CaseInsensitiveOption);
    QStringList shielded{ QCoreApplication::applicationName() };
    QHash<QString, QString> negatives;
    for (const QString &arg : args) {
        if (!negativeNumber.match(arg).hasMatch()) {
            shielded << arg;
            continue;
        }
        const QString standIn = QStringLiteral("\u0001%1").arg(negatives.size());
        negatives.insert(standIn, arg);
        shielded << standIn;
    }
    if (!m_parser.parse(shielded)) {
        error = m_parser.errorText();
        return false;
    }
    m_positional.clear();
    for (const QString &arg : m_parser.positionalArguments())
        m_positional << negatives.value(arg, arg);
    const int count = int(m_positional.size());
    if (count < minPositional || count > maxPositional) {
        error = QStringLiteral("wrong number of arguments; see tavrexbus --help");
        return false;
    }
    int number = 0;
    if (!toNumber(value(unitOption), 0, 255, number) || !toNumber(value(timeoutOption), 1, 3600000, m_timeout)
        || (isSet(intervalOption) && !toNumber(value(intervalOption), 0, 86400000, number))
        || !toNumber(value(repeatOption), 0, INT_MAX, number)) {
        error = QStringLiteral("--unit takes 0-255, --timeout, --interval and --repeat take whole numbers");
        return false;
    }
    return true;
}

QStringList BusSession::positional() const
{
    return m_positional;
}

bool BusSession::isSet(const QString &option) const
{
    return m_parser.isSet(option);
}

QString BusSession::value(const QString &option) const
{
    return m_parser.value(option);
}

Modbuser &BusSession::modbuser()
{
    return *m_modbuser;
}

bool BusSession::makeTransport(const QString &text, QString &error)
{
    const QUrl url(text, QUrl::StrictMode);
    if (url.scheme() == QLatin1String("tcp") && !url.host().isEmpty()) {
        QHostAddress address(url.host());
        if (address.isNull()) {
            const QHostInfo info = QHostInfo::fromName(url.host());
            if (info.addresses().isEmpty()) {
                error = QStringLiteral("can't resolve %1: %2").arg(url.host(), info.errorString());
                return false;
            }
            address = info.addresses().constFirst();
        }
        auto *client = new ModbusTcpClient(address, url.port(502), m_modbuser.get());
        client->setConnectTimeout(m_timeout);
        client->setReadAnswerTimeout(m_timeout);
        client->setWriteTimeout(m_timeout);
        m_transport = client;
        return true;
    }
    if (url.scheme() == QLatin1String("rtu") && !url.path().isEmpty()) {
        const QUrlQuery query(url);
        auto *client = new ModbusSerialClient(m_modbuser.get());
        client->setPort(url.path());
        if (query.hasQueryItem(QStringLiteral("baud")))
            client->setBaudRate(query.queryItemValue(QStringLiteral("baud")).toInt());
        const QString parity = query.queryItemValue(QStringLiteral("parity"));
        client->setParity(parity == QLatin1String("even") ? ModbusSerialTransport::EvenParity
                              : parity == QLatin1String("odd") ? ModbusSerialTransport::OddParity
                                                               : ModbusSerialTransport::NoParity);
        client->setReadTimeout(m_timeout);
        m_transport = client;
        return true;
    }
    // usb://VID:PID[/serial], identifiers in hexadecimal as lsusb shows them.
    static const QRegularExpression usbUrl(QStringLiteral("^usb://([0-9A-Fa-f]{1,4}):([0-9A-Fa-f]{1,4})(?:/(.+))?$"));
    if (const QRegularExpressionMatch match = usbUrl.match(text); match.hasMatch()) {
        auto *client = new ModbusLibusbClient(m_modbuser.get());
        client->setVid(quint16(match.captured(1).toUInt(nullptr, 16)));
        client->setPid(quint16(match.captured(2).toUInt(nullptr, 16)));
        client->setSerialNumber(match.captured(3));
        client->setReadTimeout(m_timeout);
        client->setWriteTimeout(m_timeout);
        m_transport = client;
        return true;
    }
    error = QStringLiteral("\"%1\" is not a device URL (tcp://host:port, rtu:///dev/ttyX?baud=19200 or usb://vid:pid[/serial])").arg(text);
    return false;
}

bool BusSession::open(QString &error)
{
    if (!makeTransport(value(urlOption), error))
        return false;
    m_transport->setAutoReconnect(false);
    m_modbuser->setClientTransport(m_transport);
    m_modbuser->setDeviceAddress(quint8(value(unitOption).toInt(nullptr, 0)));
    if (!m_transport->connectTransport(false)) {
        error = m_transport->errorString();
        return false;
    }
    return true;
}

int BusSession::run(const std::function<bool(QString &error)> &poll)
{
    QTextStream err(stderr);
    const bool polling = isSet(intervalOption);
    const int interval = value(intervalOption).toInt();
    const int repeat = value(repeatOption).toInt();
    int status = 0;
    for (int round = 1; !polling || repeat == 0 || round <= repeat; ++round) {
        QString error;
        if (!poll(error)) {
            err << "tavrexbus: " << (error.isEmpty() ? m_modbuser->errorString() : error) << Qt::endl;
            status = 1;
        }
        if (!polling)
            break;
        QCoreApplication::processEvents();
        QThread::msleep(quint64(interval));
    }
    return status;
}

QString BusSession::usage()
{
    return QStringLiteral(
        "Bus options: --url tcp://host:port | rtu:///dev/ttyS0?baud=19200&parity=even | usb://vid:pid[/serial]\n"
        "  (default tcp://127.0.0.1:502),\n"
        "  --unit N (1), --timeout MS (1000), --interval MS to poll again, --repeat N polls (0: until stopped).\n"
        "Registers are logical numbers: 400001... holding, 300001... input.\n");
}
