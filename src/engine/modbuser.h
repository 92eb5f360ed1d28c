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
class ModbusTFtpClient;
class ModbusTFtpServer;
class ModbusTransport;
class ModbusTransporter;

/// The request engine. As a client it offers blocking, typed Modbus operations, each one request
/// and its checked answer; failures come back as false (or 0) with the reason in errorString().
/// As a server it turns incoming requests into handler signals and answers with what the handlers
/// filled in. Handlers must run inside the emission: connect them directly, or blocking from
/// another thread.
///
/// Addresses are logical register numbers (400001… holding, 300001… input registers); a null
/// target sends to the client transport's peer.
///
/// Registered in QML as the uncreatable type `Modbuser` (`import TavrexBus 1.0`), so that QML sees its
/// properties and enumerations.
class TAVREXBUS1_EXPORT Modbuser : public ErrObject, public QTavrexObject
{
    Q_OBJECT

public:
    /// An engine with a translator and a transporter of its own, and no transport yet.
    explicit Modbuser(QObject *parent = nullptr);
    ~Modbuser() override;

    /// The translator between packets and frames.
    ModbusTranslator &translator();
    /// The transporter whose transports the engine uses.
    ModbusTransporter *transporter() const;
    /// Uses transporter from now on; not owned.
    void setTransporter(ModbusTransporter &transporter);
    /// The transport client requests go over.
    ModbusTransport *clientTransport() const;
    /// Sends client requests over transport from now on.
    void setClientTransport(ModbusTransport *transport);
    /// The transport holding target; null when none does.
    ModbusTransport *getTransport(const ModbusTarget *target) const;
    /// Opens every transport; false when one failed.
    bool connectTransports();
    /// Closes every transport; false when one failed.
    bool disconnectTransports();
    /// A new Modbus/TCP client to address and port, owned by the transporter.
    ModbusTcpClient *addModbusTcpClient(const QHostAddress &address, int port);
    /// A new Modbus/TCP server on address and port, owned by the transporter.
    ModbusTcpServer *addModbusTcpServer(const QHostAddress &address, int port);
    /// A new TFTP client (RTU frames over UDP) to address and port, owned by the transporter.
    ModbusTFtpClient *addModbusTFtpClient(const QHostAddress &address, int port);
    /// A new TFTP server on address and port, owned by the transporter.
    ModbusTFtpServer *addModbusTFtpServer(const QHostAddress &address, int port);
    /// USB links made here belong to the transporter; set vid, pid and serial number before connecting.
    ModbusLibusbClient *addModbusLibusbClient();
    /// A new C55 link, owned by the transporter.
    ModbusC55Client *addModbusC55Client();
    /// The Modbus unit address of client requests; 1 by default.
    quint8 deviceAddress() const;
    /// Sets the Modbus unit address of client requests.
    void setDeviceAddress(quint8 address);

    QString toString(bool oneLine = false) const override;

    /// Reads count registers from the logical number address into out, as they come on the wire.
    bool readRegisters(quint32 address, quint16 count, ModbusBytes &out, const ModbusTarget *target = nullptr);
    /// Reads count registers from address into out, one block per register.
    bool readRegisters(quint32 address, quint16 count, ModbusBytesArray &out,
                       const ModbusTarget *target = nullptr);
    /// Reads the register at address.
    bool readRegister(quint32 address, quint16 &out, const ModbusTarget *target = nullptr);
    /// Reads the register at address as two bytes.
    bool readRegister(quint32 address, ModbusBytes &out, const ModbusTarget *target = nullptr);
    /// Reads the register at address as one block.
    bool readRegister(quint32 address, ModbusBytesArray &out, const ModbusTarget *target = nullptr);
    /// Reads holding register absAddress (protocol address, 0 is 400001).
    bool readHoldingRegister(quint16 absAddress, quint16 &out, const ModbusTarget *target = nullptr);
    /// Reads input register absAddress (protocol address, 0 is 300001).
    bool readInputRegister(quint16 absAddress, quint16 &out, const ModbusTarget *target = nullptr);
    /// Reads an unsigned 16-bit value at address.
    bool readUInt16(quint32 address, quint16 &out, const ModbusTarget *target = nullptr);
    /// Reads a signed 16-bit value at address.
    bool readInt16(quint32 address, qint16 &out, const ModbusTarget *target = nullptr);
    /// Reads an unsigned 32-bit value over two registers, high word first.
    bool readUInt32(quint32 address, quint32 &out, const ModbusTarget *target = nullptr);
    /// Reads a signed 32-bit value over two registers, high word first.
    bool readInt32(quint32 address, qint32 &out, const ModbusTarget *target = nullptr);
    /// Reads an IEEE single over two registers, high word first.
    bool readFloat(quint32 address, float &out, const ModbusTarget *target = nullptr);
    /// Reads an unsigned 64-bit value over four registers, high word first.
    bool readUInt64(quint32 address, quint64 &out, const ModbusTarget *target = nullptr);
    /// Reads a signed 64-bit value over four registers, high word first.
    bool readInt64(quint32 address, qint64 &out, const ModbusTarget *target = nullptr);
    /// Reads an IEEE double over four registers, high word first.
    bool readDouble(quint32 address, double &out, const ModbusTarget *target = nullptr);
    /// Reads a double in the device's 8-byte form (see ModbusBytes::fromDoubleStruct()).
    bool readDoubleStruct(quint32 address, double &out, const ModbusTarget *target = nullptr);
    /// Reads count registers as Latin-1 text, two characters a register.
    bool readString(quint32 address, quint16 count, QString &out, const ModbusTarget *target = nullptr);

