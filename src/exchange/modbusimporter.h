#ifndef MODBUSIMPORTER_H
#define MODBUSIMPORTER_H

#include "modbusexporterimporter.h"

/// Loads item values through its engine, and writes them to the device afterwards when asked.
/// A load is all or nothing: when any value does not fit its item, no item changes.
///
/// Registered in QML as the uncreatable type `ModbusImporter` (`import TavrexBus 1.0`), so that QML sees its
/// properties.
class TAVREXBUS1_EXPORT ModbusImporter : public ModbusExporterImporter
{
    Q_OBJECT
    /// Write each loaded item to the device (default true).
    Q_PROPERTY(bool writeOnImport READ writeOnImport WRITE setWriteOnImport NOTIFY writeOnImportChanged)

public:
    /// An importer with no engine yet; subclasses provide one.
    explicit ModbusImporter(QObject *parent = nullptr);

    /// Getter of the writeOnImport property.
    bool writeOnImport() const { return m_writeOnImport; }

    /// Loads the values of the items (register items or ModbusItems containers) found in the current
    /// group; false, with no item changed, when the storage or a value cannot be used.
    Q_INVOKABLE bool importItems(const QVariantList &items);
    /// importItems() for a list of items.
    bool importItemList(const QList<ModbusItemBase *> &items);
    /// The value of the named property of the current group; empty when there is none.
    Q_INVOKABLE QString importProperty(const QString &name);
    /// Stops waiting for the writes of a run.
    Q_INVOKABLE void clearInternal();

public Q_SLOTS:
    /// Setter of the writeOnImport property.
    void setWriteOnImport(bool write);
    /// Enters the group of this name in the current group; false when there is none.
    bool beginGroup(const QString &name);
    /// Returns to the parent group.
    void endGroup();

Q_SIGNALS:
    /// writeOnImport changed; the new value is passed.
    void writeOnImportChanged(bool write);

protected:
    /// Takes ownership of the engine and takes the values it finds.
    void setEngine(ModbusExportEngine *engine);
    void connectDone(ModbusItemBase *item) override;
    bool startDeviceOperation(ModbusItemBase *item) override;
    QString failureText(const ModbusItemBase *item, const QString &message) const override;

protected Q_SLOTS:
    void onItemImportValue(ModbusItemBase *item, const QString &value);
    void onItemAfterWrite();

private:
    struct Staged
    {
        ModbusItemBase *item;
        QString value;
        QString location;
    };
    QString checkValue(const Staged &staged) const;
    static void applyValue(ModbusItemBase *item, const QString &value);

    QList<Staged> m_staged;
    bool m_writeOnImport = true;
};

#endif
