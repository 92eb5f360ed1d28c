#ifndef MODBUSFILE_H
#define MODBUSFILE_H

#include "modbusitembase.h"

/// A stretch of a device file, read and written with the file-register functions. Its value is
/// the stretch in lower-case hexadecimal.
///
/// Available in QML as `ModbusFile` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusFile : public ModbusItemBase
{
    Q_OBJECT
    Q_CLASSINFO("ExportProp", "file")
    Q_CLASSINFO("ExportProp", "offset")
    Q_CLASSINFO("ExportProp", "length")
    /// The stretch in lower-case hexadecimal; setting it stores the bytes it spells.
    Q_PROPERTY(QString value READ value WRITE setValue NOTIFY valueChanged)
    /// Device file number, 0-255.
    Q_PROPERTY(int file READ file WRITE setFile NOTIFY fileChanged)
    /// First register of the stretch inside the file, 0-65535.
    Q_PROPERTY(int offset READ offset WRITE setOffset NOTIFY offsetChanged)
    /// Bytes of the stretch.
    Q_PROPERTY(int length READ length WRITE setLength NOTIFY lengthChanged)
    /// Registers per request when the transfer is cut into parts, at most 122; below 1 (default) for 122.
    Q_PROPERTY(int modbusBlockSize READ modbusBlockSize WRITE setModbusBlockSize NOTIFY modbusBlockSizeChanged)

public:
    /// A one-byte stretch at the start of file 0.
    explicit ModbusFile(QObject *parent = nullptr);

    /// Getter of the value property.
    QString value() const;
    /// Getter of the file property.
    int file() const { return m_file; }
    /// Getter of the offset property.
    int offset() const { return m_offset; }
    /// Getter of the length property.
    int length() const { return m_length; }
    /// Getter of the modbusBlockSize property.
    int modbusBlockSize() const { return m_modbusBlockSize; }

    QString formatValue() const override { return value(); }
    void setFormatValue(const QString &text) override { setValue(text); }
    using ModbusItemBase::getModbusBytes;
    ModbusBytesArray getModbusBytes(const ModbusBytesArray &array) const override;
    int requestItemModbusBytesCount() const override;
    ModbusTask *createModbusTask(TavrexBus::ModbusTaskType type, int interval) override;
    QVariant getTypedValue(const ModbusBytes &bytes) const override;

public Q_SLOTS:
    /// Setter of the value property.
    void setValue(const QString &value);
    /// Setter of the file property.
    void setFile(quint8 file);
    /// Setter of the offset property.
    void setOffset(quint16 offset);
    /// Setter of the length property.
    void setLength(int length);
    /// Setter of the modbusBlockSize property.
    void setModbusBlockSize(int size);

Q_SIGNALS:
    /// value changed.
    void valueChanged();
    /// file changed; the new value is passed.
    void fileChanged(quint8 file);
    /// offset changed; the new value is passed.
    void offsetChanged(quint16 offset);
    /// length changed; the new value is passed.
    void lengthChanged(int length);
    /// modbusBlockSize changed to size.
    void modbusBlockSizeChanged(int size);

protected:
    void updateValueFromBytes() override;
    bool checkValidResultTask(ModbusTask *task) override;

private:
    quint8 m_file = 0;
    quint16 m_offset = 0;
    int m_length = 1;
    int m_modbusBlockSize = 0;
};

#endif
