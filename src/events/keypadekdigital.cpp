#include "keypadekdigital.h"

namespace {

struct Key
{
    quint8 code;
    const char *name;
    Qt::Key qtKey; // Key_unknown: none
    char text;     // 0: none
    void (KeypadEkDigital::*changed)(bool);
};

// The device's key codes (bits 0-6); a key's place here is its place in the held states.
const std::array<Key, KeypadEkDigital::KeyCount> keys = {{
    {0x01, "keyPower", Qt::Key_unknown, 0, &KeypadEkDigital::keyPowerChanged},
    {0x05, "keyEnter", Qt::Key_Return, 0, &KeypadEkDigital::keyEnterChanged},
    {0x0B, "key0", Qt::Key_0, '0', &KeypadEkDigital::key0Changed},
    {0x0C, "keyPlusMinus", Qt::Key_plusminus, 0, &KeypadEkDigital::keyPlusMinusChanged},
    {0x0D, "keyPoint", Qt::Key_Period, '.', &KeypadEkDigital::keyPointChanged},
    {0x0E, "keyEscape", Qt::Key_Escape, 0, &KeypadEkDigital::keyEscapeChanged},
    {0x0F, "keyDown", Qt::Key_Down, 0, &KeypadEkDigital::keyDownChanged},
    {0x15, "key7", Qt::Key_7, '7', &KeypadEkDigital::key7Changed},
    {0x16, "key8", Qt::Key_8, '8', &KeypadEkDigital::key8Changed},
    {0x17, "key9", Qt::Key_9, '9', &KeypadEkDigital::key9Changed},
    {0x18, "keyLeft", Qt::Key_Left, 0, &KeypadEkDigital::keyLeftChanged},
    {0x19, "keyRight", Qt::Key_Right, 0, &KeypadEkDigital::keyRightChanged},
    {0x1F, "key4", Qt::Key_4, '4', &KeypadEkDigital::key4Changed},
    {0x20, "key5", Qt::Key_5, '5', &KeypadEkDigital::key5Changed},
    {0x21, "key6", Qt::Key_6, '6', &KeypadEkDigital::key6Changed},
    {0x22, "keyLog", Qt::Key_unknown, 0, &KeypadEkDigital::keyLogChanged},
    {0x23, "keyUp", Qt::Key_Up, 0, &KeypadEkDigital::keyUpChanged},
    {0x29, "key1", Qt::Key_1, '1', &KeypadEkDigital::key1Changed},
    {0x2A, "key2", Qt::Key_2, '2', &KeypadEkDigital::key2Changed},
    {0x2B, "key3", Qt::Key_3, '3', &KeypadEkDigital::key3Changed},
    {0x2C, "keyMenu", Qt::Key_Home, 0, &KeypadEkDigital::keyMenuChanged},
    {0x2D, "keyBackspace", Qt::Key_Backspace, 0, &KeypadEkDigital::keyBackspaceChanged},
}};

int indexOf(quint8 code)
{
    const quint8 name = code & quint8(~KeypadEkDigital::PressedBit);
    for (int i = 0; i < int(keys.size()); ++i) {
        if (keys[i].code == name)
            return i;
    }
    return -1;
}

} // namespace

KeypadEkDigital::KeypadEkDigital(QObject *parent)
    : Keypad(parent)
{
}

bool KeypadEkDigital::key0() const
{
    return held(0x0B);
}

bool KeypadEkDigital::key1() const
{
    return held(0x29);
}

bool KeypadEkDigital::key2() const
{
    return held(0x2A);
}

bool KeypadEkDigital::key3() const
{
    return held(0x2B);
}

bool KeypadEkDigital::key4() const
{
    return held(0x1F);
}

bool KeypadEkDigital::key5() const
{
    return held(0x20);
}

bool KeypadEkDigital::key6() const
{
    return held(0x21);
}

bool KeypadEkDigital::key7() const
{
    return held(0x15);
}

bool KeypadEkDigital::key8() const
{
    return held(0x16);
}

bool KeypadEkDigital::key9() const
{
    return held(0x17);
}

bool KeypadEkDigital::keyPlusMinus() const
{
    return held(0x0C);
}

bool KeypadEkDigital::keyPoint() const
{
    return held(0x0D);
}

bool KeypadEkDigital::keyMenu() const
{
    return held(0x2C);
}

bool KeypadEkDigital::keyLog() const
{
    return held(0x22);
}

bool KeypadEkDigital::keyEscape() const
{
    return held(0x0E);
}

bool KeypadEkDigital::keyEnter() const
{
    return held(0x05);
}

bool KeypadEkDigital::keyBackspace() const
{
    return held(0x2D);
}

bool KeypadEkDigital::keyUp() const
{
    return held(0x23);
}

bool KeypadEkDigital::keyDown() const
{
    return held(0x0F);
}

bool KeypadEkDigital::keyLeft() const
{
    return held(0x18);
}

bool KeypadEkDigital::keyRight() const
{
    return held(0x19);
}

bool KeypadEkDigital::keyPower() const
{
    return held(0x01);
}

quint8 KeypadEkDigital::keyCode(const QString &name)
{
    const QString wanted
            = name.startsWith(QLatin1String("key"), Qt::CaseInsensitive) ? name : QStringLiteral("key") + name;
    for (const Key &key : keys) {
        if (wanted.compare(QLatin1String(key.name), Qt::CaseInsensitive) == 0)
            return key.code;
    }
    return 0;
}

QString KeypadEkDigital::keyName(int code)
{
    const int index = code >= 0 && code <= 0xFF ? indexOf(quint8(code)) : -1;
    return index < 0 ? QString() : QLatin1String(keys[index].name);
}

bool KeypadEkDigital::parseKeyCode(unsigned char code, Qt::Key &key, QChar &text, bool &pressed)
{
    const int index = indexOf(code);
    if (index < 0 || keys[index].qtKey == Qt::Key_unknown)
        return false;
    pressed = code & KeypadEkDigital::PressedBit;
    key = keys[index].qtKey;
    if (keys[index].text)
        text = QLatin1Char(keys[index].text);
    return true;
}

void KeypadEkDigital::keypadEventReceived(unsigned char code)
{
    const int index = indexOf(code);
    const bool pressed = code & KeypadEkDigital::PressedBit;
    if (index < 0 || m_held[index] == pressed)
        return;
    m_held[index] = pressed;
    emit (this->*keys[index].changed)(pressed);
}

bool KeypadEkDigital::held(quint8 code) const
{
    return m_held[indexOf(code)];
}
