#ifndef MODBUSTARGET_H
#define MODBUSTARGET_H

#include "target.h"

// A Modbus peer reached over a link that needs no address of its own.
class TAVREXBUS1_EXPORT ModbusTarget : public Target
{
    Q_OBJECT
public:
    explicit ModbusTarget(QObject *parent = nullptr);
    ModbusTarget(const ModbusTarget &other);

    QString toString(bool oneLine) const override;

    bool operator==(const ModbusTarget &) const { return true; }
    bool operator!=(const ModbusTarget &other) const { return !(*this == other); }
};

#endif // MODBUSTARGET_H
