#include "qserialportinvokable.h"

#include "threadcall_p.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QThread>

#include <type_traits>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace {

template <typename Object, typename F>
auto onObjectThread(Object *object, F f, QString *error = nullptr)
{
    if constexpr (std::is_void_v<decltype(f())>)
        callOnOwnerThread(object, f, error);
    else
        return resultOnOwnerThread(object, f, error);
}

} // namespace

QSerialPortInvokable::QSerialPortInvokable(const QString &portName, QObject *parent)
    : QObject(parent)
    , m_port(new QSerialPort(portName, this))
{
    connect(m_port, &QSerialPort::readyRead, this, &QSerialPortInvokable::readyRead);
    connect(m_port, &QSerialPort::errorOccurred, this, &QSerialPortInvokable::onErrorOccurred);
}

void QSerialPortInvokable::setPortName(const QString &name)
{
    onObjectThread(this, [=] { m_port->setPortName(name); });
}

qint64 QSerialPortInvokable::write(const QByteArray &data)
{
    return onObjectThread(this, [=] { return m_port->isOpen() ? m_port->write(data) : qint64(0); });
}

bool QSerialPortInvokable::waitForBytesWritten(int msecs)
{
    return onObjectThread(this, [=] { return m_port->isOpen() && m_port->waitForBytesWritten(msecs); });
}

bool QSerialPortInvokable::waitForReadyRead(int msecs)
{
    return onObjectThread(this, [=] { return m_port->isOpen() && m_port->waitForReadyRead(msecs); });
}

QByteArray QSerialPortInvokable::readAll()
{
    return onObjectThread(this, [=] { return m_port->isOpen() ? m_port->readAll() : QByteArray(); });
}

bool QSerialPortInvokable::open(QIODevice::OpenMode mode)
{
    return onObjectThread(this, [=] {
        m_modemLinesUsable = true;
        return m_port->open(mode);
    });
}

void QSerialPortInvokable::close()
{
    onObjectThread(this, [=] {
        if (m_port->isOpen())
            m_port->close();
    });
}

void QSerialPortInvokable::clearInput()
{
    onObjectThread(this, [=] {
        if (m_port->isOpen())
            dropPendingInput();
    });
}

// A port that cannot be reached tells why.
QString QSerialPortInvokable::errString()
{
    QString text;
    callOnOwnerThread(this, [&] { text = m_port->errorString(); }, &text);
    return text;
}

bool QSerialPortInvokable::setOptions(const SerialPortOptions &options, QString *returnErrorString)
{
    QString lineErrors;
    QString dtrError;
    const bool linesOk = setLineOptions(options, &lineErrors);
    const bool dtrOk = setDtr(options.dtr, &dtrError);
    if (returnErrorString)
        *returnErrorString = lineErrors + dtrError;
    return linesOk && dtrOk;
}

bool QSerialPortInvokable::setOptions(const SerialPortOptions &options)
{
    return setOptions(options, nullptr);
}

bool QSerialPortInvokable::rts()
{
    return onObjectThread(this, [=] { return m_port->isOpen() && m_port->isRequestToSend(); });
}

bool QSerialPortInvokable::setRts(bool value)
{
    return onObjectThread(this, [=] { return setModemLine(&QSerialPort::setRequestToSend, value); });
}

qint64 QSerialPortInvokable::bytesAvailable()
{
    return onObjectThread(this, [=] { return m_port->isOpen() ? m_port->bytesAvailable() : qint64(0); });
}

QByteArray QSerialPortInvokable::writeAndRead(const QByteArray &data, int readTimeout, int byteTimeout,
                                              bool controlRts, int rtsDelay)
{
    return exchange(data, readTimeout, byteTimeout, controlRts, rtsDelay).answer;
}

