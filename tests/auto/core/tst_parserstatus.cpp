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

private Q_SLOTS:
    void initTestCase();
    void flagSpansQmlCreation_data();
    void flagSpansQmlCreation();
    void objectsMadeInCppAreNotInitializing();
};

void tst_ParserStatus::initTestCase()
{
    qmlRegisterType<StatusObject>("CoreTest", 1, 0, "StatusObject");
    qmlRegisterType<StatusItem>("CoreTest", 1, 0, "StatusItem");
}

void tst_ParserStatus::flagSpansQmlCreation_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::newRow("parser status object") << QByteArray("StatusObject");
    QTest::newRow("declarative item") << QByteArray("StatusItem");
}

void tst_ParserStatus::flagSpansQmlCreation()
{
    QFETCH(QByteArray, type);

    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData("import CoreTest 1.0\n" + type + " { value: 7 }", QUrl());
    QScopedPointer<QObject> object(component.create());
    QVERIFY2(object, qPrintable(component.errorString()));
    QCOMPARE(object->property("value").toInt(), 7);
    if (auto status = qobject_cast<StatusObject *>(object.data())) {
        QVERIFY(status->setWhileInitializing);
        QVERIFY(!status->initializing());
    } else {
        auto item = qobject_cast<StatusItem *>(object.data());
        QVERIFY(item);
        QVERIFY(item->setWhileInitializing);
        QVERIFY(!item->initializing());
    }
}

void tst_ParserStatus::objectsMadeInCppAreNotInitializing()
{
    StatusObject object;
    object.setValue(1);
    QVERIFY(!object.setWhileInitializing);
    StatusItem item;
    item.setValue(1);
    QVERIFY(!item.setWhileInitializing);
}

QTEST_MAIN(tst_ParserStatus)

#include "tst_parserstatus.moc"
