#include "recordedeventtransport.h"

#include <TavrexBus1/eventer.h>
#include <TavrexBus1/keypadekdigital.h>

#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtQml/QQmlComponent>
#include <QtQml/QQmlEngine>
#include <QtQml/QQmlExpression>
#include <QtQuick/QQuickItem>
#include <QtQuick/QQuickWindow>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

#include <algorithm>

namespace {

// A focused item in an offscreen window that tells every key event it receives, and its keypad.
const QByteArray sceneQml = R"(
import QtQuick 2.15
import TavrexBus 1.0
Item {
    id: root
    width: 20; height: 20
    focus: true
    property KeypadEkDigital keypad: KeypadEkDigital { autoRepeatPause: 80; autoRepeatInterval: 20 }
    property var ignored: [Qt.Key_Escape, Qt.Key_Return]
    signal keyLogged(int key, string text, bool pressed, bool autoRepeat)
    Keys.onPressed: (event) => root.keyLogged(event.key, event.text, true, event.isAutoRepeat)
    Keys.onReleased: (event) => root.keyLogged(event.key, event.text, false, event.isAutoRepeat)
}
)";

struct Key
{
    int code;
    const char *property;
    int qtKey;
    const char *text;
};

} // namespace

Q_DECLARE_METATYPE(Key)

// What the focused item received, with the time since the recorder started.
class KeyRecorder : public QObject
{
    Q_OBJECT

public:
    struct Key
    {
        int key;
        QString text;
        bool pressed;
        bool autoRepeat;
        qint64 at;
    };
    QList<Key> keys;
    QElapsedTimer clock;

public Q_SLOTS:
    void keyLogged(int key, const QString &text, bool pressed, bool autoRepeat)
    {
        keys.append({key, text, pressed, autoRepeat, clock.elapsed()});
    }
};

class tst_Keypad : public QObject
{
    Q_OBJECT

private:
    QQmlEngine *m_engine = nullptr;
    QQuickWindow *m_window = nullptr;
    QQuickItem *m_root = nullptr;
    KeypadEkDigital *m_keypad = nullptr;
    KeyRecorder m_recorder;

private Q_SLOTS:
    void init()
    {
        m_engine = new QQmlEngine;
        m_window = new QQuickWindow;
        QQmlComponent component(m_engine);
        component.setData(sceneQml, QUrl(QStringLiteral("scene.qml")));
        m_root = qobject_cast<QQuickItem *>(component.create());
        QVERIFY2(m_root, qPrintable(component.errorString()));
        m_root->setParentItem(m_window->contentItem());
        m_keypad = m_root->property("keypad").value<KeypadEkDigital *>();
        QVERIFY(m_keypad);
        connect(m_root, SIGNAL(keyLogged(int,QString,bool,bool)), &m_recorder, SLOT(keyLogged(int,QString,bool,bool)));
        m_recorder.keys.clear();
        m_recorder.clock.start();
        m_window->show();
        m_window->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        m_root->forceActiveFocus();
        QTRY_COMPARE(QGuiApplication::focusObject(), m_root);
    }

    void cleanup()
    {
        delete m_root;
        delete m_window;
        delete m_engine;
    }

    // Each key's code, pressed (bit 7) and released: its property, its Qt key and text, and the
    // signals. Power and Log have no Qt key (0): they are announced by code only.
    void codesDecodeToKeys_data()
    {
        QTest::addColumn<Key>("key");
        const Key keys[] = {
            {0x01, "keyPower", 0, ""}, {0x05, "keyEnter", Qt::Key_Return, ""}, {0x0B, "key0", Qt::Key_0, "0"},
            {0x0C, "keyPlusMinus", Qt::Key_plusminus, ""}, {0x0D, "keyPoint", Qt::Key_Period, "."},
            {0x0E, "keyEscape", Qt::Key_Escape, ""}, {0x0F, "keyDown", Qt::Key_Down, ""}, {0x15, "key7", Qt::Key_7, "7"},
            {0x16, "key8", Qt::Key_8, "8"}, {0x17, "key9", Qt::Key_9, "9"}, {0x18, "keyLeft", Qt::Key_Left, ""},
            {0x19, "keyRight", Qt::Key_Right, ""}, {0x1F, "key4", Qt::Key_4, "4"}, {0x20, "key5", Qt::Key_5, "5"},
            {0x21, "key6", Qt::Key_6, "6"}, {0x22, "keyLog", 0, ""}, {0x23, "keyUp", Qt::Key_Up, ""},
            {0x29, "key1", Qt::Key_1, "1"}, {0x2A, "key2", Qt::Key_2, "2"}, {0x2B, "key3", Qt::Key_3, "3"},
            {0x2C, "keyMenu", Qt::Key_Home, ""}, {0x2D, "keyBackspace", Qt::Key_Backspace, ""}};
        for (const Key &key : keys)
            QTest::newRow(key.property) << key;
    }

