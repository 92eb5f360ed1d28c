#ifndef MODBUSEXPORTER_H
#define MODBUSEXPORTER_H

#include "modbusexporterimporter.h"

/// Saves item values through its engine, reading them from the device first when asked.
class TAVREXBUS1_EXPORT ModbusExporter : public ModbusExporterImporter
{
    Q_OBJECT
    Q_MOC_INCLUDE("modbusitembase.h")
    /// Export each item only after its read completed (default true).
    Q_PROPERTY(bool waitForRead READ waitForRead WRITE setWaitForRead NOTIFY waitForReadChanged)
    /// Read each item from the device before exporting it (default true).
    Q_PROPERTY(bool readOnExport READ readOnExport WRITE setReadOnExport NOTIFY readOnExportChanged)

public:
    explicit ModbusExporter(QObject *parent = nullptr);

    bool waitForRead() const { return m_waitForRead; }
    bool readOnExport() const { return m_readOnExport; }

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
    void setWaitForRead(bool wait);
    void setReadOnExport(bool read);
    /// Opens a group under the current one.
    void beginGroup(const QString &name);
    /// Closes the current group.
    void endGroup();
    /// Writes everything exported to the engine's destination.
    bool save();

Q_SIGNALS:
    void waitForReadChanged(bool wait);
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
