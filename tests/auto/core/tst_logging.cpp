#include <TavrexBus1/modbusbytes.h>
#include <TavrexBus1/modbusloopbackserver.h>

#include <QtCore/qloggingcategory.h>
#include <QtTest/qtest.h>

namespace {

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

} // namespace

// Applications filter the library's messages by the category names the README lists.
class tst_Logging : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        QCOMPARE(recorder.logged(), (QStringList{QStringLiteral("tavrexbus.core: takeFirst - invalid argument"),
                                                 QStringLiteral("tavrexbus.transport: connected ModbusLoopbackServer")}));
    }
};

QTEST_GUILESS_MAIN(tst_Logging)
#include "tst_logging.moc"
