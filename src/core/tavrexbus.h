#ifndef TAVREXBUS_H
#define TAVREXBUS_H

#include "tavrexbus1global.h"

#include <QtCore/QDateTime>
#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QVariant>

class ModbusBytes;

// The shared vocabulary of the protocol: enumerations and static helpers.
//
// Archive time labels are wall-clock seconds from 1970-01-01 00:00:00 with no
// zone applied; the QDateTime form is a local-time date-time carrying those
// calendar fields. All label arithmetic works on the calendar fields, so a
// daylight-saving change never shifts or skips a label.
class TAVREXBUS1_EXPORT TavrexBus : public QObject
{
    Q_OBJECT

public:
    enum BusType { ClientBus = 0, ServerBus = 1 };
    Q_ENUM(BusType)

    enum ArchType { IndexArch = 0, TimeArch = 1 };
    Q_ENUM(ArchType)

    enum ArchDirection { Forward = 0, Backward = 1 };
    Q_ENUM(ArchDirection)

    enum ArchFunc { Func65 = 65, Func67 = 67 };
    Q_ENUM(ArchFunc)

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

    enum PacketState { Request = 0, Response = 1 };
    Q_ENUM(PacketState)

    enum PacketKind {
        RegistersPacket = 0,
        ArchivePacket = 1,
        ReportSlavePacket = 2,
        ArchPresencePacket = 3,
        FilePacket = 4
    };
    Q_ENUM(PacketKind)

    enum RegisterType { HoldingRegister = 0, InputRegister = 1 };
    Q_ENUM(RegisterType)

    enum ModbusAddressType {
        DiscreteInputs = 0,
        Coils = 1,
        InputRegisters = 2,
        HoldingRegisters = 3
    };
    Q_ENUM(ModbusAddressType)

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

    enum ModbusTaskType { ReadTask = 0, WriteTask = 1 };
    Q_ENUM(ModbusTaskType)

    enum ModbusTaskState {
        TaskWaiting = 0,
        TaskDone = 1,
        TaskFailed = 2,
        TaskAborted = 3
    };
    Q_ENUM(ModbusTaskState)

    // Valid time labels lie between these two wall-clock instants.
    static constexpr unsigned int MinTimeLabel = 0;            // 1970-01-01 00:00:00
    static constexpr unsigned int MaxTimeLabel = 3155759999u;  // 2069-12-31 23:59:59
    static constexpr unsigned int InvalidTimeLabel = 4294967295u;

    explicit TavrexBus(QObject *parent = nullptr);

    static QString functionCodeStr(FunctionCode code);
    static QString exceptionCodeStr(ExceptionCode code);
    static QString packetStateStr(PacketState state);
    static QString packetKindStr(PacketKind kind);
    static QString busTypeStr(BusType type);
    static QString archTypeStr(ArchType type);
    static QString archDirectionStr(ArchDirection direction);
    static QString modbusAddressTypeStr(ModbusAddressType type);

    // Logical register numbers: 300001… input registers, 400001… holding.
    static RegisterType getRegisterType(unsigned int logical);
    // HoldingRegister for every code but ReadInputRegisters.
    static RegisterType getRegisterType(FunctionCode code);
    static bool isHolding(unsigned int logical);
    static bool isInput(unsigned int logical);
    static FunctionCode getReadRegFunctionCode(unsigned int logical);
    static ModbusAddressType getAddressType(unsigned int logical);
    static int getBytesInAddress(unsigned int logical);
    static bool isReadOnly(unsigned int logical);
    static unsigned int absToLog(unsigned short abs, RegisterType type);
    static unsigned int absToLog(unsigned short abs, FunctionCode code);
    static unsigned short logToAbs(unsigned int logical);
    // True when count registers from logical all have a 16-bit protocol address. Otherwise
    // error, when given, names the first number past the range: logToAbs would wrap it onto
    // another register. Coils have no protocol address here and always pass.
    static bool checkRegisterRange(unsigned int logical, unsigned int count = 1, QString *error = nullptr);
    // True for a Modbus unit address (0-255); otherwise error, when given, names the value.
    static bool checkDeviceAddress(int address, QString *error = nullptr);

    // InvalidTimeLabel for an invalid date-time or one outside the label range.
    static unsigned int archLabelToSeconds(const QDateTime &label);
    static QDateTime archLabelToTime(unsigned int seconds);

    // Week aligns to Monday, Decade to day 1, 11 or 21, Month, Quarter and Year
    // to their first day; every interval from Day up starts at 00:00:00.
    static void normalizeArchLabel(QDateTime &label, ArchInterval interval);
    static QDateTime normalizedArchLabel(const QDateTime &label, ArchInterval interval);
    // Changes TimeArch labels only.
    static void normalizeArchLabel(unsigned int &label, ArchType type, ArchInterval interval);
    static unsigned int normalizedArchLabel(unsigned int label, ArchType type, ArchInterval interval);

    // ok tells whether the result lies within the valid label range.
    static QDateTime getNextTimeLabel(const QDateTime &label, ArchInterval interval,
                                      bool *ok = nullptr, unsigned int step = 1);
    static unsigned int getNextTimeLabel(unsigned int label, ArchInterval interval,
                                         bool *ok = nullptr, unsigned int step = 1);
    static QDateTime getPrevTimeLabel(const QDateTime &label, ArchInterval interval,
                                      bool *ok = nullptr, unsigned int step = 1);
    static unsigned int getPrevTimeLabel(unsigned int label, ArchInterval interval,
                                         bool *ok = nullptr, unsigned int step = 1);
    static unsigned int getNextLabel(unsigned int label, ArchType type, ArchInterval interval,
                                     bool *ok = nullptr, unsigned int step = 1,
                                     ArchDirection direction = Forward);
    static unsigned int getPrevLabel(unsigned int label, ArchType type, ArchInterval interval,
                                     bool *ok = nullptr, unsigned int step = 1);

    // Number of labels from from to to inclusive.
    static int getLabelsBetween(const QDateTime &from, const QDateTime &to, ArchInterval interval);
    static int getLabelsBetween(unsigned int from, unsigned int &to, ArchType type,
                                ArchInterval interval);

    static QVariant getVariantLabel(unsigned int label, ArchType type, bool asText = false,
                                    const QString &format = defaultLabelFormat());
    static unsigned int getIntLabel(const QVariant &label,
                                    const QString &format = defaultLabelFormat());
    static QString defaultLabelFormat();

    Q_INVOKABLE static QString normalizeBinary(const QString &value, int needSize);

    static QString getDevNameFromReportBytes(const ModbusBytes &bytes);
    static ModbusBytes setDevNameToReportBytes(const ModbusBytes &bytes, const QString &name);

    Q_INVOKABLE static QString version();
};

#endif // TAVREXBUS_H
