#ifndef ARCHCHECK_H
#define ARCHCHECK_H

#include "ekdigitallayout_p.h"
#include "fuzzcheck.h"
#include "modbusbytesarray.h"

#include <ctime>

// Included by one source of each archive target. Time fields become local date-times: a fixed zone
// with daylight saving spares a look-up of the system's zone on every field and keeps the gaps and
// repeated hours in play.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("TZ", "Europe/Berlin");
    tzset();
    return 0;
}

// Properties the meter layouts keep for any bytes: decoding stays inside the record, a record of its
// generation's size decodes every field, and history samples have their size and survive re-coding.
namespace ArchCheck {

inline int width(EkDigitalLayout::Codec codec)
{
    switch (codec) {
    case EkDigitalLayout::U16: return 2;
    case EkDigitalLayout::DStruct: return 8;
    default: return 4;
    }
}

inline void checkRecord(const ModbusBytes &record)
{
    for (int generation = 1; generation <= 4; ++generation) {
        const int size = EkDigitalLayout::recordSize(qMin(generation, 3));
        for (int role : EkDigitalLayout::updateOrder(generation)) {
            const EkDigitalLayout::Field *field = EkDigitalLayout::recordField(generation, role);
            if (!field && generation >= 3)
                field = EkDigitalLayout::recordField(2, role);
            if (!field || field->offset + width(field->codec) > size)
                FuzzCheck::fail("a field lies outside its record", record);
            const QVariant value = EkDigitalLayout::decode(record, field->offset, field->codec);
            if (record.size() >= size && field->codec != EkDigitalLayout::Time && !value.isValid())
                FuzzCheck::fail("a whole record has a field without value", record);
        }
    }
}

inline void checkHistory(const ModbusBytes &block)
{
    using namespace EkDigitalLayout;
    for (HistoryKind kind : {FlowRateHistory, HeatHistory, PressureHistory}) {
        bool pending = false;
        bool cut = false;
        const ModbusBytesArray samples = historySamples(kind, block, &pending, &cut);
        const qsizetype room = block.size() < HistoryHeaderSize ? 0 : (block.size() - HistoryHeaderSize) / DeviceStride;
        if (samples.size() > room)
            FuzzCheck::fail("more samples than the block holds", block);
        for (const ModbusBytes &sample : samples) {
            if (sample.size() != history(kind).sampleSize)
                FuzzCheck::fail("a sample of the wrong size", sample);
            // Coding a kept sample again changes nothing: views and exports see stable values.
            ModbusBytes again;
            for (const Field &field : history(kind).sampleFields) {
                again += field.codec == DStruct ? ModbusBytes::fromDoubleStruct(sample.toDoubleStruct(field.offset))
                                                : ModbusBytes::fromFloat(sample.toFloat(field.offset));
            }
            if (again != sample.left(again.size()))
                FuzzCheck::fail("a sample changes when coded again", sample);
        }
    }
}

} // namespace ArchCheck

#endif
