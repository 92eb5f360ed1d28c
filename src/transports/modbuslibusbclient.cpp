#include "modbuslibusbclient.h"

#include "threadcall_p.h"
#include "usbbulkdevice.h"
#include "usbsession_p.h"

namespace {

// One bulk transfer holds any RTU frame, and an event poll takes what the device has queued.
constexpr int MaxTransfer = 512;
constexpr int UsbInterface = 0;
constexpr int UsbConfiguration = 1;
// Long enough for libusb to reap what the device already holds, short enough not to delay a request.
constexpr int PollTimeout = 1;

} // namespace

ModbusLibusbClient::ModbusLibusbClient(QObject *parent)
    : ModbusTransport(TavrexBus::ClientBus, parent, true)
    , m_device(new UsbBulkDevice(this))
{
}

ModbusLibusbClient::~ModbusLibusbClient()
{
    stopEventReader();
    const std::lock_guard locker(*mutex());
    m_device->close(true);
}

quint16 ModbusLibusbClient::vid() const
{
    return m_vid;
}

void ModbusLibusbClient::setVid(quint16 vid)
{
    if (m_vid == vid)
        return;
    m_vid = vid;
    emit vidChanged(vid);
}

quint16 ModbusLibusbClient::pid() const
{
    return m_pid;
}

void ModbusLibusbClient::setPid(quint16 pid)
{
    if (m_pid == pid)
        return;
    m_pid = pid;
    emit pidChanged(pid);
}

QString ModbusLibusbClient::serialNumber() const
{
    return m_serialNumber;
}

void ModbusLibusbClient::setSerialNumber(const QString &serialNumber)
{
    if (m_serialNumber == serialNumber)
        return;
    m_serialNumber = serialNumber;
    emit serialNumberChanged(serialNumber);
}

bool ModbusLibusbClient::strictSerialNumber() const
{
    return m_strictSerialNumber;
}

void ModbusLibusbClient::setStrictSerialNumber(bool strict)
{
    if (m_strictSerialNumber == strict)
        return;
    m_strictSerialNumber = strict;
    emit strictSerialNumberChanged(strict);
}

int ModbusLibusbClient::readTimeout() const
{
    return m_readTimeout;
}

void ModbusLibusbClient::setReadTimeout(int msecs)
{
    if (m_readTimeout == msecs)
        return;
    m_readTimeout = msecs;
    emit readTimeoutChanged(msecs);
}

int ModbusLibusbClient::writeTimeout() const
{
    return m_writeTimeout;
}

void ModbusLibusbClient::setWriteTimeout(int msecs)
{
    if (m_writeTimeout == msecs)
        return;
    m_writeTimeout = msecs;
    emit writeTimeoutChanged(msecs);
}

ModbusTarget *ModbusLibusbClient::target()
{
    return &m_target;
}

Target *ModbusLibusbClient::clientTarget()
{
    return &m_target;
}

int ModbusLibusbClient::bytesAvailable(const Target *target)
{
    checkCanCountBytes(target);
    return 0;
}

bool ModbusLibusbClient::sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                                   QString *error)
{
    std::unique_lock locker(*mutex());
    if (!checkCanSendBytes(target, error))
        return false;
    if (!m_device->selectInterface(UsbInterface)) {
        setErrorString(tr("error attach interface: %1").arg(m_device->errorText()), error);
        dropLink();
        return false;
    }
    // A late or partly read answer to an earlier request must not pass for the answer to this one.
    m_device->bulkRead(MaxTransfer, m_readEndpoint, PollTimeout);
    if (m_device->bulkWrite(bytes, m_writeEndpoint, m_writeTimeout) < 0) {
        setErrorString(tr("error write data"), error);
        dropLink();
        return false;
    }
    if (!answer)
        return true;
    const QByteArray reply = m_device->bulkRead(MaxTransfer, m_readEndpoint, m_readTimeout);
    if (reply.isEmpty()) {
        qCDebug(lcUsb) << "no answer:" << m_device->errorText();
        setErrorString(tr("received 0 bytes answer"), error);
        // Unplugged while the answer was awaited: closed now, reopened when the device is back.
        if (m_device->deviceLost())
            dropLink();
        return false;
    }
    *answer = ModbusBytes(reply);
    locker.unlock();
    emit bytesReceived(*answer, target);
    return true;
}

QString ModbusLibusbClient::toString(bool oneLine) const
{
    return describe(QStringLiteral("Modbus Libusb client"),
                    QStringLiteral("target: %1\ntimeouts:  (read answer: %2; write: %3)\n")
                        .arg(m_target.toString(oneLine))
                        .arg(readTimeout())
                        .arg(writeTimeout()),
                    oneLine);
}

bool ModbusLibusbClient::connectTransportInternal()
{
    const std::lock_guard locker(*mutex());
    QString serial = m_serialNumber;
    bool opened = m_device->open(m_vid, m_pid, UsbConfiguration, serial);
    if (!opened && !m_strictSerialNumber && !m_serialNumber.isEmpty()) {
        serial.clear();
        opened = m_device->open(m_vid, m_pid, UsbConfiguration, serial);
        if (opened)
            setSerialNumber(serial);
    }
    if (!opened) {
        setConnectError(tr("error opening usb device: %1").arg(m_device->errorText()));
        return false;
    }
    const QList<quint8> in = m_device->inEndpoints(UsbInterface);
    const QList<quint8> out = m_device->outEndpoints(UsbInterface);
    m_readEndpoint = in.value(0);
    m_eventEndpoint = in.value(1);
    m_writeEndpoint = out.value(0);
    return true;
}

bool ModbusLibusbClient::disconnectTransportInternal()
{
    const std::lock_guard locker(*mutex());
    m_device->close(true);
    return true;
}

bool ModbusLibusbClient::readEventBytes(ModbusBytes &bytes, QString *error)
{
    const std::lock_guard locker(*mutex());
    if (!connected()) {
        setErrorString(tr("can't receive events via disconnected transport"), error);
        return false;
    }
    if (!m_device->selectInterface(UsbInterface)) {
        setErrorString(tr("error while events reading: attach interface: %1").arg(m_device->errorText()), error);
        return false;
    }
    // A device with a single IN endpoint has no event endpoint: nothing to read.
    if (m_eventEndpoint == 0)
        return false;
    const QByteArray data = m_device->bulkRead(MaxTransfer, m_eventEndpoint, PollTimeout);
    if (data.isEmpty())
        return false;
    bytes.append(data);
    return true;
}

void ModbusLibusbClient::dropLink()
{
    // Closing and reopening are the owner thread's business; from the request thread they are queued.
    if (QThread::currentThread() == thread())
        autoDisconnect();
    else
        postToOwnerThread(this, [this] { autoDisconnect(); });
}
