#ifndef TAVREXBUS1_TRANSPORT_H
#define TAVREXBUS1_TRANSPORT_H

#include "errobject.h"
#include "modbusbytes.h"
#include "mydeclarativeparserstatus.h"
#include "qtavrexobject.h"
#include "target.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class TransportLifeline;

/// A link to one or more peers: opening, closing and automatic reconnection, with the
/// rule that the link is opened and closed only on the thread the object lives in.
///
/// Registered in QML as the uncreatable type `Transport` (`import TavrexBus 1.0`), so that QML sees its
/// properties and enumerations.
class TAVREXBUS1_EXPORT Transport : public ErrObject, public QTavrexObject, public MyDeclarativeParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    /// Whether the link is open. Setting it opens or closes the link; a true set by QML during creation opens
    /// it once the component is complete.
    Q_PROPERTY(bool connected READ connected WRITE setConnected NOTIFY connectedChanged)
    /// Peers currently reachable: 1 for an open client link, the connected peers for a server.
    Q_PROPERTY(int targetsCount READ targetsCount NOTIFY targetsCountChanged)
    /// Reopen the link automatically after it was lost; true by default.
    Q_PROPERTY(bool autoReconnect READ autoReconnect WRITE setAutoReconnect NOTIFY autoReconnectChanged)

public:
    /// A closed link.
    explicit Transport(QObject *parent = nullptr);
    ~Transport() override;

    /// Getter of the connected property.
    bool connected() const;
    /// Getter of the autoReconnect property.
    bool autoReconnect() const;
    /// Setter of the autoReconnect property.
    void setAutoReconnect(bool value);
    /// Delay before each reconnection attempt, in milliseconds; 200 by default.
    int autoReconnectInterval() const;
    /// Sets the reconnection delay; negative values are ignored.
    void setAutoReconnectInterval(int msecs);
    /// True when QML asked for the link to open while it was still creating the object.
    bool connectAfterInit() const;
    /// The mutex that serialises exchanges on this link.
    std::recursive_mutex *mutex();

    /// Setter of the connected property.
    Q_INVOKABLE void setConnected(bool value);

    /// Sends a frame to target and, when answer is given, waits for the reply into it. A client sends to its
    /// one peer, a server to the given peer. False on failure, with the message in error (when given) or
    /// errorString(). Safe from any thread.
    virtual bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                           QString *error = nullptr) = 0;
    /// Whether a server waits for a peer before it counts as connected; false by default.
    virtual bool waitForIncomingConnection() const;
    /// Sends a device event record to target; false when the link carries no events (the default).
    virtual bool sendEventBytes(const ModbusBytes &bytes, const Target *target);
    /// The peer requests go to when none is named; null by default.
    virtual Target *defaultTarget();
    /// Whether target is a peer of this link.
    virtual bool hasTarget(const Target *target) = 0;
    /// Getter of the targetsCount property.
    virtual int targetsCount() const = 0;
    /// Bytes received from target and not yet read.
    virtual int bytesAvailable(const Target *target) = 0;
    /// Whether an exchange through this transport is answered by work on thread, so that a call
    /// made there which waits for such an exchange would wait for itself. False by default.
    virtual bool answersOnThread(const QThread *thread) const;
    /// Called on the answering thread while it waits for exchanges of other threads: does the work
    /// they wait for. Does nothing by default.
    virtual void serveWaitingExchanges();

    /// Called by the QML engine once every property is set; opens the link when QML asked for it.
    void componentComplete() override;

public Q_SLOTS:
    /// Opens the link (on the object's thread); with force also when it seems open already. False with
    /// errorString() on failure.
    virtual bool connectTransport(bool force);
    /// Opens the link, as connectTransport(true).
    bool connectTransport();
    /// Closes the link; automatic reconnection stays off until the next connect.
    virtual bool disconnectTransport();

Q_SIGNALS:
    /// A server got request (hexadecimal text) that no receiver of requestBytesReceived answered; a receiver
    /// may answer it as hexadecimal text in answer.
    void read(QString request, const Target *target, QString &answer);
    /// A frame arrived from target.
    void bytesReceived(ModbusBytes bytes, const Target *target);
    /// A server got the request bytes from target; a receiver connected directly fills answerBytes with the
    /// answer frame.
    void requestBytesReceived(ModbusBytes bytes, const Target *target, ModbusBytes *answerBytes);
    /// A frame went out to target.
    void bytesSent(ModbusBytes bytes, const Target *target);
    /// A peer connected.
    void targetAdded(const Target *target);
    /// A peer went away.
    void targetRemoved(const Target *target);
    /// connected changed.
    void connectedChanged();
    /// targetsCount changed.
    void targetsCountChanged();
    /// autoReconnect changed.
    void autoReconnectChanged();
    /// The link opened.
    void transportConnected();
    /// The link closed or was lost.
    void transportDisconnected();

protected:
    virtual bool connectTransportInternal() = 0;
    virtual bool disconnectTransportInternal() = 0;
    virtual void afterConnected();
    virtual void afterDisconnected();

    using ErrObject::setErrorString;
    void setErrorString(const QString &message, QString *error);
    /// Takes the transport out of every transporter and waits for the exchanges that other threads
    /// are making through it. Every concrete transport calls it first thing in its destructor,
    /// while the whole object still stands; whileWaiting runs between waits, for a transport whose
    /// exchanges need this thread to answer them. A transport must not be destroyed from inside
    /// one of its own exchanges.
    void withdraw(const std::function<void()> &whileWaiting = {});
    /// Withdraws the transport the way its class needs: withdraw() by default. It also runs before
    /// a deferred deletion and when the QML parent goes, so that other threads have let go before
    /// any destructor starts; the first step of a destructor already changes what their calls on
    /// this object dispatch to.
    virtual void retire();
    bool event(QEvent *event) override;
    void setConnectError(const QString &message);
    // linkUp false: the transport has let go of its device already, though it still counts as
    // connected until its disconnect is done.
    bool checkCanSendBytes(const Target *target, QString *error, bool linkUp = true);
    // Whether bytesAvailable() may count for target; a foreign target is reported.
    bool checkCanCountBytes(const Target *target);
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
    // A standard mutex rather than Qt's, whose locking happens inside Qt where thread checkers
    // do not see it.
    std::recursive_mutex m_mutex;
    std::shared_ptr<TransportLifeline> m_lifeline;
};

#endif
