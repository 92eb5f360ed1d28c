#ifndef EKDIGITALLAYOUT_P_H
#define EKDIGITALLAYOUT_P_H

#include "modbusbytes.h"

#include <QtCore/qlist.h>
#include <QtCore/qvariant.h>

// The meter family's data layouts: where each field of an archive record or a history sample lies and
// how it is coded. The one place that knows them; the record and history items only ask here.
namespace EkDigitalLayout {

enum Codec { Time, U16, U32, Float, DStruct };

struct Field
{
    int role;
    int offset;
    Codec codec;
};

// Record sizes of the generations 1, 2 and 3; 0 for any other generation.
int recordSize(int generation);

// The field of a generation's own table for role, or null. Generation 3 holds only roles 55-63 of its
// own and takes the rest from generation 2; every generation above 3 reads as 3.
const Field *recordField(int generation, int role);

// Roles a record sets, in the order its properties are updated.
const QList<int> &updateOrder(int generation);

QVariant decode(const ModbusBytes &bytes, int offset, Codec codec);

// A history block as the device sends it, and the samples the history items keep.
struct History
{
    QList<Field> deviceFields;  // within one device sample of DeviceStride bytes; roles as in sample
    QList<Field> sampleFields;  // within one kept sample; the time is not among them
    int sampleSize;
    int timeOffset;
    bool summary;  // the flow history adds V+ minus V- after its device fields
};

constexpr int HistoryBlockSize = 244;
constexpr int HistoryHeaderSize = 4;
constexpr int DeviceStride = 24;
constexpr int TimeRole = 32;

enum HistoryKind { FlowRateHistory, HeatHistory, PressureHistory };
const History &history(HistoryKind kind);

// The pending flag and the samples of one history block, each re-coded in the kept form with a zero time.
// A count larger than the block can hold is cut to what it holds; cut tells whether that happened.
ModbusBytesArray historySamples(HistoryKind kind, const ModbusBytes &block, bool *pending, bool *cut);

} // namespace EkDigitalLayout

#endif
