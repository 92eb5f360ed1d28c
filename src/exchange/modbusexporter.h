#ifndef MODBUSEXPORTER_H
#define MODBUSEXPORTER_H

#include "modbusexporterimporter.h"

/// Saves item values through its engine, reading them from the device first when asked.
///
/// Registered in QML as the uncreatable type `ModbusExporter` (`import TavrexBus 1.0`), so that QML sees its
/// properties.
class TAVREXBUS1_EXPORT ModbusExporter : public ModbusExporterImporter
{
    Q_OBJECT
    Q_MOC_INCLUDE("modbusitembase.h")
    /// Export each item only after its read completed (default true).
    Q_PROPERTY(bool waitForRead READ waitForRead WRITE setWaitForRead NOTIFY waitForReadChanged)
    /// Read each item from the device before exporting it (default true).
    Q_PROPERTY(bool readOnExport READ readOnExport WRITE setReadOnExport NOTIFY readOnExportChanged)

public:
    /// An exporter with no engine yet; subclasses provide one.
    explicit ModbusExporter(QObject *parent = nullptr);

    /// Getter of the waitForRead property.
    bool waitForRead() const { return m_waitForRead; }
    /// Getter of the readOnExport property.
    bool readOnExport() const { return m_readOnExport; }

    /// Called by the QML engine once every property is set; exports the items given in QML, if any.
    void componentComplete() override;

    /// Exports one item into the current group as it is now.
    Q_INVOKABLE bool exportItem(ModbusItemBase *item);
    /// Exports the items (register items or ModbusItems containers); finished() tells when all are in.
    Q_INVOKABLE void exportItems(const QVariantList &items);
    /// Exports a list of items as exportItems() does.
    void exportItemList(const QList<ModbusItemBase *> &items);
    /// Stores a free named value in the current group.
    Q_INVOKABLE bool exportProperty(const QString &name, const QString &value);
    /// Stops waiting for the reads of a run.
    Q_INVOKABLE void clearInternal();

public Q_SLOTS:
    /// Setter of the waitForRead property.
    void setWaitForRead(bool wait);
    /// Setter of the readOnExport property.
    void setReadOnExport(bool read);
    /// Opens a group under the current one.
    void beginGroup(const QString &name);
    /// Closes the current group.
    void endGroup();
    /// Writes everything exported to the engine's destination.
    bool save();

Q_SIGNALS:
    /// waitForRead changed; the new value is passed.
    void waitForReadChanged(bool wait);
    /// readOnExport changed; the new value is passed.
    void readOnExportChanged(bool read);

protected:
    void connectDone(ModbusItemBase *item) override;
    bool startDeviceOperation(ModbusItemBase *item) override;
    QString failureText(const ModbusItemBase *item, const QString &message) const override;
    void itemDone(ModbusItemBase *item) override;

protected Q_SLOTS:
    void onItemAfterRead();

private:
    bool m_waitForRead = true;
    bool m_readOnExport = true;
};

#endif
