#ifndef MODBUSER_H
#define MODBUSER_H

#include "errobject.h"
#include "modbusbytes.h"
#include "modbusbytesarray.h"
#include "modbustranslator.h"
#include "qtavrexobject.h"
#include "tavrexbus.h"

#include <QtCore/QDateTime>
#include <QtCore/QList>
#include <QtNetwork/QHostAddress>

#include <memory>

class ModbusPacketArch;
class ModbusPacketArchPresence;
class ModbusPacketFile;
class ModbusPacketReg;
class ModbusC55Client;
class ModbusLibusbClient;
class ModbusTcpClient;
class ModbusTcpServer;
class ModbusTransport;
class ModbusTransporter;

/// The request engine. As a client it offers blocking, typed Modbus operations, each one request
/// and its checked answer; failures come back as false (or 0) with the reason in errorString().
/// As a server it turns incoming requests into handler signals and answers with what the handlers
/// filled in. Handlers must run inside the emission: connect them directly, or blocking from
/// another thread.
class TAVREXBUS1_EXPORT Modbuser : public ErrObject, public QTavrexObject
{
    Q_OBJECT

public:
    explicit Modbuser(QObject *parent = nullptr);
    ~Modbuser() override;

    ModbusTranslator &translator();
    ModbusTransporter *transporter() const;
    void setTransporter(ModbusTransporter &transporter);
    ModbusTransport *clientTransport() const;
    void setClientTransport(ModbusTransport *transport);
    ModbusTransport *getTransport(const ModbusTarget *target) const;
    bool connectTransports();
    bool disconnectTransports();
    /// Modbus/TCP links made here belong to the transporter.
    ModbusTcpClient *addModbusTcpClient(const QHostAddress &address, int port);
    ModbusTcpServer *addModbusTcpServer(const QHostAddress &address, int port);
    /// USB links made here belong to the transporter; set vid, pid and serial number before connecting.
    ModbusLibusbClient *addModbusLibusbClient();
    ModbusC55Client *addModbusC55Client();
    quint8 deviceAddress() const;
    void setDeviceAddress(quint8 address);

    QString toString(bool oneLine = false) const override;

    /// Registers. Addresses are logical register numbers (400001…, 300001…).
    bool readRegisters(quint32 address, quint16 count, ModbusBytes &out, const ModbusTarget *target = nullptr);
    bool readRegisters(quint32 address, quint16 count, ModbusBytesArray &out,
                       const ModbusTarget *target = nullptr);
    bool readRegister(quint32 address, quint16 &out, const ModbusTarget *target = nullptr);
    bool readRegister(quint32 address, ModbusBytes &out, const ModbusTarget *target = nullptr);
    bool readRegister(quint32 address, ModbusBytesArray &out, const ModbusTarget *target = nullptr);
    bool readHoldingRegister(quint16 absAddress, quint16 &out, const ModbusTarget *target = nullptr);
    bool readInputRegister(quint16 absAddress, quint16 &out, const ModbusTarget *target = nullptr);
    bool readUInt16(quint32 address, quint16 &out, const ModbusTarget *target = nullptr);
    bool readInt16(quint32 address, qint16 &out, const ModbusTarget *target = nullptr);
    bool readUInt32(quint32 address, quint32 &out, const ModbusTarget *target = nullptr);
    bool readInt32(quint32 address, qint32 &out, const ModbusTarget *target = nullptr);
    bool readFloat(quint32 address, float &out, const ModbusTarget *target = nullptr);
    bool readUInt64(quint32 address, quint64 &out, const ModbusTarget *target = nullptr);
    bool readInt64(quint32 address, qint64 &out, const ModbusTarget *target = nullptr);
    bool readDouble(quint32 address, double &out, const ModbusTarget *target = nullptr);
    bool readDoubleStruct(quint32 address, double &out, const ModbusTarget *target = nullptr);
    bool readString(quint32 address, quint16 count, QString &out, const ModbusTarget *target = nullptr);

    bool writeRegisters(quint32 address, const ModbusBytes &values, const ModbusTarget *target = nullptr);
    bool writeRegister(quint32 address, quint16 value, const ModbusTarget *target = nullptr);
    bool writeUInt16(quint32 address, quint16 value, const ModbusTarget *target = nullptr);
    bool writeInt16(quint32 address, qint16 value, const ModbusTarget *target = nullptr);
    bool writeUInt8(quint32 address, quint8 value, const ModbusTarget *target = nullptr);
    bool writeInt8(quint32 address, qint8 value, const ModbusTarget *target = nullptr);
    bool writeUInt(quint32 address, quint32 value, const ModbusTarget *target = nullptr);
    bool writeInt(quint32 address, qint32 value, const ModbusTarget *target = nullptr);
    bool writeFloat(quint32 address, float value, const ModbusTarget *target = nullptr);
    bool writeUInt64(quint32 address, quint64 value, const ModbusTarget *target = nullptr);
    bool writeInt64(quint32 address, qint64 value, const ModbusTarget *target = nullptr);
    bool writeDouble(quint32 address, double value, const ModbusTarget *target = nullptr);
    bool writeDoubleStruct(quint32 address, double value, const ModbusTarget *target = nullptr);
    bool writeStringUtf8(quint32 address, const QString &text, const ModbusTarget *target = nullptr);
    bool writeStringAnsi(quint32 address, const QString &text, bool asRegs = false,
                         const ModbusTarget *target = nullptr);
    bool writeStringAnsi(quint32 address, const char *text, bool asRegs = false,
                         const ModbusTarget *target = nullptr);