    void codesDecodeToKeys()
    {
        QFETCH(Key, key);
        const auto [code, property, qtKey, text] = key;
        const QMetaProperty held = m_keypad->metaObject()->property(m_keypad->metaObject()->indexOfProperty(property));
        QSignalSpy changed(m_keypad, held.notifySignal());
        QSignalSpy codes(m_keypad, &Keypad::keypadCodeEvent);
        QSignalSpy keys(m_keypad, &Keypad::keypadEvent);
        QCOMPARE(KeypadEkDigital::keyName(code | 0x80), QLatin1String(property));
        for (bool pressed : {true, false, false}) {
            m_keypad->onKeypadEvent(quint8(code | (pressed ? 0x80 : 0)));
            QCOMPARE(held.read(m_keypad).toBool(), pressed);
        }
        QCOMPARE(changed.count(), 2); // the second release changes nothing
        QCOMPARE(codes.count(), 3);
        QCOMPARE(keys.count(), qtKey ? 3 : 0);
        if (!qtKey)
            return;
        QCOMPARE(keys.at(0).at(0).value<Qt::Key>(), Qt::Key(qtKey));
        QTRY_COMPARE(m_recorder.keys.size(), 3);
        const KeyRecorder::Key press = m_recorder.keys.at(0);
        QCOMPARE(press.key, qtKey);
        QCOMPARE(press.text, QLatin1String(text));
        QVERIFY(press.pressed && !press.autoRepeat);
        QVERIFY(!m_recorder.keys.at(1).pressed);
    }

