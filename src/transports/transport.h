#ifndef TAVREXBUS1_TRANSPORT_H
#define TAVREXBUS1_TRANSPORT_H

#include "errobject.h"
#include "modbusbytes.h"
#include "mydeclarativeparserstatus.h"
#include "qtavrexobject.h"
#include "target.h"

#include <QtCore/QRecursiveMutex>

#include <atomic>
#include <functional>
#include <memory>

class TransportLifeline;

// A link to one or more peers: opening, closing and automatic reconnection, with the
// rule that the link is opened and closed only on the thread the object lives in.
class TAVREXBUS1_EXPORT Transport : public ErrObject, public QTavrexObject, public MyDeclarativeParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(bool connected READ connected WRITE setConnected NOTIFY connectedChanged)
    Q_PROPERTY(int targetsCount READ targetsCount NOTIFY targetsCountChanged)
    Q_PROPERTY(bool autoReconnect READ autoReconnect WRITE setAutoReconnect NOTIFY autoReconnectChanged)

public:
    explicit Transport(QObject *parent = nullptr);
    ~Transport() override;

    bool connected() const;
    bool autoReconnect() const;
    void setAutoReconnect(bool value);
    int autoReconnectInterval() const;
    void setAutoReconnectInterval(int msecs);
    bool connectAfterInit() const;
    QRecursiveMutex *mutex();

    Q_INVOKABLE void setConnected(bool value);

    virtual bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                           QString *error = nullptr) = 0;
    virtual bool waitForIncomingConnection() const;
    virtual bool sendEventBytes(const ModbusBytes &bytes, const Target *target);
    virtual Target *defaultTarget();
    virtual bool hasTarget(const Target *target) = 0;
    virtual int targetsCount() const = 0;
    virtual int bytesAvailable(const Target *target) = 0;
    // Whether an exchange through this transport is answered by work on thread, so that a call
    // made there which waits for such an exchange would wait for itself. False by default.
    virtual bool answersOnThread(const QThread *thread) const;
    // Called on the answering thread while it waits for exchanges of other threads: does the work
    // they wait for. Does nothing by default.
    virtual void serveWaitingExchanges();

    void componentComplete() override;

public Q_SLOTS:
    virtual bool connectTransport(bool force);
    bool connectTransport();
    virtual bool disconnectTransport();

Q_SIGNALS:
    void read(QString request, const Target *target, QString &answer);
    void bytesReceived(ModbusBytes bytes, const Target *target);
    void requestBytesReceived(ModbusBytes bytes, const Target *target, ModbusBytes *answerBytes);
    void bytesSent(ModbusBytes bytes, const Target *target);
    void targetAdded(const Target *target);
    void targetRemoved(const Target *target);
    void connectedChanged();
    void targetsCountChanged();
    void autoReconnectChanged();
    void transportConnected();
    void transportDisconnected();

protected:
    virtual bool connectTransportInternal() = 0;
    virtual bool disconnectTransportInternal() = 0;
    virtual void afterConnected();
    virtual void afterDisconnected();

    using ErrObject::setErrorString;
    void setErrorString(const QString &message, QString *error);
    // Takes the transport out of every transporter and waits for the exchanges that other threads
    // are making through it. Every concrete transport calls it first thing in its destructor,
    // while the whole object still stands; whileWaiting runs between waits, for a transport whose
    // exchanges need this thread to answer them. A transport must not be destroyed from inside
    // one of its own exchanges.
    void withdraw(const std::function<void()> &whileWaiting = {});
    void setConnectError(const QString &message);
    bool checkCanSendBytes(const Target *target, QString *error);
    bool checkValidThread();

protected Q_SLOTS:
    void autoDisconnect();

private Q_SLOTS:
    void doReconnect();

private:
    friend class TransportLifeline;

    void scheduleReconnect();

    std::atomic<bool> m_connected{false};
    bool m_autoReconnect = true;
    int m_autoReconnectInterval = 200;
    bool m_connectAfterInit = false;
    bool m_reconnectPending = false;
    bool m_reconnectScheduled = false;
    QRecursiveMutex m_mutex;
    std::shared_ptr<TransportLifeline> m_lifeline;
};

#endif
