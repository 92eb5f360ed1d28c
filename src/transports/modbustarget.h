#ifndef TAVREXBUS1_MODBUSTARGET_H
#define TAVREXBUS1_MODBUSTARGET_H

#include "target.h"

/// A Modbus peer. Any two are equal: the link alone tells them apart.
class TAVREXBUS1_EXPORT ModbusTarget : public Target
{
    Q_OBJECT

public:
    explicit ModbusTarget(QObject *parent = nullptr);
    ModbusTarget(const ModbusTarget &other);

    bool operator==(const ModbusTarget &other) const;
    bool operator!=(const ModbusTarget &other) const;

    QString toString(bool oneLine = false) const override;
};

#endif
