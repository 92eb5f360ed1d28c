#ifndef TAVREXBUS1_USBBULKDEVICE_H
#define TAVREXBUS1_USBBULKDEVICE_H

#include "tavrexbus1global.h"

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QString>

#include <memory>

struct libusb_device_handle;
class UsbSession;

/// One USB device opened through libusb for bulk transfers. Not thread-safe: its owner
/// serialises every call (the USB transport holds its transport mutex around each).
class TAVREXBUS1_EXPORT UsbBulkDevice : public QObject
{
    Q_OBJECT

public:
    /// A closed device.
    explicit UsbBulkDevice(QObject *parent = nullptr);
    ~UsbBulkDevice() override;

    /// Opens the first device with these identifiers whose serial number is serialNumber (any
    /// device when it is empty) and sets its configuration. On success serialNumber is the
    /// opened device's; on failure errorText() tells why.
    bool open(quint16 vid, quint16 pid, int configuration, QString &serialNumber);
    /// Releases the claimed interface and closes the device; quiet keeps errorText() as it is.
    void close(bool quiet = false);
    /// Whether a device is open.
    bool isOpen() const;

    /// Makes configuration the device's active one.
    bool setConfiguration(int configuration);
    /// Claims interface for this process, releasing another claimed one first; a no-op when claimed.
    bool selectInterface(int interface);
    /// Releases the claimed interface, if any.
    bool releaseInterface();
    /// The IN (bit 7 set) or OUT endpoint addresses of alternate setting 0 of interface, in descriptor order.
    QList<quint8> inEndpoints(int interface);
    /// The OUT endpoint addresses of alternate setting 0 of interface, in descriptor order.
    QList<quint8> outEndpoints(int interface);

    /// At most maxSize bytes from endpoint within timeout ms; empty on error or time-out, but
    /// what arrived before a time-out is returned.
    QByteArray bulkRead(int maxSize, quint8 endpoint, int timeout);
    /// Writes data to endpoint within timeout ms; the bytes written, or a negative libusb error.
    int bulkWrite(const QByteArray &data, quint8 endpoint, int timeout);

    /// The last error's text.
    QString errorText() const;
    /// The device has gone from the bus (unplugged): only a new open can reach it again.
    bool deviceLost() const;

    /// "VID = 0x… PID = 0x…" for every device on the buses.
    static QStringList devicesList();

private:
    QList<quint8> endpoints(int interface, bool in);
    void setError(const QString &text, int code = 0);

    libusb_device_handle *m_handle = nullptr;
    int m_claimedInterface = -1;
    QByteArray m_readBuffer;
    QString m_errorText;
    int m_lastError = 0;
    std::unique_ptr<UsbSession> m_session;
};

#endif
