#include "linkcheck.h"

#include <TavrexBus1/modbusclient.h>
#include <TavrexBus1/modbuscustombytes.h>
#include <TavrexBus1/modbusdouble.h>
#include <TavrexBus1/modbusfloat.h>
#include <TavrexBus1/modbusitemaddressedbase.h>
#include <TavrexBus1/modbustransport.h>

#include <algorithm>
#include <utility>

namespace {

// Writes follow each other with a breath between, so that polling goes on beside them.
constexpr int WritePause = 20;
constexpr int MaxSurprises = 10;

const QString ExchangeFailed = QStringLiteral("error sending/receiving bytes: ");

// Messages of an answer that came but was broken or did not fit the request.
bool isFramingMessage(const QString &message)
{
    static const QStringList starts
        = { QStringLiteral("ModbusRTUParser parse error: "), QStringLiteral("ModbusTCPParser parse error: "),
            QStringLiteral("can't find needed parser for bytes: "),
            QStringLiteral("received answer that doesn't belong to the request: "),
            QStringLiteral("received registers count ") };
    return std::any_of(starts.cbegin(), starts.cend(), [&](const QString &start) { return message.startsWith(start); });
}

} // namespace

LinkCheck::LinkCheck(const QString &name, ModbusTransport &link, ModbusClient &client, ModbusCustomBytes &writer,
                     const QList<ModbusItemAddressedBase *> &items, quint32 seed, QObject *parent)
    : QObject(parent)
    , m_name(name)
    , m_writer(writer)
    , m_items(items)
    , m_random(seed)
{
    connect(&client, &ErrObject::error, this, &LinkCheck::onClientError);
    connect(&link, &Transport::bytesReceived, this, [this] {
        ++m_figures.exchanges;
        emit activity();
    });
    connect(&link, &Transport::transportDisconnected, this, [this] {
        ++m_figures.linksLost;
        m_reconnecting = true;
    });
    connect(&link, &Transport::transportConnected, this, [this] { m_reconnecting = false; });
    connect(&writer, &ModbusItemBase::afterWrite, this, &LinkCheck::onWritten);
    connect(&writer, &ErrObject::error, this, &LinkCheck::onWriteFailed);
    for (int i = 0; i < items.size(); ++i) {
        m_expected.append({ ModbusBytes(QByteArray(items.at(i)->requestModbusBytesCount(), '\0')), {}, {}, false });
        connect(items.at(i), &ModbusItemBase::afterRead, this, [this, i] { onRead(i); });
    }
    m_writeTimer.setSingleShot(true);
    m_writeTimer.setInterval(WritePause);
    connect(&m_writeTimer, &QTimer::timeout, this, &LinkCheck::writeNext);
}

void LinkCheck::setWriting(bool on)
{
    m_writingOn = on;
    if (on && m_writing < 0)
        m_writeTimer.start();
}

QString LinkCheck::failureName(Failure failure)
{
    static const char *const names[] = { "timeout", "framing", "exception", "closed", "while reconnecting", "other" };
    return QLatin1String(names[failure]);
}

// Every failed exchange reaches the client's error once; what it says tells its kind, and whether
// an answer came at all (an exchange that got one was counted when it came). The link's own notices
// (a lost connection, modem lines a pseudo-terminal lacks) are no failures.
void LinkCheck::onClientError(const QString &message)
{
    emit activity();
    // An empty message clears the error before the next task.
    if (message.isEmpty() || message.startsWith(QLatin1String("socket has been disconnected: "))
        || message.startsWith(QLatin1String("can't set '")))
        return;
    Failure failure = Other;
    bool answered = true;
    if (message.startsWith(ExchangeFailed)) {
        const QString why = message.mid(ExchangeFailed.size());
        answered = false;
        if (why.startsWith(QLatin1String("ModbusTCPParser parse error: ")))
            failure = Framing;
        else if (why == QLatin1String("Network operation timed out"))
            failure = Timeout;
        else if (why.contains(QLatin1String("closed")))
            failure = Closed;
        else if (m_reconnecting)
            failure = Reconnecting;
    } else if (message == QLatin1String("read timeout")) {
        answered = false;
        failure = Timeout;
    } else if (message.startsWith(QLatin1String("can't send bytes via disconnected transport"))) {
        // Sends start once the links are up, so this tells of a link lost (it may come in just
        // after the link is back).
        answered = false;
        failure = Reconnecting;
    } else if (isFramingMessage(message)) {
        failure = Framing;
    } else if (message.startsWith(QLatin1String("received exception packet: "))) {
        failure = Exception;
    }
    // The connection is gone before the link has noticed: what fails until it is back is its doing.
    m_reconnecting = m_reconnecting || failure == Closed;
    if (failure == Other)
        surprise(message);
    ++m_figures.failures[failure];
    m_figures.exchanges += !answered;
    m_failing = true;
}

