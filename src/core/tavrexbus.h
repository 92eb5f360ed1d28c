#ifndef TAVREXBUS_H
#define TAVREXBUS_H

#include "tavrexbus1global.h"

#include <QtCore/QDateTime>
#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QVariant>

class ModbusBytes;

/// The shared vocabulary of the protocol: enumerations and static helpers.
///
/// Archive time labels are wall-clock seconds from 1970-01-01 00:00:00 with no
/// zone applied; the QDateTime form is a local-time date-time carrying those
/// calendar fields. All label arithmetic works on the calendar fields, so a
/// daylight-saving change never shifts or skips a label.
///
/// Available in QML as the singleton `TavrexBus` from `import TavrexBus 1.0`: enumerations are
/// reached as `TavrexBus.HoldingRegister`, helpers as `TavrexBus.version()`.
class TAVREXBUS1_EXPORT TavrexBus : public QObject
{
    Q_OBJECT

public:
    /// The role a transport plays on the bus.
    enum BusType { ClientBus = 0, ServerBus = 1 };
    Q_ENUM(BusType)

    /// How an archive addresses its records: by running index or by time label.
    enum ArchType { IndexArch = 0, TimeArch = 1 };
    Q_ENUM(ArchType)

    /// The direction in which archive labels are searched.
    enum ArchDirection { Forward = 0, Backward = 1 };
    Q_ENUM(ArchDirection)

    /// The function that reads archive records: 65 (by label) or 67 (by label and direction).
    enum ArchFunc { Func65 = 65, Func67 = 67 };
    Q_ENUM(ArchFunc)

    /// The interval between the records of a time archive.
    enum ArchInterval {
        Second = 0,
        Minute = 1,
        Hour = 2,
        Day = 3,
        Week = 4,
        Decade = 5,
        Month = 6,
        Quarter = 7,
        Year = 8
    };
    Q_ENUM(ArchInterval)

    /// Whether a packet is a request or its answer.
    enum PacketState { Request = 0, Response = 1 };
    Q_ENUM(PacketState)

    /// The kinds of packet the protocol layer decodes.
    enum PacketKind {
        RegistersPacket = 0,
        ArchivePacket = 1,
        ReportSlavePacket = 2,
        ArchPresencePacket = 3,
        FilePacket = 4
    };
    Q_ENUM(PacketKind)

    /// The two register tables a logical number can lie in.
    enum RegisterType { HoldingRegister = 0, InputRegister = 1 };
    Q_ENUM(RegisterType)

    /// The four Modbus tables, told apart by the logical number (1…, 100001…, 300001…, 400001…).
    enum ModbusAddressType {
        DiscreteInputs = 0,
        Coils = 1,
        InputRegisters = 2,
        HoldingRegisters = 3
    };
    Q_ENUM(ModbusAddressType)

    /// Modbus function codes, with the maker's archive functions 65, 66 and 67.
    enum FunctionCode {
        UnknownFunction = 0,
        ReadCoils = 1,
        ReadDiscreteInputs = 2,
        ReadHoldingRegisters = 3,
        ReadInputRegisters = 4,
        WriteSingleCoil = 5,
        WriteSingleRegister = 6,
        ReadExceptionStatus = 7,
        Diagnostics = 8,
        GetComEventCounter = 11,
        GetComEventLog = 12,
        WriteMultipleCoils = 15,
        WriteMultipleRegisters = 16,
        ReportSlaveId = 17,
        ReadFileRecord = 20,
        WriteFileRecord = 21,
        MaskWriteRegister = 22,
        ReadWriteMultipleRegisters = 23,
        ReadFifoQueue = 24,
        ReadDeviceIdentification = 43,
        ReadArchRecord65 = 65,
        ReadArchPresence66 = 66,
        ReadArchRecord67 = 67
    };
    Q_ENUM(FunctionCode)

