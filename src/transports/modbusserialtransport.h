#ifndef TAVREXBUS1_MODBUSSERIALTRANSPORT_H
#define TAVREXBUS1_MODBUSSERIALTRANSPORT_H

#include "modbustarget.h"
#include "modbustransport.h"

#include <QtCore/QDateTime>
#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtSerialPort/QSerialPort>

#include <mutex>

class QSerialPortInvokable;
class QThread;
struct SerialPortOptions;

/// Modbus RTU frames over a serial line. The port itself lives on the "Serial port thread";
/// exchanges may be started from any thread and run one at a time.
///
/// Registered in QML as the uncreatable type `ModbusSerialTransport` (`import TavrexBus 1.0`), so that QML sees
/// its
/// properties and enumerations.
class TAVREXBUS1_EXPORT ModbusSerialTransport : public ModbusTransport
{
    Q_OBJECT
    /// Serial device name (such as /dev/ttyUSB0); the first port of the host by default.
    Q_PROPERTY(QString port READ port WRITE setPort NOTIFY portChanged)
    /// Line speed, in bit/s; 19200 by default.
    Q_PROPERTY(int baudRate READ baudRate WRITE setBaudRate NOTIFY baudRateChanged)
    /// Data bits per character; 8 by default.
    Q_PROPERTY(DataBits dataBits READ dataBits WRITE setDataBits NOTIFY dataBitsChanged)
    /// Parity; none by default.
    Q_PROPERTY(Parity parity READ parity WRITE setParity NOTIFY parityChanged)
    /// Stop bits; one by default.
    Q_PROPERTY(StopBits stopBits READ stopBits WRITE setStopBits NOTIFY stopBitsChanged)
    /// Flow control; none by default.
    Q_PROPERTY(FlowControl flowControl READ flowControl WRITE setFlowControl NOTIFY flowControlChanged)
    /// Level of the data terminal ready line; false by default.
    Q_PROPERTY(bool dtr READ dtr WRITE setDtr NOTIFY dtrChanged)
    /// Static level of the request to send line; false by default.
    Q_PROPERTY(bool rts READ rts WRITE setRts NOTIFY rtsChanged)
    /// How long to wait for the first answer byte, in milliseconds; 500 by default.
    Q_PROPERTY(int readTimeout READ readTimeout WRITE setReadTimeout NOTIFY readTimeoutChanged)
    /// Write timeout in milliseconds, shown in diagnostics; writes wait without limit. 500 by default.
    Q_PROPERTY(int writeTimeout READ writeTimeout WRITE setWriteTimeout NOTIFY writeTimeoutChanged)
    /// Silence between bytes that ends a frame, in milliseconds; computed from the line settings (20 at 19200
    /// baud) until set.
    Q_PROPERTY(int byteTimeout READ byteTimeout WRITE setByteTimeout NOTIFY byteTimeoutChanged)
    /// Raise RTS around each send, for RS-485 direction control; true by default.
    Q_PROPERTY(bool controlRts READ controlRts WRITE setControlRts NOTIFY controlRtsChanged)
    /// Least pause between the end of one exchange and the next send, in milliseconds; 2 by default.
    Q_PROPERTY(int sendDelay READ sendDelay WRITE setSendDelay NOTIFY sendDelayChanged)
    /// How long RTS stays raised after a write has finished, in milliseconds; computed from the line settings
    /// until set.
    Q_PROPERTY(int rtsDelay READ rtsDelay WRITE setRtsDelay NOTIFY rtsDelayChanged)
    /// Client role: how long after a read timeout late answer bytes are dropped, in milliseconds; follows
    /// readTimeout until set, 0 turns it off.
    Q_PROPERTY(int guardTime READ guardTime WRITE setGuardTime RESET resetGuardTime NOTIFY guardTimeChanged)

public:
    /// Data bits per character, as QSerialPort counts them.
    enum DataBits {
        Data5 = QSerialPort::Data5,
        Data6 = QSerialPort::Data6,
        Data7 = QSerialPort::Data7,
        Data8 = QSerialPort::Data8,
        UnknownDataBits = -1
    };
    Q_ENUM(DataBits)
    /// Parity, as QSerialPort names it.
    enum Parity {
        NoParity = QSerialPort::NoParity,
        EvenParity = QSerialPort::EvenParity,
        OddParity = QSerialPort::OddParity,
        SpaceParity = QSerialPort::SpaceParity,
        MarkParity = QSerialPort::MarkParity,
        UnknownParity = -1
    };
    Q_ENUM(Parity)
    /// Stop bits, as QSerialPort names them.
    enum StopBits {
        OneStop = QSerialPort::OneStop,
        OneAndHalfStop = QSerialPort::OneAndHalfStop,
        TwoStop = QSerialPort::TwoStop,
        UnknownStopBits = -1
    };
    Q_ENUM(StopBits)
    /// Flow control, as QSerialPort names it.
    enum FlowControl {
        NoFlowControl = QSerialPort::NoFlowControl,
        HardwareControl = QSerialPort::HardwareControl,
        SoftwareControl = QSerialPort::SoftwareControl,
        UnknownFlowControl = -1
    };
    Q_ENUM(FlowControl)

