#ifndef MODBUSERCASES_H
#define MODBUSERCASES_H

#include <TavrexBus1/modbuser.h>

#include <QtCore/QDateTime>
#include <QtCore/QVariant>

#include <functional>

// One client operation per function the library serves, with what it yields against the engine
// fixture's Device; every link's suite runs them end to end.
using Operation = std::function<QVariant(Modbuser &)>;

inline const QDateTime LabelTime(QDate(2024, 3, 5), QTime(10, 30));

inline QString hex(const QByteArray &bytes) { return QString::fromLatin1(bytes.toHex(' ')); }
inline QString seconds(const QDateTime &time) { return hex(ModbusBytes::fromUInt32(TavrexBus::archLabelToSeconds(time))); }

inline QVariant shown(const ModbusBytes &bytes) { return hex(bytes); }
inline QVariant shown(const QList<ModbusBytes> &records) { return hex(ModbusBytes::fromList(records)); }
template <typename T>
QVariant shown(const T &value) { return QVariant::fromValue(value); }

// An operation yielding what call fills in, or an invalid variant when call fails.
template <typename T>
Operation filling(std::function<bool(Modbuser &, T &)> call)
{
    return [call](Modbuser &m) {
        T out{};
        return call(m, out) ? shown(out) : QVariant();
    };
}

inline Operation writing(std::function<bool(Modbuser &)> call)
{
    return [call](Modbuser &m) { return call(m) ? QVariant(true) : QVariant(); };
}

// How a failed operation shows the exception answer: on one line, with the request, or neither.
enum Shown { WithRequest, OneLine, MultiLine };

// A client operation, its function code, how it shows an exception, what it yields against the
// preset device and the registers it leaves written there. Index records and labels, input
// registers and multiple writes are filled the same way in the task and interop suites.
struct Case
{
    QString name;
    int function;
    Shown shown;
    Operation op;
    QVariant expected;
    quint32 address = 0;
    QList<quint16> written = {};
};

using Bytes = ModbusBytes;
using Records = QList<ModbusBytes>;

inline const QList<Case> &cases()
{
    static const QList<Case> all = {
        {"read holding", 3, WithRequest,
         filling<Bytes>([](Modbuser &m, Bytes &out) { return m.readRegisters(400011, 3, out); }),
         QStringLiteral("01 01 02 02 03 03")},
        {"uint32", 3, WithRequest,
         filling<quint32>([](Modbuser &m, quint32 &out) { return m.readUInt32(400011, out); }), 0x01010202u},
        {"write single", 6, MultiLine,
         writing([](Modbuser &m) { return m.writeRegister(400020, 0xBEEF); }), true, 400020, {0xBEEF}},
        {"int8 -1", 6, MultiLine, writing([](Modbuser &m) { return m.writeInt8(400050, -1); }), true, 400050, {0x00FF}},
        {"device name", 17, MultiLine, filling<QString>([](Modbuser &m, QString &out) { return m.getDevName(out); }),
         QStringLiteral("EK-TEST")},
        {"read file", 68, WithRequest, filling<Bytes>([](Modbuser &m, Bytes &out) { return m.readFile(3, 1, 2, out); }),
         QStringLiteral("22 22 33 33")},
        {"write file", 69, MultiLine,
         writing([](Modbuser &m) { return m.writeFile(3, 4, ModbusBytes::fromHex("AABBCCDD")); }), true},
        {"index records backward", 67, MultiLine, filling<Records>([](Modbuser &m, Records &out) {
             return m.readIndexArchRecords(1, 5, TavrexBus::Backward, 2, out);
         }), QStringLiteral("00 00 00 05 00 00 00 04")},
        {"time record", 65, MultiLine, filling<Bytes>([](Modbuser &m, Bytes &out) {
             return m.readTimeArchRecord(2, LabelTime, out);
         }), seconds(LabelTime)},
        {"time labels", 66, OneLine, filling<QList<QDateTime>>([](Modbuser &m, QList<QDateTime> &out) {
             return m.readTimeArchLabels(2, LabelTime, 2, out);
         }), QVariant::fromValue(QList<QDateTime>{LabelTime, LabelTime.addSecs(3600)})},
        {"last index label", 66, OneLine, filling<quint32>([](Modbuser &m, quint32 &out) {
             bool found = false;
             return m.getLastIndexLabel(1, out, &found) && found;
         }), 99u},
    };
    return all;
}

#endif