    /// Modbus exception codes a device answers a refused request with.
    enum ExceptionCode {
        NoException = 0,
        IllegalFunction = 1,
        IllegalDataAddress = 2,
        IllegalDataValue = 3,
        SlaveDeviceFailure = 4,
        Acknowledge = 5,
        SlaveDeviceBusy = 6,
        MemoryParityError = 8,
        GatewayPathUnavailable = 10,
        GatewayTargetFailed = 11
    };
    Q_ENUM(ExceptionCode)

    /// Whether a task reads or writes.
    enum ModbusTaskType { ReadTask = 0, WriteTask = 1 };
    Q_ENUM(ModbusTaskType)

    /// Where a task stands: waiting to run, done, failed or aborted.
    enum ModbusTaskState {
        TaskWaiting = 0,
        TaskDone = 1,
        TaskFailed = 2,
        TaskAborted = 3
    };
    Q_ENUM(ModbusTaskState)

    /// Valid time labels lie between these two wall-clock instants.
    static constexpr unsigned int MinTimeLabel = 0;            // 1970-01-01 00:00:00
    /// The latest valid time label: 2069-12-31 23:59:59.
    static constexpr unsigned int MaxTimeLabel = 3155759999u;  // 2069-12-31 23:59:59
    /// Stands for no label: an invalid date-time or one out of range.
    static constexpr unsigned int InvalidTimeLabel = 4294967295u;

    /// The QML singleton instance; C++ uses the static members directly.
    explicit TavrexBus(QObject *parent = nullptr);

    /// A readable name of code ("read holding registers"), for messages.
    static QString functionCodeStr(FunctionCode code);
    /// A readable name of code, for messages.
    static QString exceptionCodeStr(ExceptionCode code);
    /// "request" or "response", for messages.
    static QString packetStateStr(PacketState state);
    /// A readable name of kind, for messages.
    static QString packetKindStr(PacketKind kind);
    /// A readable name of type, for messages.
    static QString busTypeStr(BusType type);
    /// A readable name of type, for messages.
    static QString archTypeStr(ArchType type);
    /// A readable name of direction, for messages.
    static QString archDirectionStr(ArchDirection direction);
    /// A readable name of type, for messages.
    static QString modbusAddressTypeStr(ModbusAddressType type);

    /// Logical register numbers: 300001… input registers, 400001… holding.
    static RegisterType getRegisterType(unsigned int logical);
    /// HoldingRegister for every code but ReadInputRegisters.
    static RegisterType getRegisterType(FunctionCode code);
    /// True for logical numbers from 400001.
    static bool isHolding(unsigned int logical);
    /// True for logical numbers from 300001 to 400000.
    static bool isInput(unsigned int logical);
    /// ReadInputRegisters for input registers, else ReadHoldingRegisters.
    static FunctionCode getReadRegFunctionCode(unsigned int logical);
    /// The table of a logical number: above 400000 holding, 300000 input, 100000 discrete inputs, else coils.
    static ModbusAddressType getAddressType(unsigned int logical);
    /// Bytes at one address: 2 for registers, 1 for coils and discrete inputs.
    static int getBytesInAddress(unsigned int logical);
    /// True for input registers and discrete inputs.
    static bool isReadOnly(unsigned int logical);
    /// The logical number of protocol address abs in the table of type (abs 0 of holding is 400001).
    static unsigned int absToLog(unsigned short abs, RegisterType type);
    /// The logical number of protocol address abs in the table code reads.
    static unsigned int absToLog(unsigned short abs, FunctionCode code);
    /// The 16-bit protocol address of a logical number (400001 → 0); 0 for coils.
    static unsigned short logToAbs(unsigned int logical);
    /// True when count registers from logical all have a 16-bit protocol address. Otherwise
    /// error, when given, names the first number past the range: logToAbs would wrap it onto
    /// another register. Coils have no protocol address here and always pass.
    static bool checkRegisterRange(unsigned int logical, unsigned int count = 1, QString *error = nullptr);
    /// True for a Modbus unit address (0-255); otherwise error, when given, names the value.
    static bool checkDeviceAddress(int address, QString *error = nullptr);

