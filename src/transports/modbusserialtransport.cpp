#include "modbusserialtransport.h"

#include "modbusparser.h"
#include "qserialportinvokable.h"
#include "tavrexbuslogging_p.h"
#include "threadcall_p.h"

#include <QtCore/QThread>
#include <QtSerialPort/QSerialPortInfo>

namespace {

QString firstAvailablePort()
{
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    return ports.isEmpty() ? QString() : ports.first().portName();
}

} // namespace

ModbusSerialTransport::ModbusSerialTransport(TavrexBus::BusType busType, QObject *parent)
    : ModbusTransport(busType, parent, false)
    , m_port(firstAvailablePort())
    , m_portThread(new QThread(this))
{
    m_portThread->setObjectName(QStringLiteral("Serial port thread"));
    m_serialPort = new QSerialPortInvokable(m_port);
    m_serialPort->moveToThread(m_portThread);
    connect(m_portThread, &QThread::finished, m_serialPort, &QObject::deleteLater);
    m_portThread->start(QThread::HighPriority);

    connect(m_serialPort, &QSerialPortInvokable::portLost, this, &ModbusSerialTransport::onPortLost);
    m_parser = createParser(this);
    if (busType == TavrexBus::ServerBus) {
        connect(m_serialPort, &QSerialPortInvokable::readyRead, this, &ModbusSerialTransport::onReadyRead);
        m_frameEndTimer = new QTimer(this);
        m_frameEndTimer->setSingleShot(true);
        connect(m_frameEndTimer, &QTimer::timeout, this, &ModbusSerialTransport::onFrameGap);
    }
    calcDelays();
    m_sendTimer.start();
}

ModbusSerialTransport::~ModbusSerialTransport()
{
    withdraw();
    m_serialPort->close();
    m_portThread->quit();
    m_portThread->wait();
}

QString ModbusSerialTransport::dataBitsStr(int value)
{
    switch (value) {
    case Data5:
    case Data6:
    case Data7:
    case Data8:
        return QString::number(value);
    default:
        return QStringLiteral("?");
    }
}

QString ModbusSerialTransport::parityStr(int value)
{
    switch (value) {
    case NoParity: return QStringLiteral("None");
    case EvenParity: return QStringLiteral("Even");
    case OddParity: return QStringLiteral("Odd");
    case SpaceParity: return QStringLiteral("Space");
    case MarkParity: return QStringLiteral("Mark");
    default: return QStringLiteral("?");
    }
}

QString ModbusSerialTransport::stopBItsStr(int value)
{
    switch (value) {
    case OneStop: return QStringLiteral("1");
    case OneAndHalfStop: return QStringLiteral("1.5");
    case TwoStop: return QStringLiteral("2");
    default: return QStringLiteral("?");
    }
}

QString ModbusSerialTransport::flowControlStr(int value)
{
    switch (value) {
    case NoFlowControl: return QStringLiteral("None");
    case HardwareControl: return QStringLiteral("RTS/CTS");
    case SoftwareControl: return QStringLiteral("XON/XOFF");
    default: return QStringLiteral("?");
    }
}

QString ModbusSerialTransport::port() const
{
    return m_port;
}

void ModbusSerialTransport::setPort(const QString &port)
{
    if (!checkValidThread() || m_port == port)
        return;
    m_port = port;
    m_serialPort->setPortName(port);
    emit portChanged();
}

int ModbusSerialTransport::baudRate() const
{
    return m_baudRate;
}

void ModbusSerialTransport::setBaudRate(int baudRate)
{
    if (!checkValidThread() || baudRate <= 0 || m_baudRate == baudRate)
        return;
    m_baudRate = baudRate;
    calcDelays();
    lineSettingChanged();
    emit baudRateChanged();
}

ModbusSerialTransport::DataBits ModbusSerialTransport::dataBits() const
{
    return m_dataBits;
}

void ModbusSerialTransport::setDataBits(DataBits dataBits)
{
    if (!checkValidThread() || m_dataBits == dataBits)
        return;
    m_dataBits = dataBits;
    lineSettingChanged();
    emit dataBitsChanged();
}

