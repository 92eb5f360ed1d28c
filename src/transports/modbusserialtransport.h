#ifndef TAVREXBUS1_MODBUSSERIALTRANSPORT_H
#define TAVREXBUS1_MODBUSSERIALTRANSPORT_H

#include "modbustarget.h"
#include "modbustransport.h"

#include <QtCore/QDateTime>
#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtCore/QMutex>
#include <QtSerialPort/QSerialPort>

class QSerialPortInvokable;
class QThread;
struct SerialPortOptions;

/// Modbus RTU frames over a serial line. The port itself lives on the "Serial port thread";
/// exchanges may be started from any thread and run one at a time.
class TAVREXBUS1_EXPORT ModbusSerialTransport : public ModbusTransport
{
    Q_OBJECT
    Q_PROPERTY(QString port READ port WRITE setPort NOTIFY portChanged)
    Q_PROPERTY(int baudRate READ baudRate WRITE setBaudRate NOTIFY baudRateChanged)
    Q_PROPERTY(DataBits dataBits READ dataBits WRITE setDataBits NOTIFY dataBitsChanged)
    Q_PROPERTY(Parity parity READ parity WRITE setParity NOTIFY parityChanged)
    Q_PROPERTY(StopBits stopBits READ stopBits WRITE setStopBits NOTIFY stopBitsChanged)
    Q_PROPERTY(FlowControl flowControl READ flowControl WRITE setFlowControl NOTIFY flowControlChanged)
    Q_PROPERTY(bool dtr READ dtr WRITE setDtr NOTIFY dtrChanged)
    Q_PROPERTY(bool rts READ rts WRITE setRts NOTIFY rtsChanged)
    Q_PROPERTY(int readTimeout READ readTimeout WRITE setReadTimeout NOTIFY readTimeoutChanged)
    Q_PROPERTY(int writeTimeout READ writeTimeout WRITE setWriteTimeout NOTIFY writeTimeoutChanged)
    Q_PROPERTY(int byteTimeout READ byteTimeout WRITE setByteTimeout NOTIFY byteTimeoutChanged)
    Q_PROPERTY(bool controlRts READ controlRts WRITE setControlRts NOTIFY controlRtsChanged)
    Q_PROPERTY(int sendDelay READ sendDelay WRITE setSendDelay NOTIFY sendDelayChanged)
    Q_PROPERTY(int rtsDelay READ rtsDelay WRITE setRtsDelay NOTIFY rtsDelayChanged)
    Q_PROPERTY(int guardTime READ guardTime WRITE setGuardTime RESET resetGuardTime NOTIFY guardTimeChanged)

public:
    enum DataBits {
        Data5 = QSerialPort::Data5,
        Data6 = QSerialPort::Data6,
        Data7 = QSerialPort::Data7,
        Data8 = QSerialPort::Data8,
        UnknownDataBits = -1
    };
    Q_ENUM(DataBits)
    enum Parity {
        NoParity = QSerialPort::NoParity,
        EvenParity = QSerialPort::EvenParity,
        OddParity = QSerialPort::OddParity,
        SpaceParity = QSerialPort::SpaceParity,
        MarkParity = QSerialPort::MarkParity,
        UnknownParity = -1
    };
    Q_ENUM(Parity)
    enum StopBits {
        OneStop = QSerialPort::OneStop,
        OneAndHalfStop = QSerialPort::OneAndHalfStop,
        TwoStop = QSerialPort::TwoStop,
        UnknownStopBits = -1
    };
    Q_ENUM(StopBits)
    enum FlowControl {
        NoFlowControl = QSerialPort::NoFlowControl,
        HardwareControl = QSerialPort::HardwareControl,
        SoftwareControl = QSerialPort::SoftwareControl,
        UnknownFlowControl = -1
    };
    Q_ENUM(FlowControl)

    explicit ModbusSerialTransport(TavrexBus::BusType busType, QObject *parent = nullptr);
    ~ModbusSerialTransport() override;

    static QString dataBitsStr(int value);
    static QString parityStr(int value);
    static QString stopBItsStr(int value);
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
    int minRtsDelay() const;
    int computedByteTimeout() const;
    /// Client role: after a read timeout the device may still answer. Whatever arrives within
    /// guardTime milliseconds of the timeout (and until the line falls silent) is dropped before
    /// the next request goes out, so a late answer never stands in for the next one. Follows
    /// readTimeout until set; 0 turns the guard off. Costs nothing while answers come in time.
    int guardTime() const;
    /// A negative value follows readTimeout again, as resetGuardTime() does.
    void setGuardTime(int msecs);
    void resetGuardTime();

    ModbusTarget *target();
    Target *clientTarget() override;
    bool hasTarget(const Target *target) override;
    int targetsCount() const override;
    int bytesAvailable(const Target *target) override;
    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                   QString *error = nullptr) override;
    ModbusParser *createParser(QObject *parent) override;
    ModbusDeparser *createDeparser(QObject *parent) override;
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
    /// controlRts changed to controlRts.
    void controlRtsChanged(bool controlRts);
    /// sendDelay changed to sendDelay.
    void sendDelayChanged(int sendDelay);
    /// rtsDelay changed to rtsDelay.
    void rtsDelayChanged(int rtsDelay);
    void minRtsDelayChanged(int minRtsDelay);
    /// guardTime changed to guardTime.
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
    QMutex m_sendMutex;
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
