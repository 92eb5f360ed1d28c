#ifndef TAVREXBUS1_MODBUSC55CLIENT_H
#define TAVREXBUS1_MODBUSC55CLIENT_H

#include "modbustarget.h"
#include "modbustransport.h"

#include <atomic>

/// Modbus RTU frames to a meter behind the C55 character device of a Linux host: a request is
/// written to the device node and the answer read back from it; bytes the device offers between
/// exchanges are its events. Elsewhere, or without the device node, it refuses to connect.
///
/// Available in QML as `ModbusC55Client` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusC55Client : public ModbusTransport
{
    Q_OBJECT
    /// The device node of the C55 facility, "/dev/c55" unless set; used at the next connect.
    Q_PROPERTY(QString devicePath READ devicePath WRITE setDevicePath NOTIFY devicePathChanged)

public:
    /// A closed link to the C55 device node.
    explicit ModbusC55Client(QObject *parent = nullptr);
    ~ModbusC55Client() override;

    /// Getter of the devicePath property.
    QString devicePath() const;
    /// Setter of the devicePath property.
    void setDevicePath(const QString &path);
    /// Milliseconds to wait for an answer.
    int readTimeout() const;
    /// Sets how long to wait for an answer, in milliseconds.
    void setReadTimeout(int msecs);
    /// Milliseconds to wait until the device takes a request.
    int writeTimeout() const;
    /// Sets how long to wait until the device takes a request, in milliseconds.
    void setWriteTimeout(int msecs);

    /// Takes the device from this transport until unlockTransport(), for another user of the
    /// facility: requests and event polls of other threads wait meanwhile. Call both on one thread.
    Q_INVOKABLE void lockTransport();
    /// Gives the device back after lockTransport(), reopening it when it was open.
    Q_INVOKABLE void unlockTransport();

    /// The one peer of this link.
    ModbusTarget *target();
    Target *clientTarget() override;
    /// Always 0: every exchange reads the device's whole answer.
    int bytesAvailable(const Target *target) override;
    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                   QString *error = nullptr) override;
    QString toString(bool oneLine = false) const override;

Q_SIGNALS:
    /// devicePath changed.
    void devicePathChanged();

protected:
    bool connectTransportInternal() override;
    bool disconnectTransportInternal() override;
    bool readEventBytes(ModbusBytes &bytes, QString *error) override;

private:
    bool writeAll(const ModbusBytes &bytes);
    QByteArray readPending(int timeout);

    ModbusTarget m_target;
    std::atomic<int> m_readTimeout{3000};
    std::atomic<int> m_writeTimeout{3000};
    ModbusBytes m_buffer;
    bool m_wasConnected = false;
    QString m_devicePath;
    int m_fd = -1;
    // Bytes found waiting before a request: events, kept for the next event poll.
    ModbusBytes m_pendingEvents;
};

#endif