    /// Report, device name and file registers.
    bool getReport(ModbusBytes &out, const ModbusTarget *target = nullptr);
    bool getDevName(QString &out, const ModbusTarget *target = nullptr);
    bool readFile(quint8 file, quint16 offset, quint8 count, ModbusBytes &out,
                  const ModbusTarget *target = nullptr);
    bool writeFile(quint8 file, quint16 offset, const ModbusBytes &data, const ModbusTarget *target = nullptr);

    /// Archive label presence (function 66). readArchPresence appends to out.
    bool readArchPresence(quint16 archIndex, quint32 label, TavrexBus::ArchType archType, ModbusBytes &out,
                          TavrexBus::ArchDirection direction = TavrexBus::Forward, quint16 labelsCount = 1,
                          const ModbusTarget *target = nullptr);
    bool readArchPresence(quint16 archIndex, quint32 label, TavrexBus::ArchType archType,
                          ModbusBytesArray &out, TavrexBus::ArchDirection direction = TavrexBus::Forward,
                          quint16 labelsCount = 1, const ModbusTarget *target = nullptr);
    bool getNearestLabel(quint16 archIndex, TavrexBus::ArchType archType, quint32 label, quint32 &out,
                         TavrexBus::ArchDirection direction, bool *found = nullptr,
                         const ModbusTarget *target = nullptr);
    bool getFirstLabel(quint16 archIndex, TavrexBus::ArchType archType, quint32 &out, bool *found = nullptr,
                       const ModbusTarget *target = nullptr);
    bool getLastLabel(quint16 archIndex, TavrexBus::ArchType archType, quint32 &out, bool *found = nullptr,
                      const ModbusTarget *target = nullptr);
    bool getFirstIndexLabel(quint16 archIndex, quint32 &out, bool *found = nullptr,
                            const ModbusTarget *target = nullptr);
    bool getLastIndexLabel(quint16 archIndex, quint32 &out, bool *found = nullptr,
                           const ModbusTarget *target = nullptr);
    bool getFirstTimeLabel(quint16 archIndex, QDateTime &out, bool *found = nullptr,
                           const ModbusTarget *target = nullptr);
    bool getLastTimeLabel(quint16 archIndex, QDateTime &out, bool *found = nullptr,
                          const ModbusTarget *target = nullptr);
    bool readIndexArchLabels(quint16 archIndex, quint32 from, quint16 count, QList<quint32> &out,
                             bool forward = true, const ModbusTarget *target = nullptr);
    bool readTimeArchLabels(quint16 archIndex, const QDateTime &from, quint16 count, QList<QDateTime> &out,
                            bool forward = true, const ModbusTarget *target = nullptr);