    /// Writes values (whole registers) from address (function 16).
    bool writeRegisters(quint32 address, const ModbusBytes &values, const ModbusTarget *target = nullptr);
    /// Writes one register at address (function 6).
    bool writeRegister(quint32 address, quint16 value, const ModbusTarget *target = nullptr);
    /// Writes an unsigned 16-bit value at address.
    bool writeUInt16(quint32 address, quint16 value, const ModbusTarget *target = nullptr);
    /// Writes a signed 16-bit value at address.
    bool writeInt16(quint32 address, qint16 value, const ModbusTarget *target = nullptr);
    /// Writes a byte in the low half of the register at address.
    bool writeUInt8(quint32 address, quint8 value, const ModbusTarget *target = nullptr);
    /// Writes a signed byte in the low half of the register at address.
    bool writeInt8(quint32 address, qint8 value, const ModbusTarget *target = nullptr);
    /// Writes an unsigned 32-bit value over two registers, high word first.
    bool writeUInt(quint32 address, quint32 value, const ModbusTarget *target = nullptr);
    /// Writes a signed 32-bit value over two registers, high word first.
    bool writeInt(quint32 address, qint32 value, const ModbusTarget *target = nullptr);
    /// Writes an IEEE single over two registers, high word first.
    bool writeFloat(quint32 address, float value, const ModbusTarget *target = nullptr);
    /// Writes an unsigned 64-bit value over four registers.
    bool writeUInt64(quint32 address, quint64 value, const ModbusTarget *target = nullptr);
    /// Writes a signed 64-bit value over four registers.
    bool writeInt64(quint32 address, qint64 value, const ModbusTarget *target = nullptr);
    /// Writes an IEEE double over four registers.
    bool writeDouble(quint32 address, double value, const ModbusTarget *target = nullptr);
    /// Writes a double in the device's 8-byte form.
    bool writeDoubleStruct(quint32 address, double value, const ModbusTarget *target = nullptr);
    /// Writes text as UTF-8, padded to whole registers.
    bool writeStringUtf8(quint32 address, const QString &text, const ModbusTarget *target = nullptr);
    /// Writes text as Latin-1; with asRegs one character in the low byte of each register.
    bool writeStringAnsi(quint32 address, const QString &text, bool asRegs = false,
                         const ModbusTarget *target = nullptr);
    /// Writes a NUL-terminated text; with asRegs one character in the low byte of each register.
    bool writeStringAnsi(quint32 address, const char *text, bool asRegs = false,
                         const ModbusTarget *target = nullptr);

    /// The data bytes of the device report (report slave ID) into out.
    bool getReport(ModbusBytes &out, const ModbusTarget *target = nullptr);
    /// The device name from the device report into out.
    bool getDevName(QString &out, const ModbusTarget *target = nullptr);
    /// Reads count registers of file from offset (function 20) into out.
    bool readFile(quint8 file, quint16 offset, quint8 count, ModbusBytes &out,
                  const ModbusTarget *target = nullptr);
    /// Writes data (whole registers) to file from offset (function 21).
    bool writeFile(quint8 file, quint16 offset, const ModbusBytes &data, const ModbusTarget *target = nullptr);

