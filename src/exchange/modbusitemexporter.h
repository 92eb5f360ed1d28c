#ifndef MODBUSITEMEXPORTER_H
#define MODBUSITEMEXPORTER_H

#include "errobject.h"

#include <QtCore/qpointer.h>

class ModbusItemBase;

/// Base of the exporters that write one item's table: the item and the running state.
///
/// Registered in QML as the uncreatable type `ModbusItemExporter` (`import TavrexBus 1.0`), so that QML sees
/// its properties.
class TAVREXBUS1_EXPORT ModbusItemExporter : public ErrObject
{
    Q_OBJECT
    Q_MOC_INCLUDE("modbusitembase.h")
    /// The item whose model is written; not owned.
    Q_PROPERTY(ModbusItemBase *item READ item WRITE setItem NOTIFY itemChanged)
    /// True while start() works.
    Q_PROPERTY(bool running READ running WRITE setRunning NOTIFY runningChanged)

public:
    /// An exporter with no item.
    explicit ModbusItemExporter(QObject *parent = nullptr);

    /// Getter of the item property.
    ModbusItemBase *item() const { return m_item; }
    /// Setter of the item property.
    void setItem(ModbusItemBase *item);
    /// Getter of the running property.
    bool running() const { return m_running; }

public Q_SLOTS:
    /// Runs the export; completed() follows a successful one.
    bool start();
    /// Setter of the running property.
    void setRunning(bool running);
    /// An export runs to its end within start(); there is nothing to stop.
    void stop() {}

Q_SIGNALS:
    /// item changed; the new value is passed.
    void itemChanged(ModbusItemBase *item);
    /// running changed; the new value is passed.
    void runningChanged(bool running);
    /// The destination is open and the rows are about to be written.
    void started();
    /// An export finished successfully; a failed one reports through error() instead.
    void completed();

protected:
    virtual bool startInternal() = 0;

private:
    QPointer<ModbusItemBase> m_item;
    bool m_running = false;
};

#endif