    /// A serial link in the role busType, on the host's first port.
    explicit ModbusSerialTransport(TavrexBus::BusType busType, QObject *parent = nullptr);
    ~ModbusSerialTransport() override;

    /// A readable name of a DataBits value, for diagnostics.
    static QString dataBitsStr(int value);
    /// A readable name of a Parity value, for diagnostics.
    static QString parityStr(int value);
    /// A readable name of a StopBits value, for diagnostics.
    static QString stopBItsStr(int value);
    /// A readable name of a FlowControl value, for diagnostics.
    static QString flowControlStr(int value);

    /// Getter of the port property.
    QString port() const;
    /// Setter of the port property.
    void setPort(const QString &port);
    /// Getter of the baudRate property.
    int baudRate() const;
    /// Setter of the baudRate property.
    void setBaudRate(int baudRate);
    /// Getter of the dataBits property.
    DataBits dataBits() const;
    /// Setter of the dataBits property.
    void setDataBits(DataBits dataBits);
    /// Getter of the parity property.
    Parity parity() const;
    /// Setter of the parity property.
    void setParity(Parity parity);
    /// Getter of the stopBits property.
    StopBits stopBits() const;
    /// Setter of the stopBits property.
    void setStopBits(StopBits stopBits);
    /// Getter of the flowControl property.
    FlowControl flowControl() const;
    /// Setter of the flowControl property.
    void setFlowControl(FlowControl flowControl);
    /// Getter of the dtr property.
    bool dtr() const;
    /// Setter of the dtr property.
    void setDtr(bool dtr);
    /// Getter of the rts property.
    bool rts() const;
    /// Setter of the rts property.
    void setRts(bool rts);
    /// Getter of the readTimeout property.
    int readTimeout() const;
    /// Setter of the readTimeout property.
    void setReadTimeout(int msecs);
    /// Getter of the writeTimeout property.
    int writeTimeout() const;
    /// Setter of the writeTimeout property.
    void setWriteTimeout(int msecs);
    /// Getter of the byteTimeout property.
    int byteTimeout() const;
    /// Setter of the byteTimeout property.
    void setByteTimeout(int msecs);
    /// Getter of the controlRts property.
    bool controlRts() const;
    /// Getter of the sendDelay property.
    int sendDelay() const;
    /// Getter of the rtsDelay property.
    int rtsDelay() const;
    /// The RTS hold time last computed from the line settings, in milliseconds.
    int minRtsDelay() const;
    /// The frame-ending silence the line settings give, in milliseconds.
    int computedByteTimeout() const;
    /// Client role: after a read timeout the device may still answer. Whatever arrives within
    /// guardTime milliseconds of the timeout (and until the line falls silent) is dropped before
    /// the next request goes out, so a late answer never stands in for the next one. Follows
    /// readTimeout until set; 0 turns the guard off. Costs nothing while answers come in time.
    int guardTime() const;
    /// A negative value follows readTimeout again, as resetGuardTime() does.
    void setGuardTime(int msecs);
    /// Makes guardTime follow readTimeout again.
    void resetGuardTime();

