#ifndef TAVREXBUS1_QSERIALPORTINVOKABLE_H
#define TAVREXBUS1_QSERIALPORTINVOKABLE_H

#include "tavrexbus1global.h"

#include <QtCore/QObject>
#include <QtSerialPort/QSerialPort>

// Line settings handed to the port thread in one piece; each enumeration is kept as its
// QSerialPort value.
struct TAVREXBUS1_EXPORT SerialPortOptions
{
    int baudRate = 19200;
    int dataBits = QSerialPort::Data8;
    int parity = QSerialPort::NoParity;
    int stopBits = QSerialPort::OneStop;
    int flowControl = QSerialPort::NoFlowControl;
    bool dtr = false;
};
Q_DECLARE_METATYPE(SerialPortOptions)

// Owns a QSerialPort on the thread it lives in. Every operation may be called from any
// thread: a call from elsewhere is carried into the port's thread and waits for its result.
class TAVREXBUS1_EXPORT QSerialPortInvokable : public QObject
{
    Q_OBJECT

public:
    // What one request/answer exchange left behind.
    struct Exchange
    {
        QByteArray answer;
        QString lostError;    // set when the device went away, or could not be reached, during the exchange
        bool rtsRefused = false;
    };

    explicit QSerialPortInvokable(const QString &portName, QObject *parent = nullptr);

    Q_INVOKABLE void setPortName(const QString &name);
    Q_INVOKABLE qint64 write(const QByteArray &data);
    Q_INVOKABLE bool waitForBytesWritten(int msecs);
    Q_INVOKABLE bool waitForReadyRead(int msecs);
    Q_INVOKABLE QByteArray readAll();
    Q_INVOKABLE bool open(QIODevice::OpenMode mode);
    Q_INVOKABLE void close();
    Q_INVOKABLE void clearInput();
    Q_INVOKABLE QString errString();
    Q_INVOKABLE bool setOptions(const SerialPortOptions &options, QString *returnErrorString);
    Q_INVOKABLE bool setOptions(const SerialPortOptions &options);
    Q_INVOKABLE bool rts();
    Q_INVOKABLE bool setRts(bool value);
    Q_INVOKABLE qint64 bytesAvailable();
    Q_INVOKABLE QByteArray writeAndRead(const QByteArray &data, int readTimeout, int byteTimeout, bool controlRts,
                                        int rtsDelay);

    // Baud rate, data bits, parity, stop bits and flow control: a refusal fails the port.
    bool setLineOptions(const SerialPortOptions &options, QString *returnErrorString);
    // Modem lines: many ports (pseudo-terminals, some adapters) have none. The first refusal
    // after opening is reported; from then on the lines are left alone.
    bool setDtr(bool value, QString *returnErrorString);
    // Drops what arrives within msecs, then for as long as bytes keep coming within quietMsecs
    // (at most msecs more); returns how many bytes were dropped.
    qint64 discardInput(int msecs, int quietMsecs);
    // Writes data and collects the answer; a negative readTimeout writes only. An exchange that
    // waits for an answer drops pending input first: nothing sent before the request answers it.
    Exchange exchange(const QByteArray &data, int readTimeout, int byteTimeout, bool controlRts, int rtsDelay);

    QSerialPort *innerSerialPort();

Q_SIGNALS:
    void readyRead();
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
