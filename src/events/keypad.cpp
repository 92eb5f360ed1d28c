#include "keypad.h"

#include "eventer.h"
#include "tavrexbuslogging_p.h"

#include <QtCore/QSequentialIterable>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtQml/QJSValue>

namespace {

// The ints of one int, a list or a JavaScript array; what is not a key goes to refused.
QList<int> keyList(const QVariant &keys, QStringList &refused)
{
    QVariant value = keys;
    if (value.metaType() == QMetaType::fromType<QJSValue>())
        value = value.value<QJSValue>().toVariant();
    QVariantList items;
    if (!value.isValid() || value.isNull())
        return {};
    if (value.metaType() != QMetaType::fromType<QString>() && value.canConvert<QVariantList>())
        items = value.toList();
    else
        items.append(value);
    QList<int> list;
    for (const QVariant &item : std::as_const(items)) {
        bool ok = false;
        const int key = item.toInt(&ok);
        if (ok)
            list.append(key);
        else
            refused.append(item.toString());
    }
    return list;
}

QObject *focusObject()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) ? QGuiApplication::focusObject() : nullptr;
}

// Posted, not sent: the receiver handles the key in its own time, as a key from the keyboard.
void postKey(QObject *receiver, QEvent::Type type, Qt::Key key, const QChar &text, bool autoRepeat)
{
    const QString keyText = text.isNull() ? QString() : QString(text);
    QCoreApplication::postEvent(receiver, new QKeyEvent(type, key, Qt::NoModifier, keyText, autoRepeat, 1));
}

} // namespace

Keypad::Keypad(QObject *parent)
    : ErrObject(parent)
    , m_repeatTimer(this)
{
    // The first repeat must not come early: a coarse timer may fire before its time.
    m_repeatTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_repeatTimer, &QTimer::timeout, this, &Keypad::onRepeatTimer);
}

Keypad::~Keypad() = default;

Eventer *Keypad::eventer() const
{
    return m_eventer;
}

void Keypad::setEventer(Eventer *eventer)
{
    if (m_eventer == eventer)
        return;
    connectEventer(false);
    m_eventer = eventer;
    connectEventer(true);
    m_repeatTimer.stop();
    emit eventerChanged();
}

void Keypad::connectEventer(bool on)
{
    if (!m_eventer)
        return;
    if (on) {
        connect(m_eventer, &Eventer::keypadEvent, this, &Keypad::onKeypadEvent);
        connect(m_eventer, &ErrObject::error, this, &Keypad::setErrorString);
        connect(m_eventer, &QObject::destroyed, this, &Keypad::onEventerDestroyed);
    } else {
        disconnect(m_eventer, nullptr, this, nullptr);
    }
}

void Keypad::onEventerDestroyed()
{
    m_eventer = nullptr;
    m_repeatTimer.stop();
    emit eventerChanged();
}

bool Keypad::retranslate() const
{
    return m_retranslate;
}

// A repeat must not outlive the replay: its release would never be posted.
void Keypad::setRetranslate(bool value)
{
    if (m_retranslate == value)
        return;
    m_retranslate = value;
    m_repeatTimer.stop();
    emit retranslateChanged();
}

bool Keypad::enabled() const
{
    return m_enabled;
}

void Keypad::setEnabled(bool value)
{
    if (m_enabled == value)
        return;
    m_enabled = value;
    m_repeatTimer.stop();
    emit enabledChanged();
}

bool Keypad::autoRepeat() const
{
    return m_autoRepeat;
}

void Keypad::setAutoRepeat(bool value)
{
    if (m_autoRepeat == value)
        return;
    m_autoRepeat = value;
    emit autoRepeatChanged(value);
}

int Keypad::autoRepeatInterval() const
{
    return m_autoRepeatInterval;
}

void Keypad::setAutoRepeatInterval(int msecs)
{
    if (msecs < 0 || m_autoRepeatInterval == msecs)
        return;
    m_autoRepeatInterval = msecs;
    emit autoRepeatIntervalChanged(msecs);
}

int Keypad::autoRepeatPause() const
{
    return m_autoRepeatPause;
}

void Keypad::setAutoRepeatPause(int msecs)
{
    if (msecs < 0 || m_autoRepeatPause == msecs)
        return;
    m_autoRepeatPause = msecs;
    emit autoRepeatPauseChanged(msecs);
}

bool Keypad::autoRepeatRelease() const
{
    return m_autoRepeatRelease;
}

void Keypad::setAutoRepeatRelease(bool value)
{
    if (m_autoRepeatRelease == value)
        return;
    m_autoRepeatRelease = value;
    emit autoRepeatReleaseChanging(value);
}

QVariant Keypad::autoRepeatIgnoreKeys() const
{
    if (m_autoRepeatIgnoreKeys.isEmpty())
        return QVariant();
    QVariantList list;
    for (int key : m_autoRepeatIgnoreKeys)
        list.append(key);
    return list;
}

void Keypad::setAutoRepeatIgnoreKeys(const QVariant &keys)
{
    QStringList refused;
    const QList<int> list = keyList(keys, refused);
    if (!refused.isEmpty())
        setErrorString(tr("autoRepeatIgnoreKeys: not a key: %1").arg(refused.join(QStringLiteral(", "))));
    if (m_autoRepeatIgnoreKeys == list)
        return;
    m_autoRepeatIgnoreKeys = list;
    emit autoRepeatIgnoreKeysChanging(autoRepeatIgnoreKeys());
}

void Keypad::onKeypadEvent(quint8 code)
{
    if (!m_enabled)
        return;
    keypadEventReceived(code);
    emit keypadCodeEvent(code);
    Qt::Key key = Qt::Key_unknown;
    QChar text;
    bool pressed = true;
    if (!parseKeyCode(code, key, text, pressed))
        return;
    keypadEventReceived(key, pressed);
    emit keypadEvent(key, pressed);
    QObject *receiver = focusObject();
    if (!m_retranslate || !receiver)
        return;
    trackRepeat(key, text, pressed);
    qCDebug(lcEvents) << "replaying key" << Qt::Key(key) << (pressed ? "press" : "release") << "to" << receiver;
    postKey(receiver, pressed ? QEvent::KeyPress : QEvent::KeyRelease, key, text, false);
}

void Keypad::trackRepeat(Qt::Key key, const QChar &text, bool pressed)
{
    if (!m_autoRepeat || repeatIgnored(key))
        return;
    if (!pressed) {
        m_repeatTimer.stop();
        return;
    }
    m_repeatKey = key;
    m_repeatText = text;
    m_repeatTimer.start(m_autoRepeatPause);
}

bool Keypad::repeatIgnored(Qt::Key key) const
{
    return m_autoRepeatIgnoreKeys.contains(int(key));
}

void Keypad::onRepeatTimer()
{
    if (!m_autoRepeat)
        m_repeatTimer.stop();
    if (!m_repeatTimer.isActive())
        return;
    QObject *receiver = focusObject();
    if (!receiver) {
        m_repeatTimer.stop();
        return;
    }
    postKey(receiver, QEvent::KeyPress, m_repeatKey, m_repeatText, true);
    if (m_autoRepeatRelease)
        postKey(receiver, QEvent::KeyRelease, m_repeatKey, m_repeatText, true);
    m_repeatTimer.setInterval(m_autoRepeatInterval);
}

bool Keypad::parseKeyCode(unsigned char, Qt::Key &, QChar &, bool &)
{
    return false;
}

void Keypad::keypadEventReceived(unsigned char)
{
}

void Keypad::keypadEventReceived(Qt::Key, bool)
{
}
