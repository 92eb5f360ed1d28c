#ifndef MODBUSITEMEXPORTER_H
#define MODBUSITEMEXPORTER_H

#include "errobject.h"

#include <QtCore/qpointer.h>

class ModbusItemBase;

/// Base of the exporters that write one item's table: the item and the running state.
class TAVREXBUS1_EXPORT ModbusItemExporter : public ErrObject
{
    Q_OBJECT
    Q_MOC_INCLUDE("modbusitembase.h")
    /// The item whose model is written; not owned.
    Q_PROPERTY(ModbusItemBase *item READ item WRITE setItem NOTIFY itemChanged)
    /// True while start() works.
    Q_PROPERTY(bool running READ running WRITE setRunning NOTIFY runningChanged)

public:
    explicit ModbusItemExporter(QObject *parent = nullptr);

    ModbusItemBase *item() const { return m_item; }
    void setItem(ModbusItemBase *item);
    bool running() const { return m_running; }

public Q_SLOTS:
    /// Runs the export; completed() follows a successful one.
    bool start();
    void setRunning(bool running);
    /// An export runs to its end within start(); there is nothing to stop.
    void stop() {}

Q_SIGNALS:
    void itemChanged(ModbusItemBase *item);
    void runningChanged(bool running);
    void started();
    void completed();

protected:
    virtual bool startInternal() = 0;

private:
    QPointer<ModbusItemBase> m_item;
    bool m_running = false;
};

#endif
