#include <TavrexBus1/mydeclarativeitem.h>
#include <TavrexBus1/mydeclarativeparserstatus.h>

#include <QtQml/QQmlComponent>
#include <QtQml/QQmlEngine>
#include <QtTest/QtTest>

namespace {

// Each records whether it was still initialising when QML set its value.
class StatusObject : public QObject, public MyDeclarativeParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(int value READ value WRITE setValue)
    Q_PROPERTY(bool setWhileInitializing MEMBER m_setWhileInitializing)
    Q_PROPERTY(bool initializing READ initializing)

public:
    int value() const { return m_value; }
    void setValue(int value)
    {
        m_value = value;
        m_setWhileInitializing = initializing();
    }

private:
    int m_value = 0;
    bool m_setWhileInitializing = false;
};

class StatusItem : public MyDeclarativeItem
{
    Q_OBJECT
    Q_PROPERTY(int value READ value WRITE setValue)
    Q_PROPERTY(bool setWhileInitializing MEMBER m_setWhileInitializing)
    Q_PROPERTY(bool initializing READ initializing)

public:
    int value() const { return m_value; }
    void setValue(int value)
    {
        m_value = value;
        m_setWhileInitializing = initializing();
    }

private:
    int m_value = 0;
    bool m_setWhileInitializing = false;
};

} // namespace

class tst_ParserStatus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        qmlRegisterType<StatusObject>("CoreTest", 1, 0, "StatusObject");
        qmlRegisterType<StatusItem>("CoreTest", 1, 0, "StatusItem");
    }

    void flagSpansQmlCreation_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::newRow("parser status object") << QByteArray("StatusObject");
        QTest::newRow("declarative item") << QByteArray("StatusItem");
    }

    void flagSpansQmlCreation()
    {
        QFETCH(QByteArray, type);

        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData("import CoreTest 1.0\n" + type + " { value: 7 }", QUrl());
        QScopedPointer<QObject> object(component.create());
        QVERIFY2(object, qPrintable(component.errorString()));
        QCOMPARE(object->property("value").toInt(), 7);
        // Set while the engine was still building it, complete once it is built.
        QVERIFY(object->property("setWhileInitializing").toBool());
        QVERIFY(!object->property("initializing").toBool());
    }
};

QTEST_MAIN(tst_ParserStatus)

#include "tst_parserstatus.moc"