ModbusSerialTransport::Parity ModbusSerialTransport::parity() const
{
    return m_parity;
}

void ModbusSerialTransport::setParity(Parity parity)
{
    if (!checkValidThread() || m_parity == parity)
        return;
    m_parity = parity;
    calcDelays();
    lineSettingChanged();
    emit parityChanged();
}

ModbusSerialTransport::StopBits ModbusSerialTransport::stopBits() const
{
    return m_stopBits;
}

void ModbusSerialTransport::setStopBits(StopBits stopBits)
{
    if (!checkValidThread() || m_stopBits == stopBits)
        return;
    m_stopBits = stopBits;
    lineSettingChanged();
    emit stopBitsChanged();
}

ModbusSerialTransport::FlowControl ModbusSerialTransport::flowControl() const
{
    return m_flowControl;
}

void ModbusSerialTransport::setFlowControl(FlowControl flowControl)
{
    if (!checkValidThread() || m_flowControl == flowControl)
        return;
    m_flowControl = flowControl;
    lineSettingChanged();
    emit flowControlChanged();
}

bool ModbusSerialTransport::dtr() const
{
    return m_dtr;
}

void ModbusSerialTransport::setDtr(bool dtr)
{
    if (!checkValidThread() || m_dtr == dtr)
        return;
    m_dtr = dtr;
    lineSettingChanged();
    emit dtrChanged();
}

bool ModbusSerialTransport::rts() const
{
    return m_rts;
}

void ModbusSerialTransport::setRts(bool rts)
{
    if (m_rts == rts)
        return;
    m_rts = rts;
    if (connected() && !m_serialPort->setRts(rts))
        setErrorString(tr("can't set 'rts' property to: %1").arg(int(rts)));
    emit rtsChanged();
}

int ModbusSerialTransport::readTimeout() const
{
    return m_readTimeout;
}

void ModbusSerialTransport::setReadTimeout(int msecs)
{
    if (!checkValidThread() || m_readTimeout == msecs)
        return;
    m_readTimeout = msecs;
    emit readTimeoutChanged();
    if (m_guardTime < 0)
        emit guardTimeChanged(msecs);
}

int ModbusSerialTransport::writeTimeout() const
{
    return m_writeTimeout;
}

void ModbusSerialTransport::setWriteTimeout(int msecs)
{
    if (m_writeTimeout == msecs)
        return;
    m_writeTimeout = msecs;
    emit writeTimeoutChanged();
}

int ModbusSerialTransport::byteTimeout() const
{
    return m_byteTimeout;
}

void ModbusSerialTransport::setByteTimeout(int msecs)
{
    m_byteTimeoutSet = true;
    msecs = qMax(1, msecs);
    if (m_byteTimeout == msecs)
        return;
    m_byteTimeout = msecs;
    emit byteTimeoutChanged();
}

bool ModbusSerialTransport::controlRts() const
{
    return m_controlRts;
}

void ModbusSerialTransport::setControlRts(bool value)
{
    if (m_controlRts == value)
        return;
    m_controlRts = value;
    calcDelays();
    emit controlRtsChanged(value);
}

int ModbusSerialTransport::sendDelay() const
{
    return m_sendDelay;
}

void ModbusSerialTransport::setSendDelay(int msecs)
{
    if (m_sendDelay == msecs)
        return;
    m_sendDelay = msecs;
    emit sendDelayChanged(msecs);
}

int ModbusSerialTransport::rtsDelay() const
{
    return m_rtsDelay;
}

void ModbusSerialTransport::setRtsDelay(int msecs)
{
    m_rtsDelaySet = true;
    msecs = qMax(1, msecs);
    if (m_rtsDelay == msecs)
        return;
    m_rtsDelay = msecs;
    emit rtsDelayChanged(msecs);
}

int ModbusSerialTransport::guardTime() const
{
    return m_guardTime < 0 ? m_readTimeout : m_guardTime;
}

void ModbusSerialTransport::setGuardTime(int msecs)
{
    const int before = guardTime();
    m_guardTime = qMax(-1, msecs);
    if (guardTime() != before)
        emit guardTimeChanged(guardTime());
}