    /// Asks which labels of archive archIndex exist from label in direction, at most labelsCount of them
    /// (function 66), and appends those found to out, four bytes each.
    bool readArchPresence(quint16 archIndex, quint32 label, TavrexBus::ArchType archType, ModbusBytes &out,
                          TavrexBus::ArchDirection direction = TavrexBus::Forward, quint16 labelsCount = 1,
                          const ModbusTarget *target = nullptr);
    /// As the other form, with the labels found in out as one block.
    bool readArchPresence(quint16 archIndex, quint32 label, TavrexBus::ArchType archType,
                          ModbusBytesArray &out, TavrexBus::ArchDirection direction = TavrexBus::Forward,
                          quint16 labelsCount = 1, const ModbusTarget *target = nullptr);
    /// The label of archive archIndex nearest to label in direction into out; found tells whether one exists.
    bool getNearestLabel(quint16 archIndex, TavrexBus::ArchType archType, quint32 label, quint32 &out,
                         TavrexBus::ArchDirection direction, bool *found = nullptr,
                         const ModbusTarget *target = nullptr);
    /// The oldest label of archive archIndex into out; found tells whether the archive has one.
    bool getFirstLabel(quint16 archIndex, TavrexBus::ArchType archType, quint32 &out, bool *found = nullptr,
                       const ModbusTarget *target = nullptr);
    /// The newest label of archive archIndex into out; found tells whether the archive has one.
    bool getLastLabel(quint16 archIndex, TavrexBus::ArchType archType, quint32 &out, bool *found = nullptr,
                      const ModbusTarget *target = nullptr);
    /// The oldest index of index archive archIndex.
    bool getFirstIndexLabel(quint16 archIndex, quint32 &out, bool *found = nullptr,
                            const ModbusTarget *target = nullptr);
    /// The newest index of index archive archIndex.
    bool getLastIndexLabel(quint16 archIndex, quint32 &out, bool *found = nullptr,
                           const ModbusTarget *target = nullptr);
    /// The oldest time label of time archive archIndex.
    bool getFirstTimeLabel(quint16 archIndex, QDateTime &out, bool *found = nullptr,
                           const ModbusTarget *target = nullptr);
    /// The newest time label of time archive archIndex.
    bool getLastTimeLabel(quint16 archIndex, QDateTime &out, bool *found = nullptr,
                          const ModbusTarget *target = nullptr);
    /// Up to count indexes of archive archIndex that exist from from, forwards or backwards.
    bool readIndexArchLabels(quint16 archIndex, quint32 from, quint16 count, QList<quint32> &out,
                             bool forward = true, const ModbusTarget *target = nullptr);
    /// Up to count time labels of archive archIndex that exist from from, forwards or backwards.
    bool readTimeArchLabels(quint16 archIndex, const QDateTime &from, quint16 count, QList<QDateTime> &out,
                            bool forward = true, const ModbusTarget *target = nullptr);

