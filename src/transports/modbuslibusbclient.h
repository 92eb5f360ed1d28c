#ifndef TAVREXBUS1_MODBUSLIBUSBCLIENT_H
#define TAVREXBUS1_MODBUSLIBUSBCLIENT_H

#include "modbustarget.h"
#include "modbustransport.h"

#include <atomic>

class UsbBulkDevice;

/// Modbus RTU frames to a meter on the USB bus, through libusb bulk transfers: requests go out on
/// the device's first OUT endpoint, answers come back on its first IN endpoint and device events
/// on its second. Requests (any thread) and event polls share the device under the transport mutex.
///
/// Available in QML as `ModbusLibusbClient` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusLibusbClient : public ModbusTransport
{
    Q_OBJECT
    // QML cannot assign 16-bit properties: the identifiers show there as int.
    /// USB vendor identifier of the device to open.
    Q_PROPERTY(int vid READ vid WRITE setVid NOTIFY vidChanged)
    /// USB product identifier of the device to open.
    Q_PROPERTY(int pid READ pid WRITE setPid NOTIFY pidChanged)
    /// Serial number of the device to open; empty opens the first device with vid and pid.
    Q_PROPERTY(QString serialNumber READ serialNumber WRITE setSerialNumber NOTIFY serialNumberChanged)
    /// When false, a serial number that no device has falls back to any device with vid and pid.
    Q_PROPERTY(bool strictSerialNumber READ strictSerialNumber WRITE setStrictSerialNumber
               NOTIFY strictSerialNumberChanged)
    /// Milliseconds to wait for an answer.
    Q_PROPERTY(int readTimeout READ readTimeout WRITE setReadTimeout NOTIFY readTimeoutChanged)
    /// Milliseconds to wait for a request to be taken by the device.
    Q_PROPERTY(int writeTimeout READ writeTimeout WRITE setWriteTimeout NOTIFY writeTimeoutChanged)

public:
    /// A closed USB link; set vid, pid and serialNumber before connecting.
    explicit ModbusLibusbClient(QObject *parent = nullptr);
    ~ModbusLibusbClient() override;

    /// Getter of the vid property.
    quint16 vid() const;
    /// Getter of the pid property.
    quint16 pid() const;
    /// Getter of the serialNumber property.
    QString serialNumber() const;
    /// Getter of the strictSerialNumber property.
    bool strictSerialNumber() const;
    /// Getter of the readTimeout property.
    int readTimeout() const;
    /// Getter of the writeTimeout property.
    int writeTimeout() const;

    /// The one peer of this link.
    ModbusTarget *target();
    Target *clientTarget() override;
    /// Always 0: every exchange reads the device's whole answer.
    int bytesAvailable(const Target *target) override;
    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                   QString *error = nullptr) override;
    QString toString(bool oneLine = false) const override;

public Q_SLOTS:
    /// Setter of the vid property.
    void setVid(quint16 vid);
    /// Setter of the pid property.
    void setPid(quint16 pid);
    /// Setter of the serialNumber property.
    void setSerialNumber(const QString &serialNumber);
    /// Setter of the strictSerialNumber property.
    void setStrictSerialNumber(bool strict);
    /// Setter of the writeTimeout property.
    void setWriteTimeout(int msecs);
    /// Setter of the readTimeout property.
    void setReadTimeout(int msecs);

Q_SIGNALS:
    /// vid changed; the new value is passed.
    void vidChanged(quint16 vid);
    /// pid changed; the new value is passed.
    void pidChanged(quint16 pid);
    /// serialNumber changed; the new value is passed.
    void serialNumberChanged(const QString &serialNumber);
    /// strictSerialNumber changed; the new value is passed.
    void strictSerialNumberChanged(bool strictSerialNumber);
    /// readTimeout changed; the new value is passed.
    void readTimeoutChanged(int readTimeout);
    /// writeTimeout changed; the new value is passed.
    void writeTimeoutChanged(int writeTimeout);

protected:
    bool connectTransportInternal() override;
    bool disconnectTransportInternal() override;
    bool readEventBytes(ModbusBytes &bytes, QString *error) override;

private:
    void dropLink();

    ModbusTarget m_target;
    std::atomic<int> m_readTimeout{3000};
    std::atomic<int> m_writeTimeout{3000};
    quint8 m_readEndpoint = 0;
    quint8 m_writeEndpoint = 0;
    quint8 m_eventEndpoint = 0;
    UsbBulkDevice *m_device = nullptr;
    quint16 m_vid = 0x6A3D;
    quint16 m_pid = 0x2C05;
    QString m_serialNumber;
    bool m_strictSerialNumber = true;
};

#endif