    /// InvalidTimeLabel for an invalid date-time or one outside the label range.
    static unsigned int archLabelToSeconds(const QDateTime &label);
    /// A time label as a local date-time carrying its wall-clock fields.
    static QDateTime archLabelToTime(unsigned int seconds);

    /// Week aligns to Monday, Decade to day 1, 11 or 21, Month, Quarter and Year
    /// to their first day; every interval from Day up starts at 00:00:00.
    static void normalizeArchLabel(QDateTime &label, ArchInterval interval);
    /// A copy of label normalised like normalizeArchLabel().
    static QDateTime normalizedArchLabel(const QDateTime &label, ArchInterval interval);
    /// Changes TimeArch labels only.
    static void normalizeArchLabel(unsigned int &label, ArchType type, ArchInterval interval);
    /// A copy of label normalised like normalizeArchLabel().
    static unsigned int normalizedArchLabel(unsigned int label, ArchType type, ArchInterval interval);

    /// ok tells whether the result lies within the valid label range.
    static QDateTime getNextTimeLabel(const QDateTime &label, ArchInterval interval,
                                      bool *ok = nullptr, unsigned int step = 1);
    /// The time label step intervals after label; ok as for the date-time form.
    static unsigned int getNextTimeLabel(unsigned int label, ArchInterval interval,
                                         bool *ok = nullptr, unsigned int step = 1);
    /// The label step intervals before label; ok tells whether it lies within the valid range.
    static QDateTime getPrevTimeLabel(const QDateTime &label, ArchInterval interval,
                                      bool *ok = nullptr, unsigned int step = 1);
    /// The time label step intervals before label; ok as for the date-time form.
    static unsigned int getPrevTimeLabel(unsigned int label, ArchInterval interval,
                                         bool *ok = nullptr, unsigned int step = 1);
    /// The label step places after label in direction: an index for IndexArch, a time label for TimeArch.
    static unsigned int getNextLabel(unsigned int label, ArchType type, ArchInterval interval,
                                     bool *ok = nullptr, unsigned int step = 1,
                                     ArchDirection direction = Forward);
    /// The label step places before label: an index for IndexArch, a time label for TimeArch.
    static unsigned int getPrevLabel(unsigned int label, ArchType type, ArchInterval interval,
                                     bool *ok = nullptr, unsigned int step = 1);

    /// Number of labels from from to to inclusive.
    static int getLabelsBetween(const QDateTime &from, const QDateTime &to, ArchInterval interval);
    /// Labels from from to to inclusive, of either archive type; 0 when to lies before from.
    static int getLabelsBetween(unsigned int from, unsigned int &to, ArchType type,
                                ArchInterval interval);

    /// A label as QML shows it: the number of an index label, the date-time of a time label (text in format
    /// with asText).
    static QVariant getVariantLabel(unsigned int label, ArchType type, bool asText = false,
                                    const QString &format = defaultLabelFormat());
    /// A label given by QML as a number: a date-time, text in format, or a number; 0 when it is none of these.
    static unsigned int getIntLabel(const QVariant &label,
                                    const QString &format = defaultLabelFormat());
    /// "yyyy-MM-dd hh:mm:ss", the text form of time labels.
    static QString defaultLabelFormat();

    /// value padded at the front with zeros to needSize digits.
    Q_INVOKABLE static QString normalizeBinary(const QString &value, int needSize);

    /// The device name at the front of a report's data bytes: Latin-1 text up to the first NUL; empty without
    /// one.
    static QString getDevNameFromReportBytes(const ModbusBytes &bytes);
    /// A copy of report bytes with name (Latin-1, NUL-terminated) in place of the device name.
    static ModbusBytes setDevNameToReportBytes(const ModbusBytes &bytes, const QString &name);

    /// The library version, "1.1.6505".
    Q_INVOKABLE static QString version();
};

#endif // TAVREXBUS_H