void LinkCheck::succeeded()
{
    ++m_figures.successes;
    m_figures.recoveries += m_failing;
    m_failing = false;
    emit activity();
}

void LinkCheck::surprise(const QString &message)
{
    if (m_figures.surprises.size() < MaxSurprises)
        m_figures.surprises << message;
}

// A read shows what the device holds once the read ran: results come back in the order the
// requests went out, so every read delivered after a write's result ran after that write.
void LinkCheck::onRead(int index)
{
    const ModbusItemAddressedBase &item = *m_items.at(index);
    const ModbusBytes actual = item.getModbusBytes().toModbusBytes();
    Expected &expected = m_expected[index];
    if (actual != expected.value && !expected.perhaps.contains(actual)) {
        const bool lost = expected.written && actual == expected.before;
        ++(lost ? m_figures.lostWrites : m_figures.wrongValues);
        surprise(QStringLiteral("%1 register %2 reads %3, not %4%5")
                     .arg(m_name)
                     .arg(item.address())
                     .arg(QString::fromLatin1(actual.toHex(' ')), QString::fromLatin1(expected.value.toHex(' ')),
                          lost ? QStringLiteral(" written with success") : QString()));
    }
    if (actual != expected.value) {
        expected.value = actual;
        expected.written = false;
    }
    expected.perhaps.clear();
    succeeded();
}

void LinkCheck::writeNext()
{
    if (!m_writingOn || m_writing >= 0 || m_items.isEmpty())
        return;
    const int index = int(m_random.bounded(quint32(m_items.size())));
    m_written = randomValue(*m_items.at(index));
    m_writing = index;
    m_writer.setAddress(m_items.at(index)->address());
    m_writer.setItemSize(int(m_written.size()));
    if (!m_writer.write(m_written)) {
        surprise(QStringLiteral("%1 writer refused a write: %2").arg(m_name, m_writer.errorString()));
        m_writing = -1;
        m_writeTimer.start();
    }
}

void LinkCheck::onWritten()
{
    if (m_writing < 0)
        return;
    Expected &expected = m_expected[std::exchange(m_writing, -1)];
    expected.before = expected.value;
    expected.value = m_written;
    expected.perhaps.clear();
    expected.written = true;
    ++m_figures.writes;
    succeeded();
    setWriting(m_writingOn);
}

// A refused write (an exception answer) was not carried out; any other failed one perhaps was.
void LinkCheck::onWriteFailed(const QString &message)
{
    if (m_writing < 0 || message.isEmpty())
        return;
    Expected &expected = m_expected[std::exchange(m_writing, -1)];
    if (!message.startsWith(QLatin1String("received exception packet: ")))
        expected.perhaps.append(m_written);
    ++m_figures.writes;
    ++m_figures.failedWrites;
    setWriting(m_writingOn);
}

// Values that every item kind gives back byte for byte: finite floating point numbers, any
// bytes for the others.
ModbusBytes LinkCheck::randomValue(const ModbusItemAddressedBase &item)
{
    const double number = (double(m_random.bounded(2000001)) - 1000000.0) / 64.0;
    if (qobject_cast<const ModbusFloat *>(&item))
        return ModbusBytes::fromFloat(float(number));
    if (qobject_cast<const ModbusDouble *>(&item))
        return ModbusBytes::fromDouble(number + m_random.generateDouble());
    ModbusBytes bytes;
    for (int i = 0; i < item.requestModbusBytesCount(); ++i)
        bytes.append(char(m_random.bounded(256)));
    return bytes;
}