bool QSerialPortInvokable::setLineOptions(const SerialPortOptions &options, QString *returnErrorString)
{
    return onObjectThread(this, [=] {
        QString errors;
        const auto check = [&errors](bool ok, const char *name, int value) {
            if (!ok)
                errors += tr("can't set '%1' property to: %2").arg(QLatin1String(name)).arg(value) + u'\n';
        };
        check(m_port->setBaudRate(options.baudRate, QSerialPort::AllDirections), "baudRate", options.baudRate);
        check(m_port->setDataBits(QSerialPort::DataBits(options.dataBits)), "dataBits", options.dataBits);
        check(m_port->setParity(QSerialPort::Parity(options.parity)), "parity", options.parity);
        check(m_port->setStopBits(QSerialPort::StopBits(options.stopBits)), "stopBits", options.stopBits);
        check(m_port->setFlowControl(QSerialPort::FlowControl(options.flowControl)), "flowControl",
              options.flowControl);
        if (returnErrorString)
            *returnErrorString = errors;
        return errors.isEmpty();
    });
}

bool QSerialPortInvokable::setDtr(bool value, QString *returnErrorString)
{
    const bool ok =
        onObjectThread(this, [=] { return setModemLine(&QSerialPort::setDataTerminalReady, value); });
    if (returnErrorString)
        *returnErrorString = ok ? QString() : tr("can't set 'dtr' property to: %1").arg(int(value)) + u'\n';
    return ok;
}

qint64 QSerialPortInvokable::discardInput(int msecs, int quietMsecs)
{
    return onObjectThread(this, [=] {
        qint64 dropped = 0;
        if (!m_port->isOpen())
            return dropped;
        dropped += m_port->readAll().size();
        const QDeadlineTimer guard(msecs);
        while (!guard.hasExpired() && m_port->waitForReadyRead(int(guard.remainingTime())))
            dropped += m_port->readAll().size();
        // An answer still coming in when the guard ends is dropped whole.
        const QDeadlineTimer limit(msecs);
        while (!limit.hasExpired() && m_port->waitForReadyRead(quietMsecs))
            dropped += m_port->readAll().size();
        return dropped;
    });
}

QSerialPortInvokable::Exchange QSerialPortInvokable::exchange(const QByteArray &data, int readTimeout,
                                                              int byteTimeout, bool controlRts, int rtsDelay)
{
    QString unreachable;
    Exchange exchanged = onObjectThread(this, [=] {
        Exchange result;
        if (!m_port->isOpen())
            return result;
        m_port->clearError();
        if (readTimeout >= 0)
            dropPendingInput();
        bool driveRts = controlRts && m_modemLinesUsable;
        if (driveRts && !setModemLine(&QSerialPort::setRequestToSend, true)) {
            result.rtsRefused = true;
            driveRts = false;
        }
        m_port->write(data);
        while (m_port->bytesToWrite() > 0 && m_port->waitForBytesWritten(-1)) {
        }
        if (driveRts) {
            QThread::msleep(rtsDelay);
            setModemLine(&QSerialPort::setRequestToSend, false);
        }
        // A server's answer expects nothing back: what comes in now is the next request.
        if (readTimeout < 0)
            return result;
        // Bytes may already have come in while the frame was being written.
        if (m_port->bytesAvailable() > 0 || m_port->waitForReadyRead(readTimeout)) {
            while (m_port->waitForReadyRead(byteTimeout)) {
            }
        }
        result.answer = m_port->readAll();
        if (m_port->error() == QSerialPort::ResourceError)
            result.lostError = m_port->errorString();
        else if (result.answer.isEmpty() && hungUp())
            result.lostError = tr("the device has hung up");
        return result;
    }, &unreachable);
    if (!unreachable.isEmpty())
        exchanged.lostError = unreachable;
    return exchanged;
}

QSerialPort *QSerialPortInvokable::innerSerialPort()
{
    return m_port;
}

void QSerialPortInvokable::onErrorOccurred(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::ResourceError && m_port->isOpen())
        emit portLost(m_port->errorString());
}

void QSerialPortInvokable::dropPendingInput()
{
    m_port->clear(QSerialPort::Input);
    m_port->readAll();
}

bool QSerialPortInvokable::hungUp() const
{
#ifdef Q_OS_UNIX
    pollfd fd{int(m_port->handle()), POLLIN, 0};
    return ::poll(&fd, 1, 0) > 0 && (fd.revents & POLLHUP);
#else
    return false;
#endif
}

bool QSerialPortInvokable::setModemLine(bool (QSerialPort::*setter)(bool), bool value)
{
    if (!m_port->isOpen() || !m_modemLinesUsable)
        return true;
    if ((m_port->*setter)(value))
        return true;
    m_modemLinesUsable = false;
    return false;
}
