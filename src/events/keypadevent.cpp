#include "keypadevent.h"

KeypadEvent::KeypadEvent()
    : IEvent(GlobalEvents::KeyboardEventType)
{
}

KeypadEvent::KeypadEvent(unsigned char keyCode)
    : IEvent(GlobalEvents::KeyboardEventType)
    , m_keyCode(keyCode)
{
}

unsigned char KeypadEvent::keyCode() const
{
    return m_keyCode;
}

bool KeypadEvent::operator==(const IEvent &other) const
{
    const auto *keypad = dynamic_cast<const KeypadEvent *>(&other);
    return keypad && IEvent::operator==(other) && keypad->m_keyCode == m_keyCode;
}

QString KeypadEvent::detailLines() const
{
    return QStringLiteral("key code: %1 (0x%2)\n").arg(uint(m_keyCode)).arg(uint(m_keyCode), 2, 16, QLatin1Char('0'));
}
