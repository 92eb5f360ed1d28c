#ifndef TAVREXBUS1_KEYPAD_H
#define TAVREXBUS1_KEYPAD_H

#include "errobject.h"

#include <QtCore/QList>
#include <QtCore/QTimer>
#include <QtCore/QVariant>

class Eventer;

/// An instrument's front keypad: decodes the key codes an Eventer delivers into Qt keys, announces
/// them, and (with retranslate) replays them as key events posted to the application's focus object,
/// repeating a held key on its own. Device families supply the decoding (see KeypadEkDigital);
/// this base decodes nothing.
///
/// Available in QML as `Keypad` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT Keypad : public ErrObject
{
    Q_OBJECT
    /// Where the key codes come from; its errors become this keypad's.
    Q_PROPERTY(Eventer *eventer READ eventer WRITE setEventer NOTIFY eventerChanged)
    /// Post decoded keys as key events to the focus object (default true).
    Q_PROPERTY(bool retranslate READ retranslate WRITE setRetranslate NOTIFY retranslateChanged)
    /// Process key codes at all (default true).
    Q_PROPERTY(bool enabled READ enabled WRITE setEnabled NOTIFY enabledChanged)
    /// Repeat a held key while it is replayed (default true).
    Q_PROPERTY(bool autoRepeat READ autoRepeat WRITE setAutoRepeat NOTIFY autoRepeatChanged)
    /// Milliseconds between repeats (default 150).
    Q_PROPERTY(int autoRepeatInterval READ autoRepeatInterval WRITE setAutoRepeatInterval
               NOTIFY autoRepeatIntervalChanged)
    /// Milliseconds from a press to its first repeat (default 700).
    Q_PROPERTY(int autoRepeatPause READ autoRepeatPause WRITE setAutoRepeatPause NOTIFY autoRepeatPauseChanged)
    /// Post a release after every repeated press (default true).
    Q_PROPERTY(bool autoRepeatRelease READ autoRepeatRelease WRITE setAutoRepeatRelease
               NOTIFY autoRepeatReleaseChanging)
    /// Qt keys never repeated: one key, or a list (or JavaScript array) of keys; as read back, a list.
    Q_PROPERTY(QVariant autoRepeatIgnoreKeys READ autoRepeatIgnoreKeys WRITE setAutoRepeatIgnoreKeys
               NOTIFY autoRepeatIgnoreKeysChanging)

public:
    /// A keypad with no eventer.
    explicit Keypad(QObject *parent = nullptr);
    ~Keypad() override;

    /// Getter of the eventer property.
    Eventer *eventer() const;
    /// Setter of the eventer property.
    void setEventer(Eventer *eventer);
    /// Getter of the retranslate property.
    bool retranslate() const;
    /// Setter of the retranslate property.
    void setRetranslate(bool value);
    /// Getter of the enabled property.
    bool enabled() const;
    /// Setter of the enabled property.
    void setEnabled(bool value);
    /// Getter of the autoRepeat property.
    bool autoRepeat() const;
    /// Getter of the autoRepeatInterval property.
    int autoRepeatInterval() const;
    /// Getter of the autoRepeatPause property.
    int autoRepeatPause() const;
    /// Getter of the autoRepeatRelease property.
    bool autoRepeatRelease() const;
    /// Getter of the autoRepeatIgnoreKeys property.
    QVariant autoRepeatIgnoreKeys() const;

public Q_SLOTS:
    /// Handles one key code: announces it, decodes it and replays the key (see the class).
    void onKeypadEvent(quint8 code);
    /// Setter of the autoRepeat property.
    void setAutoRepeat(bool value);
    /// Negative values are refused.
    void setAutoRepeatInterval(int msecs);
    /// Negative values are refused.
    void setAutoRepeatPause(int msecs);
    /// Setter of the autoRepeatRelease property.
    void setAutoRepeatRelease(bool value);
    /// Takes an int, a list or a JavaScript array of ints; anything else is reported and left out.
    void setAutoRepeatIgnoreKeys(const QVariant &keys);

Q_SIGNALS:
    /// eventer changed.
    void eventerChanged();
    /// retranslate changed.
    void retranslateChanged();
    /// enabled changed.
    void enabledChanged();
    /// autoRepeat changed; the new value is passed.
    void autoRepeatChanged(bool autoRepeat);
    /// autoRepeatInterval changed; the new value is passed.
    void autoRepeatIntervalChanged(int autoRepeatInterval);
    /// autoRepeatPause changed; the new value is passed.
    void autoRepeatPauseChanged(int autoRepeatPause);
    /// autoRepeatRelease changed; the new value is passed.
    void autoRepeatReleaseChanging(bool autoRepeatRelease);
    /// autoRepeatIgnoreKeys changed; the new value is passed.
    void autoRepeatIgnoreKeysChanging(const QVariant &autoRepeatIgnoreKeys);
    /// Every key code processed, decoded or not.
    void keypadCodeEvent(quint8 keyCode);
    /// A decoded key pressed or released.
    void keypadEvent(Qt::Key key, bool pressed);

protected:
    /// Decodes a device code into a Qt key, its text and its state; false for codes with no Qt key.
    virtual bool parseKeyCode(unsigned char code, Qt::Key &key, QChar &text, bool &pressed);
    /// Called with every processed code before it is announced.
    virtual void keypadEventReceived(unsigned char code);
    /// Called with every decoded key before it is announced.
    virtual void keypadEventReceived(Qt::Key key, bool pressed);

private Q_SLOTS:
    void onRepeatTimer();
    void onEventerDestroyed();

private:
    void connectEventer(bool on);
    void trackRepeat(Qt::Key key, const QChar &text, bool pressed);
    bool repeatIgnored(Qt::Key key) const;

    Eventer *m_eventer = nullptr;
    bool m_retranslate = true;
    bool m_enabled = true;
    QTimer m_repeatTimer;
    bool m_autoRepeat = true;
    int m_autoRepeatInterval = 150;
    int m_autoRepeatPause = 700;
    Qt::Key m_repeatKey = Qt::Key_unknown;
    QChar m_repeatText;
    bool m_autoRepeatRelease = true;
    QList<int> m_autoRepeatIgnoreKeys;
};

#endif
