#ifndef TAVREXBUS1_MODBUSTARGET_H
#define TAVREXBUS1_MODBUSTARGET_H

#include "target.h"

/// A Modbus peer. Any two are equal: the link alone tells them apart.
///
/// Available in QML as `ModbusTarget` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusTarget : public Target
{
    Q_OBJECT

public:
    /// A Modbus peer.
    explicit ModbusTarget(QObject *parent = nullptr);
    /// A copy of other.
    ModbusTarget(const ModbusTarget &other);

    /// Always true: Modbus peers are told apart by their link.
    bool operator==(const ModbusTarget &other) const;
    /// Always false.
    bool operator!=(const ModbusTarget &other) const;

    QString toString(bool oneLine = false) const override;
};

#endif
