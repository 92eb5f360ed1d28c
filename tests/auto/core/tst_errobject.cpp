#include "signaltexts.h"

#include <TavrexBus1/errobject.h>
#include <TavrexBus1/modbusbytes.h>
#include <TavrexBus1/modbusloopbackserver.h>
#include <TavrexBus1/mydeclarativeitem.h>
#include <TavrexBus1/mydeclarativeparserstatus.h>

#include <QtCore/QThread>
#include <QtCore/qloggingcategory.h>
#include <QtQml/QQmlComponent>
#include <QtQml/QQmlEngine>
#include <QtTest/QtTest>

namespace {

class Reporter : public ErrObject
{
public:
    QStringList seen;

    void setErrorString(const QString &value) override
    {
        seen << value;
        ErrObject::setErrorString(value);
    }
};

// The category and text of every message logged while it lives.
class LogRecorder
{
public:
    LogRecorder() : m_previous(qInstallMessageHandler(&LogRecorder::record)) { s_logged.clear(); }
    ~LogRecorder() { qInstallMessageHandler(m_previous); }
    const QStringList &logged() const { return s_logged; }

private:
    static void record(QtMsgType, const QMessageLogContext &context, const QString &text)
    {
        s_logged.append(QStringLiteral("%1: %2").arg(QLatin1String(context.category), text));
    }

    inline static QStringList s_logged;
    QtMessageHandler m_previous;
};

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

// The bases the library's objects share: errors, log categories, and the initializing flag.
class tst_ErrObject : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        qmlRegisterType<StatusObject>("CoreTest", 1, 0, "StatusObject");
        qmlRegisterType<StatusItem>("CoreTest", 1, 0, "StatusItem");
    }

    void everyReportCountsAndSignals()
    {
        // A repeated message is still a new error, and clearing is one more.
        Reporter object;
        QSignalSpy errors(&object, &ErrObject::error);
        QSignalSpy counts(&object, &ErrObject::errorCountChanged);
        object.setErrorString("time-out");
        object.setErrorString("time-out");

        QCOMPARE(signalTexts(errors), (QStringList{ "time-out", "time-out" }));
        QCOMPARE(counts.count(), 2);
        QCOMPARE(object.property("errorString").toString(), QStringLiteral("time-out"));
        QCOMPARE(object.property("errorCount").toULongLong(), quint64(2));

        object.clearError();
        QCOMPARE(signalTexts(errors), (QStringList{ "time-out", "time-out", "" }));
        QVERIFY(object.errorString().isEmpty());
        QCOMPARE(object.errorCount(), quint64(3));
        QCOMPARE(object.seen, (QStringList{ "time-out", "time-out", "" })); // the override sees the clear

        // Counting alone tells no error.
        object.incrementErrorCount();
        QCOMPARE(counts.count(), 4);
        QCOMPARE(errors.count(), 3);
    }

    void reportFromWorkerArrivesOnOwnerThread()
    {
        Reporter object;
        QThread *signalThread = nullptr;
        connect(&object, &ErrObject::error, &object, [&] { signalThread = QThread::currentThread(); },
                Qt::DirectConnection);
        QSignalSpy errors(&object, &ErrObject::error);

        QThread *worker = QThread::create([&object] { object.setErrorString("from worker"); });
        worker->start();
        QVERIFY(worker->wait(5000));
        delete worker;

        // Nothing changes until the owner's event loop runs the re-posted call.
        QCOMPARE(object.errorCount(), quint64(0));
        QVERIFY(errors.wait(5000));
        QCOMPARE(signalTexts(errors), QStringList{ "from worker" });
        QCOMPARE(object.errorCount(), quint64(1));
        QCOMPARE(object.errorString(), QStringLiteral("from worker"));
        QCOMPARE(signalThread, QThread::currentThread());
        QCoreApplication::processEvents();
        QCOMPARE(object.errorCount(), quint64(1));
        // The override ran twice: once on the worker (re-posting) and once here.
        QCOMPARE(object.seen, (QStringList{ "from worker", "from worker" }));
    }

    void warningsAreOnAndDebugWaitsToBeSwitchedOn()
    {
        const LogRecorder recorder;
        ModbusBytes(QByteArray("ab")).takeFirst(-1);
        ModbusLoopbackServer server;
        QVERIFY(server.connectTransport());
        QVERIFY(server.disconnectTransport());
        QLoggingCategory::setFilterRules(QStringLiteral("tavrexbus.transport.debug=true"));
        QVERIFY(server.connectTransport());
        QLoggingCategory::setFilterRules(QString());
        QCOMPARE(recorder.logged(), (QStringList{"tavrexbus.core: takeFirst - invalid argument",
                                                 "tavrexbus.transport: connected ModbusLoopbackServer"}));
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

QTEST_MAIN(tst_ErrObject)

#include "tst_errobject.moc"