    void unknownAndDisabledCodesChangeNothing_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("announced");
        QTest::newRow("unknown code") << 0x82 << true << 1;
        QTest::newRow("disabled") << 0x8B << false << 0;
    }

    void unknownAndDisabledCodesChangeNothing()
    {
        QFETCH(int, code);
        QFETCH(bool, enabled);
        QFETCH(int, announced);
        m_keypad->setEnabled(enabled);
        QSignalSpy codes(m_keypad, &Keypad::keypadCodeEvent);
        QSignalSpy keys(m_keypad, &Keypad::keypadEvent);
        QSignalSpy held(m_keypad, &KeypadEkDigital::key0Changed);
        m_keypad->onKeypadEvent(quint8(code));
        m_keypad->setEnabled(true);
        m_keypad->onKeypadEvent(0x85); // Enter, to see that nothing came before it
        QCOMPARE(codes.count(), announced + 1);
        QCOMPARE(keys.count(), 1);
        QCOMPARE(held.count(), 0);
        QTRY_COMPARE(m_recorder.keys.size(), 1);
        QCOMPARE(m_recorder.keys.at(0).key, int(Qt::Key_Return));
    }

    void eventerFeedsTheKeypad()
    {
        RecordedEventTransport transport;
        auto *eventer = new Eventer;
        eventer->setTransport(&transport);
        QSignalSpy eventerChanged(m_keypad, &Keypad::eventerChanged);
        m_keypad->setEventer(eventer);
        QSignalSpy errors(m_keypad, &ErrObject::error);
        emit transport.eventBytesReceived(ModbusBytes(QByteArray::fromHex("018b")), transport.target());
        emit transport.eventBytesReceived(ModbusBytes(QByteArray::fromHex("05")), transport.target());
        QVERIFY(m_keypad->key0());
        QTRY_COMPARE(errors.count(), 1);
        QCOMPARE(m_keypad->errorString(), QStringLiteral("Event parser error: unknown event type: 5 (bytes: 05)"));
        delete eventer;
        QCOMPARE(m_keypad->eventer(), nullptr);
        QCOMPARE(eventerChanged.count(), 2);
    }

    // A held key is pressed again after autoRepeatPause, then every autoRepeatInterval, each repeat
    // marked as such, until its release arrives; a key on the ignore list is pressed only once.
    void heldKeyRepeatsUntilReleased_data()
    {
        QTest::addColumn<bool>("withRelease");
        QTest::addColumn<bool>("ignored");
        QTest::newRow("press and release") << true << false;
        QTest::newRow("press only") << false << false;
        QTest::newRow("ignored key") << true << true;
    }

    void heldKeyRepeatsUntilReleased()
    {
        QFETCH(bool, withRelease);
        QFETCH(bool, ignored);
        m_keypad->setAutoRepeatRelease(withRelease);
        if (ignored)
            m_keypad->setAutoRepeatIgnoreKeys(int(Qt::Key_Return));
        const qint64 pressedAt = m_recorder.clock.elapsed();
        m_keypad->onKeypadEvent(0x85);
        const auto *repeatTimer = m_keypad->findChild<QTimer *>();
        QVERIFY(repeatTimer);
        if (ignored)
            QVERIFY(!repeatTimer->isActive());
        else
            QTRY_VERIFY(std::count_if(m_recorder.keys.cbegin(), m_recorder.keys.cend(),
                                      [](const KeyRecorder::Key &key) { return key.pressed && key.autoRepeat; }) >= 3);
        m_keypad->onKeypadEvent(0x05);
        QTRY_VERIFY(!m_recorder.keys.isEmpty() && !m_recorder.keys.last().pressed
                    && !m_recorder.keys.last().autoRepeat);
        const int total = int(m_recorder.keys.size());
        QVERIFY(ignored ? total == 2 : total > 3);
        int repeat = 0;
        for (int i = 1; i < total - 1; ++i) {
            const KeyRecorder::Key &key = m_recorder.keys.at(i);
            QVERIFY(key.autoRepeat);
            QCOMPARE(key.key, int(Qt::Key_Return));
            if (!key.pressed)
                continue;
            QVERIFY2(key.at - pressedAt >= 80 + repeat * 20, qPrintable(QString::number(key.at - pressedAt)));
            if (i + 1 < total - 1)
                QCOMPARE(m_recorder.keys.at(i + 1).pressed, !withRelease);
            ++repeat;
        }
        QVERIFY(!repeatTimer->isActive());
    }

    // The keys never repeated, as QML hands them over: one key, a list, a JavaScript array.
    void ignoreListTakesWhatQmlGives_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QVariant>("readBack");
        QTest::addColumn<QString>("error");
        const QVariantList both{int(Qt::Key_Escape), int(Qt::Key_Return)};
        QTest::newRow("one key") << "Qt.Key_Escape" << QVariant(QVariantList{int(Qt::Key_Escape)}) << QString();
        QTest::newRow("array literal") << "[Qt.Key_Escape, Qt.Key_Return]" << QVariant(both) << QString();
        QTest::newRow("array property") << "root.ignored" << QVariant(both) << QString();
        QTest::newRow("empty") << "[]" << QVariant() << QString();
        QTest::newRow("not keys") << "[Qt.Key_Escape, 'Esc']" << QVariant(QVariantList{int(Qt::Key_Escape)})
                                  << "autoRepeatIgnoreKeys: not a key: Esc";
    }

    void ignoreListTakesWhatQmlGives()
    {
        QFETCH(QString, expression);
        QFETCH(QVariant, readBack);
        QFETCH(QString, error);
        QQmlExpression assignment(QQmlEngine::contextForObject(m_root), m_root,
                                  QStringLiteral("root.keypad.autoRepeatIgnoreKeys = ") + expression);
        assignment.evaluate();
        QVERIFY(!assignment.hasError());
        QCOMPARE(m_keypad->autoRepeatIgnoreKeys(), readBack);
        QCOMPARE(m_keypad->errorString(), error);
    }
};

QTEST_MAIN(tst_Keypad)
#include "tst_keypad.moc"
