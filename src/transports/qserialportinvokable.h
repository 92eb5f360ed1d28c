#ifndef TAVREXBUS1_QSERIALPORTINVOKABLE_H
#define TAVREXBUS1_QSERIALPORTINVOKABLE_H

#include "tavrexbus1global.h"

#include <QtCore/QObject>
#include <QtSerialPort/QSerialPort>

/// Line settings handed to the port thread in one piece; each enumeration is kept as its
/// QSerialPort value.
struct TAVREXBUS1_EXPORT SerialPortOptions
{
    /// Line speed, in bit/s.
    int baudRate = 19200;
    /// A QSerialPort::DataBits value.
    int dataBits = QSerialPort::Data8;
    /// A QSerialPort::Parity value.
    int parity = QSerialPort::NoParity;
    /// A QSerialPort::StopBits value.
    int stopBits = QSerialPort::OneStop;
    /// A QSerialPort::FlowControl value.
    int flowControl = QSerialPort::NoFlowControl;
    /// Level of the data terminal ready line.
    bool dtr = false;
};
Q_DECLARE_METATYPE(SerialPortOptions)

/// Owns a QSerialPort on the thread it lives in. Every operation may be called from any
/// thread: a call from elsewhere is carried into the port's thread and waits for its result.
class TAVREXBUS1_EXPORT QSerialPortInvokable : public QObject
{
    Q_OBJECT

public:
    /// What one request/answer exchange left behind.
    struct Exchange
    {
        /// The bytes that answered.
        QByteArray answer;
        /// Set when the device went away, or could not be reached, during the exchange.
        QString lostError;
        /// True when the port refused to drive RTS.
        bool rtsRefused = false;
    };

    /// A closed port named portName.
    explicit QSerialPortInvokable(const QString &portName, QObject *parent = nullptr);

    /// Names the port to open next.
    Q_INVOKABLE void setPortName(const QString &name);
    /// Writes data; the number of bytes written, or -1.
    Q_INVOKABLE qint64 write(const QByteArray &data);
    /// Waits up to msecs for the write to finish.
    Q_INVOKABLE bool waitForBytesWritten(int msecs);
    /// Waits up to msecs for input.
    Q_INVOKABLE bool waitForReadyRead(int msecs);
    /// Everything received so far.
    Q_INVOKABLE QByteArray readAll();
    /// Opens the port in mode.
    Q_INVOKABLE bool open(QIODevice::OpenMode mode);
    /// Closes the port.
    Q_INVOKABLE void close();
    /// Drops pending input.
    Q_INVOKABLE void clearInput();
    /// The port's last error message.
    Q_INVOKABLE QString errString();
    /// Applies the line settings and the DTR level; false with returnErrorString on refusal.
    Q_INVOKABLE bool setOptions(const SerialPortOptions &options, QString *returnErrorString);
    /// Applies the line settings and the DTR level.
    Q_INVOKABLE bool setOptions(const SerialPortOptions &options);
    /// The RTS level.
    Q_INVOKABLE bool rts();
    /// Sets the RTS level; false when the port refuses.
    Q_INVOKABLE bool setRts(bool value);
    /// Bytes received and not read.
    Q_INVOKABLE qint64 bytesAvailable();
    /// Writes data and collects the answer, as exchange() does, and returns the answer.
    Q_INVOKABLE QByteArray writeAndRead(const QByteArray &data, int readTimeout, int byteTimeout, bool controlRts,
                                        int rtsDelay);

    /// Baud rate, data bits, parity, stop bits and flow control: a refusal fails the port.
    bool setLineOptions(const SerialPortOptions &options, QString *returnErrorString);
    /// Modem lines: many ports (pseudo-terminals, some adapters) have none. The first refusal
    /// after opening is reported; from then on the lines are left alone.
    bool setDtr(bool value, QString *returnErrorString);
    /// Drops what arrives within msecs, then for as long as bytes keep coming within quietMsecs
    /// (at most msecs more); returns how many bytes were dropped.
    qint64 discardInput(int msecs, int quietMsecs);
    /// Writes data and collects the answer; a negative readTimeout writes only. An exchange that
    /// waits for an answer drops pending input first: nothing sent before the request answers it.
    Exchange exchange(const QByteArray &data, int readTimeout, int byteTimeout, bool controlRts, int rtsDelay);

    /// The QSerialPort itself; use it only on the port's thread.
    QSerialPort *innerSerialPort();

Q_SIGNALS:
    /// Input arrived.
    void readyRead();
    /// The device went away; message tells why.
    void portLost(const QString &message);

private:
    void onErrorOccurred(QSerialPort::SerialPortError error);
    // A waiting read does not wake for a vanished device, so it is asked after a silent exchange.
    bool hungUp() const;
    void dropPendingInput();
    bool setModemLine(bool (QSerialPort::*setter)(bool), bool value);

    QSerialPort *m_port;
    bool m_modemLinesUsable = true;
};

#endif