void ModbusSerialTransport::resetGuardTime()
{
    setGuardTime(-1);
}

int ModbusSerialTransport::minRtsDelay() const
{
    return m_minRtsDelay;
}

int ModbusSerialTransport::computedByteTimeout() const
{
    return m_computedByteTimeout;
}

ModbusTarget *ModbusSerialTransport::target()
{
    return &m_target;
}

Target *ModbusSerialTransport::clientTarget()
{
    return &m_target;
}

int ModbusSerialTransport::targetsCount() const
{
    return 1;
}

int ModbusSerialTransport::bytesAvailable(const Target *target)
{
    const std::lock_guard locker(m_sendMutex);
    return checkCanCountBytes(target) ? int(m_serialPort->bytesAvailable()) : 0;
}

bool ModbusSerialTransport::sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                                      QString *error)
{
    const std::lock_guard locker(m_sendMutex);
    // Slow devices need a breath between the end of one answer and the next request.
    if (!m_firstSend) {
        const qint64 remaining = m_sendDelay - m_sendTimer.elapsed();
        if (remaining > 0)
            QThread::msleep(static_cast<unsigned long>(remaining));
    }
    if (!checkCanSendBytes(target, error))
        return false;
    if (answer)
        keepGuard();
    const QSerialPortInvokable::Exchange exchange =
        m_serialPort->exchange(bytes, answer ? m_readTimeout : -1, m_byteTimeout, m_controlRts, m_rtsDelay);
    m_firstSend = false;
    if (exchange.rtsRefused)
        setErrorString(tr("can't set 'rts' property to: %1").arg(1));
    if (!exchange.lostError.isEmpty()) {
        setErrorString(tr("serial port %1 lost: %2").arg(m_port, exchange.lostError), error);
        postToOwnerThread(this, [this] { autoDisconnect(); });
        return false;
    }
    if (!answer)
        return true;
    *answer = ModbusBytes(exchange.answer);
    m_sendTimer.restart();
    if (answer->emptyOrZero()) {
        m_guardTimer.start();
        setErrorString(tr("read timeout"), error);
        return false;
    }
    emit bytesReceived(*answer, target);
    return true;
}

QString ModbusSerialTransport::toString(bool oneLine) const
{
    QString text = QStringLiteral("port: %1\n").arg(m_port);
    text += QStringLiteral("rate: %1\n").arg(m_baudRate);
    text += QStringLiteral("parity: %1\n").arg(parityStr(m_parity));
    text += QStringLiteral("data bits: %1\n").arg(dataBitsStr(m_dataBits));
    text += QStringLiteral("stop bits: %1\n").arg(stopBItsStr(m_stopBits));
    text += QStringLiteral("flow control: %1\n").arg(flowControlStr(m_flowControl));
    text += QStringLiteral("DTR: %1\n").arg(int(m_dtr));
    text += QStringLiteral("RTS: %1\n").arg(int(m_rts));
    text += QStringLiteral("target: %1\n").arg(m_target.toString(true));
    text += QStringLiteral("timeouts:  (read: %1; write: %2)\n").arg(m_readTimeout).arg(m_writeTimeout);
    const bool client = busType() == TavrexBus::ClientBus;
    return describe(client ? QStringLiteral("Modbus Serial Client") : QStringLiteral("Modbus Serial Server"), text,
                    oneLine);
}

// Unlike a network peer's, every failed open is told, also while reconnecting: the port's own
// text says whether it is missing, busy or forbidden, and that changes as adapters come and go.
bool ModbusSerialTransport::connectTransportInternal()
{
    if (!m_serialPort->open(QIODevice::ReadWrite)) {
        setErrorString(tr("error opening serial port %1: %2").arg(m_port, m_serialPort->errString()));
        return false;
    }
    if (!applyOptions()) {
        m_serialPort->close();
        return false;
    }
    m_requestBuffer.clear();
    m_firstSend = true;
    m_guardTimer.invalidate();
    return true;
}

