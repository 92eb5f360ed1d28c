#ifndef MODBUSFILE_H
#define MODBUSFILE_H

#include "modbusitembase.h"

// A stretch of a device file, read and written with the file-register functions. Its value is
// the stretch in lower-case hexadecimal.
class TAVREXBUS1_EXPORT ModbusFile : public ModbusItemBase
{
    Q_OBJECT
    Q_CLASSINFO("ExportProp", "file")
    Q_CLASSINFO("ExportProp", "offset")
    Q_CLASSINFO("ExportProp", "length")
    Q_PROPERTY(QString value READ value WRITE setValue NOTIFY valueChanged)
    Q_PROPERTY(int file READ file WRITE setFile NOTIFY fileChanged)
    Q_PROPERTY(int offset READ offset WRITE setOffset NOTIFY offsetChanged)
    Q_PROPERTY(int length READ length WRITE setLength NOTIFY lengthChanged)
    Q_PROPERTY(int modbusBlockSize READ modbusBlockSize WRITE setModbusBlockSize NOTIFY modbusBlockSizeChanged)

public:
    explicit ModbusFile(QObject *parent = nullptr);

    QString value() const;
    int file() const { return m_file; }
    int offset() const { return m_offset; }
    int length() const { return m_length; }
    int modbusBlockSize() const { return m_modbusBlockSize; }

    QString formatValue() const override { return value(); }
    void setFormatValue(const QString &text) override { setValue(text); }
    using ModbusItemBase::getModbusBytes;
    ModbusBytesArray getModbusBytes(const ModbusBytesArray &array) const override;
    int requestItemModbusBytesCount() const override;
    ModbusTask *createModbusTask(TavrexBus::ModbusTaskType type, int interval) override;
    QVariant getTypedValue(const ModbusBytes &bytes) const override;

public Q_SLOTS:
    void setValue(const QString &value);
    void setFile(quint8 file);
    void setOffset(quint16 offset);
    void setLength(int length);
    void setModbusBlockSize(int size);

Q_SIGNALS:
    void valueChanged();
    void fileChanged(quint8 file);
    void offsetChanged(quint16 offset);
    void lengthChanged(int length);
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
