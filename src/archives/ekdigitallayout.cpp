#include "ekdigitallayout_p.h"

#include "modbusbytesarray.h"

namespace EkDigitalLayout {

namespace {

using F = Field;

const QList<Field> generation1 = {
    F{33, 0, Time},    F{40, 4, DStruct}, F{41, 12, DStruct}, F{35, 20, U16},     F{51, 22, Float}, F{52, 26, Float},
    F{37, 30, U32},    F{38, 34, U32},    F{47, 38, DStruct}, F{48, 46, DStruct}, F{44, 54, U16},   F{45, 56, U16},
};

const QList<Field> generation2 = {
    F{33, 0, Time},     F{34, 4, U16},      F{35, 6, U16},      F{36, 8, U16},    F{37, 10, U32},   F{38, 14, U32},
    F{39, 18, U32},     F{40, 22, DStruct}, F{41, 30, DStruct}, F{42, 38, DStruct}, F{43, 46, DStruct},
    F{44, 54, U16},     F{45, 56, U16},     F{46, 58, U16},     F{47, 60, Float}, F{48, 64, Float}, F{49, 68, Float},
    F{50, 72, Float},   F{51, 76, Float},   F{52, 80, Float},   F{53, 84, Float}, F{54, 88, Float},
};

// Generation 3 appends nine floats to the generation 2 record.
const QList<Field> generation3 = {
    F{55, 92, Float},  F{56, 96, Float},  F{57, 100, Float}, F{58, 104, Float}, F{59, 108, Float},
    F{60, 112, Float}, F{61, 116, Float}, F{62, 120, Float}, F{63, 124, Float},
};

const Field *find(const QList<Field> &table, int role)
{
    for (const Field &field : table) {
        if (field.role == role)
            return &field;
    }
    return nullptr;
}

QList<int> rolesOf(const QList<Field> &table)
{
    QList<int> roles;
    for (const Field &field : table)
        roles.append(field.role);
    return roles;
}

// A field copied into the kept form: floats stay floats, dstructs are written anew.
ModbusBytes recoded(const ModbusBytes &bytes, const Field &field)
{
    return field.codec == DStruct ? ModbusBytes::fromDoubleStruct(bytes.toDoubleStruct(field.offset))
                                  : ModbusBytes::fromFloat(bytes.toFloat(field.offset));
}

} // namespace

int recordSize(int generation)
{
    switch (generation) {
    case 1: return 58;
    case 2: return 92;
    case 3: return 128;
    default: return 0;
    }
}

const Field *recordField(int generation, int role)
{
    switch (generation) {
    case 1: return find(generation1, role);
    case 2: return find(generation2, role);
    default: return find(generation3, role);
    }
}

const QList<int> &updateOrder(int generation)
{
    static const QList<int> first = rolesOf(generation1);
    static const QList<int> second = rolesOf(generation2);
    static const QList<int> third = second + rolesOf(generation3);
    return generation == 1 ? first : generation == 2 ? second : third;
}

QVariant decode(const ModbusBytes &bytes, int offset, Codec codec)
{
    switch (codec) {
    case Time: return bytes.toDateTime(offset);
    case U16: return uint(bytes.toUInt16(offset));
    case U32: return bytes.toUInt32(offset);
    case Float: return bytes.toFloat(offset);
    case DStruct: return bytes.toDoubleStruct(offset);
    }
    return QVariant();
}

const History &history(HistoryKind kind)
{
    static const History flow{{F{33, 0, Float}, F{34, 4, Float}, F{35, 8, DStruct}, F{36, 16, DStruct}},
                              {F{33, 0, Float}, F{34, 4, Float}, F{35, 8, DStruct}, F{36, 16, DStruct},
                               F{37, 24, DStruct}},
                              36, 32, true};
    static const History heat{{F{33, 0, Float}, F{34, 4, Float}, F{35, 8, DStruct}, F{36, 16, DStruct}},
                              {F{33, 0, Float}, F{34, 4, Float}, F{35, 8, DStruct}, F{36, 16, DStruct}},
                              28, 24, false};
    static const History pressure{{F{33, 0, Float}, F{34, 4, Float}}, {F{33, 0, Float}, F{34, 4, Float}}, 12, 8,
                                  false};
    switch (kind) {
    case FlowRateHistory: return flow;
    case HeatHistory: return heat;
    case PressureHistory: return pressure;
    }
    return flow;
}

ModbusBytesArray historySamples(HistoryKind kind, const ModbusBytes &block, bool *pending, bool *cut)
{
    const History &layout = history(kind);
    const int held = block.size() < HistoryHeaderSize ? 0 : int(block.size() - HistoryHeaderSize) / DeviceStride;
    const int stated = block.toUInt16(2);
    const int count = qMin(stated, held);
    if (pending)
        *pending = block.toUInt16(0) != 0;
    if (cut)
        *cut = stated > held;
    ModbusBytesArray samples;
    samples.reserve(count);
    for (int i = 0; i < count; ++i) {
        const ModbusBytes device = ModbusBytes::fromOther(block, HistoryHeaderSize + i * DeviceStride, DeviceStride);
        ModbusBytes sample;
        sample.reserve(layout.sampleSize);
        for (const Field &field : layout.deviceFields)
            sample += recoded(device, field);
        if (layout.summary) {
            const double vPlus = device.toDoubleStruct(layout.deviceFields.at(2).offset);
            const double vMinus = device.toDoubleStruct(layout.deviceFields.at(3).offset);
            sample += ModbusBytes::fromDoubleStruct(vPlus - vMinus);
        }
        sample += ModbusBytes::fromSize(4);
        samples.append(sample);
    }
    return samples;
}

} // namespace EkDigitalLayout
