#include "bussession.h"

#include "cliconsole.h"

#include <TavrexBus1/modbusclient.h>
#include <TavrexBus1/modbuslibusbclient.h>
#include <TavrexBus1/modbuspacketfile.h>
#include <TavrexBus1/modbuspacketreg.h>
#include <TavrexBus1/modbusserialclient.h>
#include <TavrexBus1/modbustcpclient.h>
#include <TavrexBus1/modbustftpclient.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QHash>
#include <QtCore/QRegularExpression>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtCore/QUrlQuery>
#include <QtNetwork/QHostInfo>

namespace {

const QString urlOption = QStringLiteral("url");
const QString unitOption = QStringLiteral("unit");
const QString timeoutOption = QStringLiteral("timeout");
const QString intervalOption = QStringLiteral("interval");
const QString repeatOption = QStringLiteral("repeat");
const QString verboseOption = QStringLiteral("verbose");
const QString helpOption = QStringLiteral("help");

bool toNumber(const QString &text, int low, int high, int &value)
{
    bool ok = false;
    value = text.toInt(&ok, 0);
    return ok && value >= low && value <= high;
}

using CliConsole::printError;

// The line settings a serial URL may carry, each with the values it takes.
struct SerialSetting
{
    QString name;
    QStringList values;
    std::function<void(ModbusSerialClient &, const QString &)> apply;
};

const QList<SerialSetting> &serialSettings()
{
    static const QList<SerialSetting> settings = {
        { QStringLiteral("baud"), {},
          [](ModbusSerialClient &port, const QString &value) { port.setBaudRate(value.toInt()); } },
        { QStringLiteral("parity"),
          { QStringLiteral("none"), QStringLiteral("even"), QStringLiteral("odd"), QStringLiteral("space"),
            QStringLiteral("mark") },
          [](ModbusSerialClient &port, const QString &value) {
              static const QHash<QString, ModbusSerialTransport::Parity> parities = {
                  { QStringLiteral("none"), ModbusSerialTransport::NoParity },
                  { QStringLiteral("even"), ModbusSerialTransport::EvenParity },
                  { QStringLiteral("odd"), ModbusSerialTransport::OddParity },
                  { QStringLiteral("space"), ModbusSerialTransport::SpaceParity },
                  { QStringLiteral("mark"), ModbusSerialTransport::MarkParity },
              };
              port.setParity(parities.value(value));
          } },
        { QStringLiteral("databits"),
          { QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8") },
          [](ModbusSerialClient &port, const QString &value) {
              port.setDataBits(ModbusSerialTransport::DataBits(value.toInt()));
          } },
        { QStringLiteral("stopbits"), { QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2") },
          [](ModbusSerialClient &port, const QString &value) {
              port.setStopBits(value == QLatin1String("1")   ? ModbusSerialTransport::OneStop
                                   : value == QLatin1String("2") ? ModbusSerialTransport::TwoStop
                                                                 : ModbusSerialTransport::OneAndHalfStop);
          } },
    };
    return settings;
}

bool isValidSetting(const SerialSetting &setting, const QString &value)
{
    if (!setting.values.isEmpty())
        return setting.values.contains(value);
    int rate = 0;
    return toNumber(value, 1, INT_MAX, rate);
}

// Where a request pointed, for the one-line account of an exception answer.
QString requestPlace(const ModbusPacket &request)
{
    if (const auto *reg = dynamic_cast<const ModbusPacketReg *>(&request))
        return QStringLiteral(", register %1").arg(TavrexBus::absToLog(reg->requestAddress(), reg->functionCode()));
    if (const auto *file = dynamic_cast<const ModbusPacketFile *>(&request))
        return QStringLiteral(", file %1, register %2").arg(file->requestFile).arg(file->requestOffset);
    return QString();
}

} // namespace

BusSession::BusSession(const QString &command, const QList<QCommandLineOption> &extraOptions)
    : m_command(command),
      m_modbuser(std::make_unique<Modbuser>())
{
    m_parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    m_parser.addOptions(options() + extraOptions);
    ModbusTranslator &translator = m_modbuser->translator();
    QObject::connect(
        &translator, &ModbusTranslator::packetSent, m_modbuser.get(),
        [this](const ModbusPacket &packet, const ModbusTarget *) { noteRequest(packet); }, Qt::DirectConnection);
    QObject::connect(
        &translator, &ModbusTranslator::packetReceived, m_modbuser.get(),
        [this](const ModbusPacket &packet, const ModbusTarget *) { noteAnswer(packet); }, Qt::DirectConnection);
}

BusSession::~BusSession()
{
    if (!m_transport)
        return;
    QObject::disconnect(m_transport, nullptr, m_modbuser.get(), nullptr);
    // Also cancels a pending reconnection.
    m_transport->disconnectTransport();
}

QList<QCommandLineOption> BusSession::options()
{
    return {
        { urlOption,
          QStringLiteral("Device: tcp://host:port; tftp://host:port (RTU frames in TFTP over UDP, port 69 by "
                         "default); rtu:///dev/ttyS0?baud=19200&parity=even with "
                         "baud, parity (none|even|odd|space|mark), databits (5-8), stopbits (1|1.5|2); or "
                         "usb://VID:PID[/serial] with hexadecimal identifiers, as lsusb shows them"),
          QStringLiteral("url"), QStringLiteral("tcp://127.0.0.1:502") },
        { unitOption, QStringLiteral("Device (unit) address, 0-255"), QStringLiteral("n"), QStringLiteral("1") },
        { timeoutOption, QStringLiteral("Answer time-out in ms"), QStringLiteral("ms"), QStringLiteral("1000") },
        { intervalOption, QStringLiteral("Poll again every ms; a lost link is reconnected meanwhile"),
          QStringLiteral("ms") },
        { repeatOption, QStringLiteral("Number of polls with --interval (0: until stopped)"), QStringLiteral("n"),
          QStringLiteral("0") },
        { verboseOption, QStringLiteral("Print an exception answer in full, with both packets") },
        { { QStringLiteral("h"), helpOption }, QStringLiteral("Show the command's help") },
    };
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
    const QString seeHelp = QStringLiteral("; see tavrexbus %1 --help").arg(m_command);
    if (!m_parser.parse(shielded)) {
        error = m_parser.errorText();
        if (error.endsWith(QLatin1Char('.')))
            error.chop(1);
        error += seeHelp;
        return false;
    }
    m_positional.clear();
    for (const QString &arg : m_parser.positionalArguments())
        m_positional << negatives.value(arg, arg);
    const int count = int(m_positional.size());
    if (count < minPositional || count > maxPositional) {
        error = QStringLiteral("wrong number of arguments") + seeHelp;
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
    if (url.isValid() && url.scheme() == QLatin1String("rtu") && !url.path().isEmpty())
        return makeSerialTransport(url, error);
    if (text.startsWith(QLatin1String("usb://")))
        return makeUsbTransport(text, error);
    const bool tftp = url.scheme() == QLatin1String("tftp");
    if (!url.isValid() || (url.scheme() != QLatin1String("tcp") && !tftp) || url.host().isEmpty()) {
        error = QStringLiteral("\"%1\" is not a device URL (tcp://host:port, tftp://host:port, "
                               "rtu:///dev/ttyX?baud=19200 or usb://vid:pid[/serial])").arg(text);
        return false;
    }
    if (url.hasQuery() || !url.userInfo().isEmpty() || (!url.path().isEmpty() && url.path() != QLatin1String("/"))) {
        error = QStringLiteral("\"%1\": a %2 URL is only %2://host:port").arg(text, url.scheme());
        return false;
    }
    QHostAddress address(url.host());
    if (address.isNull()) {
        const QHostInfo info = QHostInfo::fromName(url.host());
        if (info.addresses().isEmpty()) {
            error = QStringLiteral("can't resolve %1: %2").arg(url.host(), info.errorString());
            return false;
        }
        address = info.addresses().constFirst();
    }
    if (tftp) {
        m_transport = withTimeouts(new ModbusTFtpClient(ModbusIpTarget(address, url.port(69)), m_modbuser.get()));
        return true;
    }
    m_transport = withTimeouts(new ModbusTcpClient(address, url.port(502), m_modbuser.get()));
    return true;
}

template <typename IpClient>
IpClient *BusSession::withTimeouts(IpClient *client) const
{
    client->setConnectTimeout(m_timeout);
    client->setReadAnswerTimeout(m_timeout);
    client->setWriteTimeout(m_timeout);
    return client;
}

bool BusSession::makeUsbTransport(const QString &text, QString &error)
{
    // usb://VID:PID[/serial], identifiers in hexadecimal as lsusb shows them.
    static const QRegularExpression usbUrl(QStringLiteral("^usb://([0-9A-Fa-f]{1,4}):([0-9A-Fa-f]{1,4})(?:/(.+))?$"));
    const QRegularExpressionMatch match = usbUrl.match(text);
    if (!match.hasMatch()) {
        error = QStringLiteral("\"%1\" is not a device URL (usb://vid:pid[/serial])").arg(text);
        return false;
    }
    auto *client = new ModbusLibusbClient(m_modbuser.get());
    client->setVid(quint16(match.captured(1).toUInt(nullptr, 16)));
    client->setPid(quint16(match.captured(2).toUInt(nullptr, 16)));
    client->setSerialNumber(match.captured(3));
    client->setReadTimeout(m_timeout);
    client->setWriteTimeout(m_timeout);
    m_transport = client;
    return true;
}

bool BusSession::makeSerialTransport(const QUrl &url, QString &error)
{
    const QList<std::pair<QString, QString>> items = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
    auto client = std::make_unique<ModbusSerialClient>(m_modbuser.get());
    client->setPort(url.path());
    client->setReadTimeout(m_timeout);
    for (const auto &[name, value] : items) {
        const auto setting = std::find_if(serialSettings().cbegin(), serialSettings().cend(),
                                          [&name = name](const SerialSetting &known) { return known.name == name; });
        if (setting == serialSettings().cend()) {
            QStringList known;
            for (const SerialSetting &each : serialSettings())
                known << each.name;
            error = QStringLiteral("unknown parameter \"%1\" in %2 (known: %3)")
                        .arg(name, url.toString(), known.join(QStringLiteral(", ")));
            return false;
        }
        if (!isValidSetting(*setting, value)) {
            error = QStringLiteral("%1=%2 in %3: %1 takes %4")
                        .arg(name, value, url.toString(),
                             setting->values.isEmpty() ? QStringLiteral("a speed in bit/s")
                                                       : setting->values.join(QLatin1Char('|')));
            return false;
        }
        setting->apply(*client, value);
    }
    m_transport = client.release();
    return true;
}

bool BusSession::open(QString &error)
{
    if (!makeTransport(value(urlOption), error))
        return false;
    // A poller rides out a lost link as a QML client does; a single request just fails.
    const bool polling = isSet(intervalOption);
    m_transport->setAutoReconnect(polling);
    m_modbuser->setClientTransport(m_transport);
    m_modbuser->setDeviceAddress(quint8(value(unitOption).toInt(nullptr, 0)));
    if (polling)
        QObject::connect(m_transport, &Transport::connectedChanged, m_modbuser.get(), [this] { onConnectedChanged(); });
    m_wasConnected = m_transport->connectTransport(polling);
    if (m_wasConnected || polling)
        return true;
    error = m_transport->errorString();
    return false;
}

bool BusSession::openForClient(ModbusClient &client, QString &error)
{
    if (isSet(intervalOption)) {
        error = QStringLiteral("--interval does not apply to %1 with a range").arg(m_command);
        return false;
    }
    if (!makeTransport(value(urlOption), error))
        return false;
    client.setDeviceAddress(value(unitOption).toInt(nullptr, 0));
    client.setTransport(m_transport);
    if (m_transport->connectTransport(false))
        return true;
    error = m_transport->errorString();
    return false;
}

void BusSession::reportLinkDown()
{
    printError(m_transport->errorString() + QStringLiteral("; reconnecting"));
    m_linkReported = true;
}

void BusSession::onConnectedChanged()
{
    if (!m_transport->connected()) {
        reportLinkDown();
    } else if (m_linkReported) {
        printError(m_wasConnected ? QStringLiteral("reconnected") : QStringLiteral("connected"));
        m_linkReported = false;
    }
    m_wasConnected = m_wasConnected || m_transport->connected();
}

void BusSession::noteRequest(const ModbusPacket &request)
{
    m_request = requestPlace(request);
    m_exception.clear();
}

void BusSession::noteAnswer(const ModbusPacket &answer)
{
    if (!answer.hasException())
        return;
    m_exception = QStringLiteral("exception %1 (%2) from unit %3, function %4%5")
                      .arg(int(answer.exceptionCode()))
                      .arg(TavrexBus::exceptionCodeStr(answer.exceptionCode()))
                      .arg(answer.address())
                      .arg(int(answer.functionCode()))
                      .arg(m_request);
}

QString BusSession::failureText(const QString &error) const
{
    if (!m_exception.isEmpty() && !isSet(verboseOption))
        return QStringList{ m_command, m_positional.value(0) }.join(QLatin1Char(' ')).trimmed() + QStringLiteral(": ")
            + m_exception;
    return error.isEmpty() ? m_modbuser->errorString() : error;
}

bool BusSession::pollOnce(const std::function<bool(QString &error)> &poll)
{
    QString error;
    m_exception.clear();
    if (poll(error))
        return true;
    printError(failureText(error));
    return false;
}

int BusSession::run(const std::function<bool(QString &error)> &poll)
{
    if (!isSet(intervalOption))
        return pollOnce(poll) ? 0 : 1;
    if (!m_transport->connected())
        reportLinkDown();
    const int repeat = value(repeatOption).toInt();
    int round = 0;
    int status = 0;
    QTimer timer;
    timer.setInterval(value(intervalOption).toInt());
    const auto tick = [&] {
        if (repeat != 0 && round >= repeat)
            return;
        // While the link is down its loss has been reported once; the round only counts as failed.
        if (!m_transport->connected() || !pollOnce(poll))
            status = 1;
        if (repeat != 0 && ++round >= repeat) {
            timer.stop();
            QCoreApplication::exit(status);
        }
    };
    QObject::connect(&timer, &QTimer::timeout, tick);
    timer.start();
    QTimer::singleShot(0, tick);
    QCoreApplication::exec();
    return status;
}
