#include "eventdeparser.h"

#include "eventrecord_p.h"
#include "keypadevent.h"

EventDeparser::EventDeparser(QObject *parent)
    : ErrObject(parent)
{
}

bool EventDeparser::deparse(const IEvent &event, ModbusBytes &out)
{
    const auto *keypad = dynamic_cast<const KeypadEvent *>(&event);
    if (!keypad || event.type() != GlobalEvents::KeyboardEventType) {
        setErrorString(tr("Modbus event deparser deparse error: %1; bytes: %2")
                           .arg(tr("unsupported event type"), QString::fromLatin1(out.toHex(' '))));
        return false;
    }
    out.append(char(EventRecord::KeypadKind));
    out.append(char(keypad->keyCode()));
    return true;
}

QString EventDeparser::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("Event deparser\n"), oneLine);
}
