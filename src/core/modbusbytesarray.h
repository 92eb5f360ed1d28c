#ifndef MODBUSBYTESARRAY_H
#define MODBUSBYTESARRAY_H

#include "modbusbytes.h"

#include <QtCore/QList>
#include <QtCore/QMetaType>

/// An ordered list of byte blocks: one per record, file record or label list.
class TAVREXBUS1_EXPORT ModbusBytesArray : public QList<ModbusBytes>
{
public:
    /// An empty array.
    ModbusBytesArray() = default;
    /// Copies other.
    ModbusBytesArray(const ModbusBytesArray &other) = default;
    /// Takes over other.
    ModbusBytesArray(ModbusBytesArray &&other) noexcept = default;
    /// The blocks of a list, in order.
    ModbusBytesArray(const QList<ModbusBytes> &blocks);
    /// The blocks given, in order.
    ModbusBytesArray(std::initializer_list<ModbusBytes> blocks);
    /// One block: the slice of bytes (see ModbusBytes::fromOther).
    ModbusBytesArray(const ModbusBytes &bytes, int pos, int len = -1);
    /// Blocks pos … pos + count - 1 of blocks, sliced like ModbusBytes::fromOther.
    ModbusBytesArray(const ModbusBytesArray &blocks, int pos, int count = -1);
    /// Copies other.
    ModbusBytesArray &operator=(const ModbusBytesArray &other) = default;
    /// Takes over other.
    ModbusBytesArray &operator=(ModbusBytesArray &&other) noexcept = default;

    /// All blocks joined into one buffer.
    ModbusBytes toModbusBytes() const;
    /// Puts the blocks of other before these.
    void prependBytesArray(const ModbusBytesArray &other);
    /// Each block replaced by a one-byte block holding its last byte.
    ModbusBytesArray shrinkedToByte() const;
    /// Every block padded with a zero byte to an even size, at its end or (atEnd false) its front.
    ModbusBytesArray alignedToWord(bool atEnd = true) const;
    /// The sum of the block sizes, in bytes.
    int totalSize() const;
};

Q_DECLARE_METATYPE(ModbusBytesArray)

#endif // MODBUSBYTESARRAY_H
