#ifndef MODBUSITEMARCHBASE_H
#define MODBUSITEMARCHBASE_H

#include "modbusitembase.h"

class ModbusTaskArch;

/// The base of every archive item: which archive of the device it reads (its number, its kind and the
/// archive function). Archive items only read; a write is refused.
///
/// Registered in QML as the uncreatable type `ModbusItemArchBase` (`import TavrexBus 1.0`), so that QML sees
/// its
/// properties and enumerations.
class TAVREXBUS1_EXPORT ModbusItemArchBase : public ModbusItemBase
{
    Q_OBJECT
    /// The raw item bytes as hexadecimal text.
    Q_PROPERTY(QString value READ value WRITE setValue NOTIFY valueChanged)
    /// Archive number on the device, 0-65535.
    Q_PROPERTY(int archIndex READ archIndex WRITE setArchIndex NOTIFY archIndexChanged)
    /// The archive function that reads it: Func65 (records by label) or Func67 (the labels the device lists).
    Q_PROPERTY(TavrexBus::ArchFunc func READ func WRITE setFunc NOTIFY funcChanged)
    /// IndexArch (labels are record numbers) or TimeArch (labels are wall-clock times).
    Q_PROPERTY(TavrexBus::ArchType archType READ archType WRITE setArchType NOTIFY archTypeChanged)

public:
    /// An item whose value elements are requestItemBytesCount bytes long.
    explicit ModbusItemArchBase(int requestItemBytesCount, QObject *parent = nullptr);

    /// The item bytes as hexadecimal text.
    QString value() const { return m_value; }
    /// The archive number.
    int archIndex() const { return m_archIndex; }
    /// The archive function.
    TavrexBus::ArchFunc func() const { return m_func; }
    /// The archive kind.
    TavrexBus::ArchType archType() const { return m_archType; }

    /// Always true: archives are read-only.
    bool readOnly() const override { return true; }
    /// The same as value.
    QString formatValue() const override { return m_value; }
    /// The same as setValue.
    void setFormatValue(const QString &text) override { setValue(text); }

public Q_SLOTS:
    /// Replaces the item bytes by the hexadecimal text (blanks allowed).
    virtual void setValue(const QString &value);
    /// Selects another archive; a number outside 0-65535 is refused with an error.
    void setArchIndex(int archIndex);
    /// Selects the archive function.
    void setFunc(TavrexBus::ArchFunc func);
    /// Selects the archive kind.
    void setArchType(TavrexBus::ArchType archType);

Q_SIGNALS:
    /// value changed.
    void valueChanged();
    /// archIndex changed.
    void archIndexChanged();
    /// func changed.
    void funcChanged();
    /// archType changed.
    void archTypeChanged();

protected:
    void updateValueFromBytes() override;
    /// A result counts only for the archive it was asked of.
    bool checkValidResultTask(ModbusTask *task) override;
    /// Gives a task made for this item its archive.
    void initArchTask(ModbusTaskArch &task) const;
    /// Runs after the archive changed: the periodic request and a live value follow it.
    void archiveChanged();

private:
    QString m_value;
    quint16 m_archIndex = 0;
    TavrexBus::ArchFunc m_func = TavrexBus::Func65;
    TavrexBus::ArchType m_archType = TavrexBus::TimeArch;
};

#endif
