#ifndef TAVREXBUS1_KEYPADEKDIGITAL_H
#define TAVREXBUS1_KEYPADEKDIGITAL_H

#include "keypad.h"

#include <array>

/// The keypad of the Ek digital instruments: bit 7 of a key code is the state (set: pressed), bits
/// 0-6 name one of 22 keys. Each key has a read-only property that is true while the key is held.
/// Power and Log have no Qt key: they set their property and are announced by keypadCodeEvent() only.
///
/// Available in QML as `KeypadEkDigital` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT KeypadEkDigital : public Keypad
{
    Q_OBJECT
    /// True while digit 0 is held.
    Q_PROPERTY(bool key0 READ key0 NOTIFY key0Changed)
    /// True while digit 1 is held.
    Q_PROPERTY(bool key1 READ key1 NOTIFY key1Changed)
    /// True while digit 2 is held.
    Q_PROPERTY(bool key2 READ key2 NOTIFY key2Changed)
    /// True while digit 3 is held.
    Q_PROPERTY(bool key3 READ key3 NOTIFY key3Changed)
    /// True while digit 4 is held.
    Q_PROPERTY(bool key4 READ key4 NOTIFY key4Changed)
    /// True while digit 5 is held.
    Q_PROPERTY(bool key5 READ key5 NOTIFY key5Changed)
    /// True while digit 6 is held.
    Q_PROPERTY(bool key6 READ key6 NOTIFY key6Changed)
    /// True while digit 7 is held.
    Q_PROPERTY(bool key7 READ key7 NOTIFY key7Changed)
    /// True while digit 8 is held.
    Q_PROPERTY(bool key8 READ key8 NOTIFY key8Changed)
    /// True while digit 9 is held.
    Q_PROPERTY(bool key9 READ key9 NOTIFY key9Changed)
    /// True while the sign key is held.
    Q_PROPERTY(bool keyPlusMinus READ keyPlusMinus NOTIFY keyPlusMinusChanged)
    /// True while the decimal point is held.
    Q_PROPERTY(bool keyPoint READ keyPoint NOTIFY keyPointChanged)
    /// True while the menu key (Home) is held.
    Q_PROPERTY(bool keyMenu READ keyMenu NOTIFY keyMenuChanged)
    /// True while the log key is held.
    Q_PROPERTY(bool keyLog READ keyLog NOTIFY keyLogChanged)
    /// True while Escape is held.
    Q_PROPERTY(bool keyEscape READ keyEscape NOTIFY keyEscapeChanged)
    /// True while Enter is held.
    Q_PROPERTY(bool keyEnter READ keyEnter NOTIFY keyEnterChanged)
    /// True while Backspace is held.
    Q_PROPERTY(bool keyBackspace READ keyBackspace NOTIFY keyBackspaceChanged)
    /// True while Up is held.
    Q_PROPERTY(bool keyUp READ keyUp NOTIFY keyUpChanged)
    /// True while Down is held.
    Q_PROPERTY(bool keyDown READ keyDown NOTIFY keyDownChanged)
    /// True while Left is held.
    Q_PROPERTY(bool keyLeft READ keyLeft NOTIFY keyLeftChanged)
    /// True while Right is held.
    Q_PROPERTY(bool keyRight READ keyRight NOTIFY keyRightChanged)
    /// True while the power key is held.
    Q_PROPERTY(bool keyPower READ keyPower NOTIFY keyPowerChanged)

public:
    /// The number of keys.
    static constexpr int KeyCount = 22;
    /// The state bit of a key code: set while the key is pressed.
    static constexpr quint8 PressedBit = 0x80;

    /// A keypad with no eventer.
    explicit KeypadEkDigital(QObject *parent = nullptr);

    /// Getter of the key0 property.
    bool key0() const;
    /// Getter of the key1 property.
    bool key1() const;
    /// Getter of the key2 property.
    bool key2() const;
    /// Getter of the key3 property.
    bool key3() const;
    /// Getter of the key4 property.
    bool key4() const;
    /// Getter of the key5 property.
    bool key5() const;
    /// Getter of the key6 property.
    bool key6() const;
    /// Getter of the key7 property.
    bool key7() const;
    /// Getter of the key8 property.
    bool key8() const;
    /// Getter of the key9 property.
    bool key9() const;
    /// Getter of the keyPlusMinus property.
    bool keyPlusMinus() const;
    /// Getter of the keyPoint property.
    bool keyPoint() const;
    /// Getter of the keyMenu property.
    bool keyMenu() const;
    /// Getter of the keyLog property.
    bool keyLog() const;
    /// Getter of the keyEscape property.
    bool keyEscape() const;
    /// Getter of the keyEnter property.
    bool keyEnter() const;
    /// Getter of the keyBackspace property.
    bool keyBackspace() const;
    /// Getter of the keyUp property.
    bool keyUp() const;
    /// Getter of the keyDown property.
    bool keyDown() const;
    /// Getter of the keyLeft property.
    bool keyLeft() const;
    /// Getter of the keyRight property.
    bool keyRight() const;
    /// Getter of the keyPower property.
    bool keyPower() const;

    /// The code (bits 0-6) of the key whose property is named name ("key0", "keyEnter"; the "key"
    /// prefix and the case may be left out: "enter"); 0 for no key.
    static quint8 keyCode(const QString &name);
    /// The property name of the key of code ("key0", "keyEnter"), whatever its state bit; empty for no key.
    Q_INVOKABLE static QString keyName(int code);

Q_SIGNALS:
    /// key0 changed to pressed.
    void key0Changed(bool pressed);
    /// key1 changed to pressed.
    void key1Changed(bool pressed);
    /// key2 changed to pressed.
    void key2Changed(bool pressed);
    /// key3 changed to pressed.
    void key3Changed(bool pressed);
    /// key4 changed to pressed.
    void key4Changed(bool pressed);
    /// key5 changed to pressed.
    void key5Changed(bool pressed);
    /// key6 changed to pressed.
    void key6Changed(bool pressed);
    /// key7 changed to pressed.
    void key7Changed(bool pressed);
    /// key8 changed to pressed.
    void key8Changed(bool pressed);
    /// key9 changed to pressed.
    void key9Changed(bool pressed);
    /// keyPlusMinus changed to pressed.
    void keyPlusMinusChanged(bool pressed);
    /// keyPoint changed to pressed.
    void keyPointChanged(bool pressed);
    /// keyMenu changed to pressed.
    void keyMenuChanged(bool pressed);
    /// keyLog changed to pressed.
    void keyLogChanged(bool pressed);
    /// keyEscape changed to pressed.
    void keyEscapeChanged(bool pressed);
    /// keyEnter changed to pressed.
    void keyEnterChanged(bool pressed);
    /// keyBackspace changed to pressed.
    void keyBackspaceChanged(bool pressed);
    /// keyUp changed to pressed.
    void keyUpChanged(bool pressed);
    /// keyDown changed to pressed.
    void keyDownChanged(bool pressed);
    /// keyLeft changed to pressed.
    void keyLeftChanged(bool pressed);
    /// keyRight changed to pressed.
    void keyRightChanged(bool pressed);
    /// keyPower changed to pressed.
    void keyPowerChanged(bool pressed);

protected:
    bool parseKeyCode(unsigned char code, Qt::Key &key, QChar &text, bool &pressed) override;
    void keypadEventReceived(unsigned char code) override;
    using Keypad::keypadEventReceived;

private:
    bool held(quint8 code) const;

    std::array<bool, KeyCount> m_held{};
};

#endif
