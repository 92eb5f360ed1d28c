#ifndef MODBUSITEMBYTEBASE_H
#define MODBUSITEMBYTEBASE_H

#include "modbusitemintbase.h"

// One-byte items. On registers the byte sits in the low half of a register (alignToWord).
class TAVREXBUS1_EXPORT ModbusItemByteBase : public ModbusItemIntBase
{
    Q_OBJECT
    Q_PROPERTY(bool alignToWord READ alignToWord WRITE setAlignToWord NOTIFY alignToWordChanged)

public:
    explicit ModbusItemByteBase(QObject *parent = nullptr);
    ModbusItemByteBase(quint32 address, QObject *parent = nullptr);

    bool alignToWord() const { return m_alignToWord; }

public Q_SLOTS:
    void setAlignToWord(bool align);

Q_SIGNALS:
    void alignToWordChanged(bool align);

protected:
    void applyResultTask(const ModbusTask &task) override;

private:
    bool m_alignToWord = true;
};

#endif