    /// The one peer of the line.
    ModbusTarget *target();
    Target *clientTarget() override;
    /// 1 in both roles: the line has its one peer.
    int targetsCount() const override;
    int bytesAvailable(const Target *target) override;
    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                   QString *error = nullptr) override;
    QString toString(bool oneLine = false) const override;

public Q_SLOTS:
    /// Setter of the controlRts property.
    void setControlRts(bool value);
    /// Setter of the sendDelay property.
    void setSendDelay(int msecs);
    /// Setter of the rtsDelay property.
    void setRtsDelay(int msecs);

Q_SIGNALS:
    /// port changed.
    void portChanged();
    /// baudRate changed.
    void baudRateChanged();
    /// dataBits changed.
    void dataBitsChanged();
    /// parity changed.
    void parityChanged();
    /// stopBits changed.
    void stopBitsChanged();
    /// flowControl changed.
    void flowControlChanged();
    /// dtr changed.
    void dtrChanged();
    /// rts changed.
    void rtsChanged();
    /// readTimeout changed.
    void readTimeoutChanged();
    /// writeTimeout changed.
    void writeTimeoutChanged();
    /// byteTimeout changed.
    void byteTimeoutChanged();
    /// controlRts changed; the new value is passed.
    void controlRtsChanged(bool controlRts);
    /// sendDelay changed; the new value is passed.
    void sendDelayChanged(int sendDelay);
    /// rtsDelay changed; the new value is passed.
    void rtsDelayChanged(int rtsDelay);
    /// The computed RTS hold time changed.
    void minRtsDelayChanged(int minRtsDelay);
    /// guardTime changed; the new value is passed.
    void guardTimeChanged(int guardTime);

protected:
    bool connectTransportInternal() override;
    bool disconnectTransportInternal() override;

private Q_SLOTS:
    void onReadyRead();
    void onFrameGap();

private:
    void serveRequest();
    SerialPortOptions options() const;
    bool applyOptions();
    void lineSettingChanged();
    void calcDelays();
    void onPortLost(const QString &message);
    void keepGuard();

    QString m_port;
    ModbusTarget m_target;
    int m_readTimeout = 500;
    int m_writeTimeout = 500;
    int m_byteTimeout = 0;
    int m_computedByteTimeout = 0;
    int m_baudRate = 19200;
    DataBits m_dataBits = Data8;
    Parity m_parity = NoParity;
    StopBits m_stopBits = OneStop;
    FlowControl m_flowControl = NoFlowControl;
    bool m_dtr = false;
    bool m_rts = false;
    std::mutex m_sendMutex;
    ModbusParser *m_parser = nullptr;
    ModbusBytes m_requestBuffer;
    QElapsedTimer m_gapTimer;
    QTimer *m_frameEndTimer = nullptr;
    QDateTime m_lastReceiveTime;
    QElapsedTimer m_sendTimer;
    bool m_firstSend = true;
    int m_sendDelay = 2;
    QSerialPortInvokable *m_serialPort = nullptr;
    QThread *m_portThread = nullptr;
    bool m_controlRts = true;
    bool m_rtsDelaySet = false;
    bool m_byteTimeoutSet = false;
    int m_rtsDelay = 0;
    int m_minRtsDelay = 0;
    int m_guardTime = -1;           // negative: follow m_readTimeout
    QElapsedTimer m_guardTimer;     // running from a read timeout until the next request
};

#endif