bool ModbusSerialTransport::disconnectTransportInternal()
{
    m_serialPort->close();
    return true;
}

void ModbusSerialTransport::onReadyRead()
{
    if (!m_requestBuffer.isEmpty() && m_gapTimer.isValid() && m_gapTimer.elapsed() > m_byteTimeout)
        m_requestBuffer.clear();
    m_requestBuffer.append(m_serialPort->readAll());
    if (m_requestBuffer.isEmpty())
        return;
    if (!m_parser->canParse(m_requestBuffer, TavrexBus::Request)) {
        if (m_requestBuffer.size() > m_parser->maxFrameSize())
            m_requestBuffer.clear();
        m_gapTimer.restart();
        m_lastReceiveTime = QDateTime::currentDateTime();
        m_frameEndTimer->start(m_byteTimeout);
        return;
    }
    serveRequest();
}

// A frame the parser cannot size (an unsupported function) still ends with the line's silence;
// with a sound envelope it is served, so that the master hears "illegal function" instead of nothing.
void ModbusSerialTransport::onFrameGap()
{
    if (m_parser->unwrapFrame(m_requestBuffer))
        serveRequest();
}

void ModbusSerialTransport::serveRequest()
{
    m_frameEndTimer->stop();
    const ModbusBytes request = m_requestBuffer;
    m_requestBuffer.clear();
    emit bytesReceived(request, &m_target);
    ModbusBytes answer;
    emit requestBytesReceived(request, &m_target, &answer);
    if (!answer.isEmpty())
        sendBytes(answer, &m_target, nullptr, nullptr);
}

SerialPortOptions ModbusSerialTransport::options() const
{
    SerialPortOptions options;
    options.baudRate = m_baudRate;
    options.dataBits = m_dataBits;
    options.parity = m_parity;
    options.stopBits = m_stopBits;
    options.flowControl = m_flowControl;
    options.dtr = m_dtr;
    return options;
}

bool ModbusSerialTransport::applyOptions()
{
    const SerialPortOptions settings = options();
    QString errors;
    if (!m_serialPort->setLineOptions(settings, &errors)) {
        setErrorString(errors);
        return false;
    }
    // A port without modem lines still carries frames; it is only told once.
    if (!m_serialPort->setDtr(settings.dtr, &errors))
        setErrorString(errors);
    return true;
}

void ModbusSerialTransport::lineSettingChanged()
{
    if (connected())
        applyOptions();
}

void ModbusSerialTransport::calcDelays()
{
    m_computedByteTimeout = int(2 * (35000.0 / m_baudRate) + 1.5 + 0.5);
    const int minRtsDelay = 10000 / m_baudRate + 2;
    if (m_baudRate <= 55999)
        m_computedByteTimeout *= 4;
    if (m_minRtsDelay != minRtsDelay) {
        m_minRtsDelay = minRtsDelay;
        emit minRtsDelayChanged(minRtsDelay);
    }
    const int byteTimeout = qMax(1, m_computedByteTimeout);
    if (!m_byteTimeoutSet && m_byteTimeout != byteTimeout) {
        m_byteTimeout = byteTimeout;
        emit byteTimeoutChanged();
    }
    const int rtsDelay = qMax(1, m_minRtsDelay);
    if (!m_rtsDelaySet && m_rtsDelay != rtsDelay) {
        m_rtsDelay = rtsDelay;
        emit rtsDelayChanged(rtsDelay);
    }
}

void ModbusSerialTransport::keepGuard()
{
    if (!m_guardTimer.isValid())
        return;
    const qint64 remaining = guardTime() - m_guardTimer.elapsed();
    m_guardTimer.invalidate();
    if (remaining <= 0)
        return;
    const qint64 dropped = m_serialPort->discardInput(int(remaining), m_byteTimeout);
    if (dropped > 0)
        qCDebug(lcSerial) << port() << "dropped" << dropped << "bytes that came after a read timeout";
}

void ModbusSerialTransport::onPortLost(const QString &message)
{
    setErrorString(tr("serial port %1 lost: %2").arg(m_port, message));
    autoDisconnect();
}
