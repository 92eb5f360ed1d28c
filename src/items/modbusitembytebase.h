#ifndef MODBUSITEMBYTEBASE_H
#define MODBUSITEMBYTEBASE_H

#include "modbusitemintbase.h"

/// One-byte items. On registers the byte sits in the low half of a register (alignToWord).
///
/// Registered in QML as the uncreatable type `ModbusItemByteBase` (`import TavrexBus 1.0`), so that QML sees
/// its
/// properties and enumerations.
class TAVREXBUS1_EXPORT ModbusItemByteBase : public ModbusItemIntBase
{
    Q_OBJECT
    /// Place the byte in the low half of a whole register (written and read as one register); true by default.
    Q_PROPERTY(bool alignToWord READ alignToWord WRITE setAlignToWord NOTIFY alignToWordChanged)

public:
    /// A one-byte item at holding register 400001.
    explicit ModbusItemByteBase(QObject *parent = nullptr);
    /// A one-byte item at the logical number address.
    ModbusItemByteBase(quint32 address, QObject *parent = nullptr);

    /// Getter of the alignToWord property.
    bool alignToWord() const { return m_alignToWord; }

public Q_SLOTS:
    /// Setter of the alignToWord property.
    void setAlignToWord(bool align);

Q_SIGNALS:
    /// alignToWord changed to align.
    void alignToWordChanged(bool align);

protected:
    void applyResultTask(const ModbusTask &task) override;

private:
    bool m_alignToWord = true;
};

#endif
