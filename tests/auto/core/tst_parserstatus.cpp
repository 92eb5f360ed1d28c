#include <TavrexBus1/mydeclarativeitem.h>
#include <TavrexBus1/mydeclarativeparserstatus.h>

#include <QtQml/QQmlComponent>
#include <QtQml/QQmlEngine>
#include <QtTest/QtTest>

namespace {

// Records whether the object was still initialising when QML set a property.
class StatusObject : public QObject, public MyDeclarativeParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(int value READ value WRITE setValue)

public:
    int value() const { return m_value; }
    void setValue(int value)
    {
        m_value = value;
        setWhileInitializing = initializing();
    }

    bool setWhileInitializing = false;

private:
    int m_value = 0;
};

class StatusItem : public MyDeclarativeItem
{
    Q_OBJECT
    Q_PROPERTY(int value READ value WRITE setValue)

public:
    int value() const { return m_value; }
    void setValue(int value)
    {
        m_value = value;
        setWhileInitializing = initializing();
    }

    bool setWhileInitializing = false;

private:
    int m_value = 0;
};

} // namespace

class tst_ParserStatus : public QObject
{
    Q_OBJECT

    template<typename T>
    static void checkInitializedAfterSet(T *object)
    {
        QVERIFY(object);
        QVERIFY(object->setWhileInitializing);
        QVERIFY(!object->initializing());
    }

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
        if (qobject_cast<StatusObject *>(object.data()))
            checkInitializedAfterSet(qobject_cast<StatusObject *>(object.data()));
        else
            checkInitializedAfterSet(qobject_cast<StatusItem *>(object.data()));
    }

    void objectsMadeInCppAreNotInitializing()
    {
        StatusObject object;
        object.setValue(1);
        QVERIFY(!object.setWhileInitializing);
        StatusItem item;
        item.setValue(1);
        QVERIFY(!item.setWhileInitializing);
    }
};

QTEST_MAIN(tst_ParserStatus)

#include "tst_parserstatus.moc"
