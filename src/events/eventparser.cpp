#include "eventparser.h"

#include "eventrecord_p.h"
#include "keypadevent.h"
#include "systemevent.h"
#include "tavrexbuslogging_p.h"

EventParser::EventParser(QObject *parent)
    : ErrObject(parent)
{
}

IEvent *EventParser::parse(const ModbusBytes &record)
{
    QString why;
    IEvent *event = decode(record, why);
    if (!event) {
        const QString message =
            tr("Event parser error: %1 (bytes: %2)").arg(why, QString::fromLatin1(record.toHex(' ')));
        qCDebug(lcEvents) << message;
        setErrorString(message);
    }
    return event;
}

IEvent *EventParser::decode(const ModbusBytes &record, QString &why) const
{
    if (record.isEmpty()) {
        why = tr("event bytes array is too short");
        return nullptr;
    }
    const quint8 kind = quint8(record.at(0));
    const bool keypad = kind == EventRecord::KeypadKind;
    if (!keypad && (kind < EventRecord::FirstSystemKind || kind > EventRecord::LastSystemKind)) {
        why = tr("unknown event type: %1").arg(kind);
        return nullptr;
    }
    if (record.size() != (keypad ? EventRecord::KeypadSize : EventRecord::SystemSize)) {
        why = tr("error bytes length: %1").arg(record.size());
        return nullptr;
    }
    if (keypad)
        return new KeypadEvent(quint8(record.at(1)));
    return new SystemEvent(kind);
}

QString EventParser::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("Event parser\n"), oneLine);
}
