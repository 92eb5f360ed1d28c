#ifndef MODBUSBYTESARRAY_H
#define MODBUSBYTESARRAY_H

#include "modbusbytes.h"

#include <QtCore/QList>
#include <QtCore/QMetaType>

// An ordered list of byte blocks: one per record, file record or label list.
class TAVREXBUS1_EXPORT ModbusBytesArray : public QList<ModbusBytes>
{
public:
    ModbusBytesArray() = default;
    ModbusBytesArray(const ModbusBytesArray &other) = default;
    ModbusBytesArray(ModbusBytesArray &&other) noexcept = default;
    ModbusBytesArray(const QList<ModbusBytes> &blocks);
    ModbusBytesArray(std::initializer_list<ModbusBytes> blocks);
    // One block: the slice of bytes (see ModbusBytes::fromOther).
    ModbusBytesArray(const ModbusBytes &bytes, int pos, int len = -1);
    // Blocks pos … pos + count - 1 of blocks, sliced like ModbusBytes::fromOther.
    ModbusBytesArray(const ModbusBytesArray &blocks, int pos, int count = -1);
    ModbusBytesArray &operator=(const ModbusBytesArray &other) = default;
    ModbusBytesArray &operator=(ModbusBytesArray &&other) noexcept = default;

    ModbusBytes toModbusBytes() const;
    void prependBytesArray(const ModbusBytesArray &other);
    // Each block replaced by a one-byte block holding its last byte.
    ModbusBytesArray shrinkedToByte() const;
    ModbusBytesArray alignedToWord(bool atEnd = true) const;
    int totalSize() const;
};

Q_DECLARE_METATYPE(ModbusBytesArray)

#endif // MODBUSBYTESARRAY_H