    /// Archive records (functions 65 and 67). The list forms return the number of records received.
    int readArchRecords65(quint16 archIndex, quint32 label, quint16 count, QList<ModbusBytes> &out,
                          TavrexBus::ArchType archType, const ModbusTarget *target = nullptr);
    int readArchRecords67(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction, quint16 count,
                          QList<ModbusBytes> &out, TavrexBus::ArchType archType,
                          const ModbusTarget *target = nullptr);
    bool readArchRecord65(quint16 archIndex, quint32 label, ModbusBytes &out, TavrexBus::ArchType archType,
                          const ModbusTarget *target = nullptr);
    bool readArchRecord67(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                          ModbusBytes &out, TavrexBus::ArchType archType, const ModbusTarget *target = nullptr);
    /// The requested count on success, 0 on failure.
    int readArchRecords(quint16 archIndex, quint32 label, TavrexBus::ArchFunc func,
                        TavrexBus::ArchType archType, ModbusBytes &out,
                        TavrexBus::ArchDirection direction = TavrexBus::Forward, quint16 count = 1,
                        const ModbusTarget *target = nullptr);
    int readArchRecords(quint16 archIndex, quint32 label, TavrexBus::ArchFunc func,
                        TavrexBus::ArchType archType, ModbusBytesArray &out,
                        TavrexBus::ArchDirection direction = TavrexBus::Forward, quint16 count = 1,
                        const ModbusTarget *target = nullptr);
    bool readIndexArchRecords(quint16 archIndex, quint32 label, quint16 count, QList<ModbusBytes> &out,
                              const ModbusTarget *target = nullptr);
    bool readTimeArchRecords(quint16 archIndex, const QDateTime &label, quint16 count, QList<ModbusBytes> &out,
                             const ModbusTarget *target = nullptr);
    bool readIndexArchRecords(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                              quint16 count, QList<ModbusBytes> &out, const ModbusTarget *target = nullptr);
    bool readTimeArchRecords(quint16 archIndex, const QDateTime &label, TavrexBus::ArchDirection direction,
                             quint16 count, QList<ModbusBytes> &out, const ModbusTarget *target = nullptr);
    bool readIndexArchRecord(quint16 archIndex, quint32 label, ModbusBytes &out,
                             const ModbusTarget *target = nullptr);
    bool readTimeArchRecord(quint16 archIndex, const QDateTime &label, ModbusBytes &out,
                            const ModbusTarget *target = nullptr);
    bool readIndexArchRecord(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                             ModbusBytes &out, const ModbusTarget *target = nullptr);
    bool readTimeArchRecord(quint16 archIndex, const QDateTime &label, TavrexBus::ArchDirection direction,
                            ModbusBytes &out, const ModbusTarget *target = nullptr);

public Q_SLOTS:
    void onPacketRequestReceived(ModbusPacket &packet, ModbusTranslateOptions &options,
                                 ModbusPacket **answerPacket = nullptr);

Q_SIGNALS:
    void onReadRegisters(quint32 address, quint16 registersCount, ModbusBytes &outValues,
                         ModbusTranslateOptions &options, bool &handled);
    void onWriteRegisters(quint32 address, ModbusBytes values, ModbusTranslateOptions &options, bool &handled);
    void onGetDevName(QString &outDevName, ModbusTranslateOptions &options, bool &handled);
    void onReadArchRecords(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                           quint16 recordsCount, QList<ModbusBytes> &outRecords, ModbusTranslateOptions &options,
                           TavrexBus::ArchType archType, bool &handled);
    void onReadIndexArchRecords(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                                quint16 recordsCount, QList<ModbusBytes> &outRecords,
                                ModbusTranslateOptions &options, bool &handled);
    void onReadTimeArchRecords(quint16 archIndex, QDateTime label, TavrexBus::ArchDirection direction,
                               quint16 recordsCount, QList<ModbusBytes> &outRecords,
                               ModbusTranslateOptions &options, bool &handled);
    void onReadArchPresence(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                            quint16 labelsCount, QList<quint32> &outLabels, ModbusTranslateOptions &options,
                            TavrexBus::ArchType archType, bool &handled);
    void onReadIndexArchPresence(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                                 quint16 labelsCount, QList<quint32> &outLabels,
                                 ModbusTranslateOptions &options, bool &handled);
    void onReadTimeArchPresence(quint16 archIndex, QDateTime label, TavrexBus::ArchDirection direction,
                                quint16 labelsCount, QList<QDateTime> &outLabels,
                                ModbusTranslateOptions &options, bool &handled);
    void onReadFile(quint8 file, quint16 startRegister, quint8 registersCount, ModbusBytes &outBytes,
                    ModbusTranslateOptions &options, bool &handled);
    void onWriteFile(quint8 file, quint16 startRegister, ModbusBytes values, ModbusTranslateOptions &options,
                     bool &handled);

private:
    template <typename Answer>
    std::unique_ptr<Answer> exchange(ModbusPacket &request, const ModbusParseInfo &parseInfo,
                                     const ModbusTarget *target);
    bool belongsTo(const ModbusPacket &answer, const ModbusPacket &request);
    // Refuses, with its message, registers whose protocol address would wrap onto others.
    bool inAddressRange(quint32 address, int registers);
    void reportException(const ModbusPacket &answer, bool oneLine);
    void reportException(const ModbusPacket &answer, const ModbusPacket &request);
    bool readRecords(ModbusPacketArch &request, QList<ModbusBytes> &out, const ModbusTarget *target);

    // Each returns the answer to the request when a handler took it (handled), else null.
    std::unique_ptr<ModbusPacket> dispatch(ModbusPacket &packet, ModbusTranslateOptions &options, bool &handled);
    std::unique_ptr<ModbusPacket> dispatchReadRegisters(const ModbusPacketReg &request,
                                                        ModbusTranslateOptions &options, bool &handled);
    std::unique_ptr<ModbusPacket> dispatchWriteRegisters(const ModbusPacketReg &request,
                                                         ModbusTranslateOptions &options, bool &handled);
    std::unique_ptr<ModbusPacket> dispatchReport(ModbusTranslateOptions &options, bool &handled);
    std::unique_ptr<ModbusPacket> dispatchReadFile(const ModbusPacketFile &request,
                                                   ModbusTranslateOptions &options, bool &handled);
    std::unique_ptr<ModbusPacket> dispatchWriteFile(const ModbusPacketFile &request,
                                                    ModbusTranslateOptions &options, bool &handled);
    std::unique_ptr<ModbusPacket> dispatchArchRecords(const ModbusPacketArch &request,
                                                      ModbusTranslateOptions &options, bool &handled);
    std::unique_ptr<ModbusPacket> dispatchArchPresence(const ModbusPacketArchPresence &request,
                                                       ModbusTranslateOptions &options, bool &handled);

    ModbusTranslator m_translator;
    quint8 m_deviceAddress = 1;
};

#endif // MODBUSER_H
