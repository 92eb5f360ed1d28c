#ifndef MODBUSITEMREADER_H
#define MODBUSITEMREADER_H

#include "mydeclarativeparserstatus.h"

#include <QtCore/qobject.h>

class ModbusItemBase;

/// Keeps an item's interval reading on while the reader is active. Readers count, so several of
/// them on one item keep it reading until the last one lets go.
///
/// Available in QML as `ModbusItemReader` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusItemReader : public QObject, public MyDeclarativeParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_MOC_INCLUDE("modbusitembase.h")
    /// The item kept reading; not owned.
    Q_PROPERTY(ModbusItemBase *item READ item WRITE setItem NOTIFY itemChanged)
    /// Keep item reading; true by default.
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)

public:
    /// A reader with no item.
    explicit ModbusItemReader(QObject *parent = nullptr);
    ~ModbusItemReader() override;

    /// Getter of the item property.
    ModbusItemBase *item() const { return m_item; }
    /// Getter of the active property.
    bool active() const { return m_active; }
    /// Called by the QML engine once every property is set; starts holding the item.
    void componentComplete() override;

public Q_SLOTS:
    /// Setter of the item property.
    void setItem(ModbusItemBase *item);
    /// Setter of the active property.
    void setActive(bool active);

Q_SIGNALS:
    /// item changed; the new value is passed.
    void itemChanged(ModbusItemBase *item);
    /// active changed; the new value is passed.
    void activeChanged(bool active);

private Q_SLOTS:
    void onItemDestroyed();

private:
    bool holding() const;

    ModbusItemBase *m_item = nullptr;
    bool m_active = true;
};

#endif
