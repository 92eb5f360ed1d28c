#ifndef MODBUSITEMREADER_H
#define MODBUSITEMREADER_H

#include "mydeclarativeparserstatus.h"

#include <QtCore/qobject.h>

class ModbusItemBase;

// Keeps an item's interval reading on while the reader is active. Readers count, so several of
// them on one item keep it reading until the last one lets go.
class TAVREXBUS1_EXPORT ModbusItemReader : public QObject, public MyDeclarativeParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_MOC_INCLUDE("modbusitembase.h")
    Q_PROPERTY(ModbusItemBase *item READ item WRITE setItem NOTIFY itemChanged)
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)

public:
    explicit ModbusItemReader(QObject *parent = nullptr);
    ~ModbusItemReader() override;

    ModbusItemBase *item() const { return m_item; }
    bool active() const { return m_active; }
    void componentComplete() override;

public Q_SLOTS:
    void setItem(ModbusItemBase *item);
    void setActive(bool active);

Q_SIGNALS:
    void itemChanged(ModbusItemBase *item);
    void activeChanged(bool active);

private Q_SLOTS:
    void onItemDestroyed();

private:
    bool holding() const;

    ModbusItemBase *m_item = nullptr;
    bool m_active = true;
};

#endif
