#include "keyscript.h"

#include <TavrexBus1/eventdeparser.h>
#include <TavrexBus1/eventedtransport.h>
#include <TavrexBus1/keypadekdigital.h>
#include <TavrexBus1/keypadevent.h>
#include <TavrexBus1/transporter.h>

#include <QtCore/QRegularExpression>

#include <algorithm>

namespace {

constexpr int TapMsecs = 100;  // a tapped key is held this long
constexpr int GapMsecs = 200;  // between one item's last record and the next item
// A client discards the first events it reads after connecting, as stale: a greeting goes first,
// and the script follows when the client has surely read it.
constexpr int StartMsecs = 1000;
const QByteArray Greeting(1, char(2));

QString keyNames()
{
    return QStringLiteral("0-9, PlusMinus, Point, Menu, Log, Escape, Enter, Backspace, Up, Down, Left, Right, Power");
}

ModbusBytes keypadRecord(quint8 code)
{
    EventDeparser deparser;
    ModbusBytes record;
    deparser.deparse(KeypadEvent(code), record);
    return record;
}

} // namespace

KeyScript::KeyScript(QObject *parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &KeyScript::next);
}

bool KeyScript::parse(const QString &text, QString *error)
{
    m_steps.clear();
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    const QStringList items = text.split(separators, Qt::SkipEmptyParts);
    for (const QString &item : items) {
        if (!m_steps.isEmpty() && m_steps.last().loop) {
            *error = QStringLiteral("--keys: \"loop\" must come last");
            return false;
        }
        if (!parseItem(item, error))
            return false;
    }
    const bool sends
        = std::any_of(m_steps.cbegin(), m_steps.cend(), [](const Step &step) { return !step.record.isEmpty(); });
    if (!sends) {
        *error = QStringLiteral("--keys: the script sends nothing");
        return false;
    }
    return true;
}

bool KeyScript::parseItem(const QString &item, QString *error)
{
    const QString name = item.section(QLatin1Char(':'), 0, 0);
    const QString argument = item.section(QLatin1Char(':'), 1);
    const bool hasArgument = item.contains(QLatin1Char(':'));
    bool ok = !hasArgument;
    const int number = hasArgument ? argument.toInt(&ok) : 0;
    const auto refuse = [&](const QString &why) {
        *error = QStringLiteral("--keys: \"%1\": %2").arg(item, why);
        return false;
    };
    if (name == QLatin1String("loop") && !hasArgument) {
        m_steps.append({0, ModbusBytes(), true});
    } else if (name == QLatin1String("wait")) {
        if (!ok || number < 0)
            return refuse(QStringLiteral("wait:MSECS wants milliseconds"));
        m_steps.append({number, ModbusBytes(), false});
    } else if (name == QLatin1String("system")) {
        if (!ok || number < 0 || number > 255)
            return refuse(QStringLiteral("system:CODE wants a code 0-255"));
        m_steps.append({GapMsecs, ModbusBytes(QByteArray(1, char(number))), false});
    } else if (name == QLatin1String("raw")) {
        const ModbusBytes record(QByteArray::fromHex(argument.toLatin1()));
        if (record.isEmpty() || record.size() > EventedTransport::MaxEventRecordSize
            || record.toHex() != argument.toLower().toLatin1())
            return refuse(QStringLiteral("raw:HEX wants 1-254 bytes in hexadecimal"));
        m_steps.append({GapMsecs, record, false});
    } else {
        const quint8 code = KeypadEkDigital::keyCode(name);
        if (code == 0)
            return refuse(QStringLiteral("no such key (keys: %1)").arg(keyNames()));
        if (!ok || number < 0)
            return refuse(QStringLiteral("KEY:MSECS holds the key so many milliseconds"));
        appendKey(code, hasArgument ? number : TapMsecs);
    }
    return true;
}

void KeyScript::appendKey(quint8 code, int holdMsecs)
{
    m_steps.append({GapMsecs, keypadRecord(code | KeypadEkDigital::PressedBit), false});
    m_steps.append({holdMsecs, keypadRecord(code), false});
}

void KeyScript::play(Transporter &transporter, const Target *target)
{
    m_transporter = &transporter;
    m_target = target;
    m_next = 0;
    transporter.sendEventBytes(ModbusBytes(Greeting), target);
    m_timer.start(StartMsecs + m_steps.first().delay);
}

void KeyScript::stop()
{
    m_timer.stop();
    m_transporter = nullptr;
}

void KeyScript::next()
{
    if (!m_transporter || m_next >= m_steps.size())
        return;
    const Step step = m_steps.at(m_next++);
    if (step.loop)
        m_next = 0;
    if (!step.record.isEmpty()) {
        m_transporter->sendEventBytes(step.record, m_target);
        emit sent(QStringLiteral("event %1").arg(QString::fromLatin1(step.record.toHex(' '))));
    }
    if (m_next >= m_steps.size()) {
        emit finished();
        return;
    }
    m_timer.start(m_steps.at(m_next).delay);
}
