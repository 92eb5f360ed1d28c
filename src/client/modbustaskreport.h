#ifndef MODBUSTASKREPORT_H
#define MODBUSTASKREPORT_H

#include "modbustask.h"

/// Reads the device report (report slave ID). The report is one answer and cannot be split.
class TAVREXBUS1_EXPORT ModbusTaskReport : public ModbusTask
{
public:
    /// A read of the device report for report, every interval milliseconds (0: once).
    ModbusTaskReport(ModbusItemBase &report, int interval);
    /// Copies other.
    ModbusTaskReport(const ModbusTaskReport &other) = default;

    ModbusTask *clone() const override;
    ModbusTaskList split() override;
};

#endif
