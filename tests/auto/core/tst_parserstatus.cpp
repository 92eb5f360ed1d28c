#include <TavrexBus1/mydeclarativeitem.h>
#include <TavrexBus1/mydeclarativeparserstatus.h>

#include <QtQml/QQmlComponent>
#include <QtQml/QQmlEngine>
#include <QtTest/QtTest>

namespace {

class StatusObject : public QObject, public MyDeclarativeParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(bool initializing READ initializing)
};

class StatusItem : public MyDeclarativeItem
{
    Q_OBJECT
    Q_PROPERTY(bool initializing READ initializing)
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
        component.setData("import CoreTest 1.0\n" + type + " {}", QUrl());
        // Bindings are set between the two steps: the flag is up for them, down once built.
        QScopedPointer<QObject> object(component.beginCreate(engine.rootContext()));
        QVERIFY2(object, qPrintable(component.errorString()));
        QVERIFY(object->property("initializing").toBool());
        component.completeCreate();
        QVERIFY(!object->property("initializing").toBool());
    }
};

QTEST_MAIN(tst_ParserStatus)

#include "tst_parserstatus.moc"