    /// Reads count records of archive archIndex from label with function 65 into out; the number received.
    int readArchRecords65(quint16 archIndex, quint32 label, quint16 count, QList<ModbusBytes> &out,
                          TavrexBus::ArchType archType, const ModbusTarget *target = nullptr);
    /// Reads count records of archive archIndex from label in direction with function 67 into out; the number
    /// received.
    int readArchRecords67(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction, quint16 count,
                          QList<ModbusBytes> &out, TavrexBus::ArchType archType,
                          const ModbusTarget *target = nullptr);
    /// Reads the record of archive archIndex at label with function 65.
    bool readArchRecord65(quint16 archIndex, quint32 label, ModbusBytes &out, TavrexBus::ArchType archType,
                          const ModbusTarget *target = nullptr);
    /// Reads the record of archive archIndex at label in direction with function 67.
    bool readArchRecord67(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                          ModbusBytes &out, TavrexBus::ArchType archType, const ModbusTarget *target = nullptr);
    /// The requested count on success, 0 on failure.
    int readArchRecords(quint16 archIndex, quint32 label, TavrexBus::ArchFunc func,
                        TavrexBus::ArchType archType, ModbusBytes &out,
                        TavrexBus::ArchDirection direction = TavrexBus::Forward, quint16 count = 1,
                        const ModbusTarget *target = nullptr);
    /// As the other form, one block per record.
    int readArchRecords(quint16 archIndex, quint32 label, TavrexBus::ArchFunc func,
                        TavrexBus::ArchType archType, ModbusBytesArray &out,
                        TavrexBus::ArchDirection direction = TavrexBus::Forward, quint16 count = 1,
                        const ModbusTarget *target = nullptr);
    /// Reads count records of index archive archIndex from label.
    bool readIndexArchRecords(quint16 archIndex, quint32 label, quint16 count, QList<ModbusBytes> &out,
                              const ModbusTarget *target = nullptr);
    /// Reads count records of time archive archIndex from label.
    bool readTimeArchRecords(quint16 archIndex, const QDateTime &label, quint16 count, QList<ModbusBytes> &out,
                             const ModbusTarget *target = nullptr);
    /// Reads count records of index archive archIndex from label in direction.
    bool readIndexArchRecords(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                              quint16 count, QList<ModbusBytes> &out, const ModbusTarget *target = nullptr);
    /// Reads count records of time archive archIndex from label in direction.
    bool readTimeArchRecords(quint16 archIndex, const QDateTime &label, TavrexBus::ArchDirection direction,
                             quint16 count, QList<ModbusBytes> &out, const ModbusTarget *target = nullptr);
    /// Reads the record of index archive archIndex at label.
    bool readIndexArchRecord(quint16 archIndex, quint32 label, ModbusBytes &out,
                             const ModbusTarget *target = nullptr);
    /// Reads the record of time archive archIndex at label.
    bool readTimeArchRecord(quint16 archIndex, const QDateTime &label, ModbusBytes &out,
                            const ModbusTarget *target = nullptr);
    /// Reads the record of index archive archIndex next to label in direction.
    bool readIndexArchRecord(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                             ModbusBytes &out, const ModbusTarget *target = nullptr);
    /// Reads the record of time archive archIndex next to label in direction.
    bool readTimeArchRecord(quint16 archIndex, const QDateTime &label, TavrexBus::ArchDirection direction,
                            ModbusBytes &out, const ModbusTarget *target = nullptr);

public Q_SLOTS:
    /// Server role: answers the request packet through the handler signals; the answer goes to *answerPacket.
    void onPacketRequestReceived(ModbusPacket &packet, ModbusTranslateOptions &options,
                                 ModbusPacket **answerPacket = nullptr);

Q_SIGNALS:
    /// Server role: fill outValues with registersCount registers from address and set handled; or set an
    /// exception code in options.
    void onReadRegisters(quint32 address, quint16 registersCount, ModbusBytes &outValues,
                         ModbusTranslateOptions &options, bool &handled);
    /// Server role: store values from address and set handled.
    void onWriteRegisters(quint32 address, ModbusBytes values, ModbusTranslateOptions &options, bool &handled);
    /// Server role: fill outDevName with the device name and set handled.
    void onGetDevName(QString &outDevName, ModbusTranslateOptions &options, bool &handled);
    /// Server role: fill outRecords with up to recordsCount records of archive archIndex from label and set
    /// handled.
    void onReadArchRecords(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                           quint16 recordsCount, QList<ModbusBytes> &outRecords, ModbusTranslateOptions &options,
                           TavrexBus::ArchType archType, bool &handled);
    /// Server role: as onReadArchRecords(), for an index archive.
    void onReadIndexArchRecords(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                                quint16 recordsCount, QList<ModbusBytes> &outRecords,
                                ModbusTranslateOptions &options, bool &handled);
    /// Server role: as onReadArchRecords(), for a time archive.
    void onReadTimeArchRecords(quint16 archIndex, QDateTime label, TavrexBus::ArchDirection direction,
                               quint16 recordsCount, QList<ModbusBytes> &outRecords,
                               ModbusTranslateOptions &options, bool &handled);
    /// Server role: fill outLabels with up to labelsCount labels of archive archIndex that exist from label,
    /// and set handled.
    void onReadArchPresence(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                            quint16 labelsCount, QList<quint32> &outLabels, ModbusTranslateOptions &options,
                            TavrexBus::ArchType archType, bool &handled);
    /// Server role: as onReadArchPresence(), for an index archive.
    void onReadIndexArchPresence(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                                 quint16 labelsCount, QList<quint32> &outLabels,
                                 ModbusTranslateOptions &options, bool &handled);
    /// Server role: as onReadArchPresence(), for a time archive.
    void onReadTimeArchPresence(quint16 archIndex, QDateTime label, TavrexBus::ArchDirection direction,
                                quint16 labelsCount, QList<QDateTime> &outLabels,
                                ModbusTranslateOptions &options, bool &handled);
    /// Server role: fill outBytes with registersCount registers of file from startRegister and set handled.
    void onReadFile(quint8 file, quint16 startRegister, quint8 registersCount, ModbusBytes &outBytes,
                    ModbusTranslateOptions &options, bool &handled);
    /// Server role: store values in file from startRegister and set handled.
    void onWriteFile(quint8 file, quint16 startRegister, ModbusBytes values, ModbusTranslateOptions &options,
                     bool &handled);

private:
    template <typename Answer>
    std::unique_ptr<Answer> exchange(ModbusPacket &request, const ModbusParseInfo &parseInfo,
                                     const ModbusTarget *target);
    bool belongsTo(const ModbusPacket &answer, const ModbusPacket &request, bool expectedClass);
    // Refuses, with its message, registers whose protocol address would wrap onto others.
    bool inAddressRange(quint32 address, int registers);
    void reportException(const ModbusPacket &answer, bool oneLine);
    void reportException(const ModbusPacket &answer, const ModbusPacket &request);
    // One function-65 or -67 request: the number of records answered, 0 (and reported) on failure.
    int readRecords(TavrexBus::FunctionCode function, quint16 archIndex, quint32 label, quint16 count,
                    TavrexBus::ArchType archType, TavrexBus::ArchDirection direction, QList<ModbusBytes> &out,
                    const ModbusTarget *target);

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
