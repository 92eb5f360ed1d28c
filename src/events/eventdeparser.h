#ifndef TAVREXBUS1_EVENTDEPARSER_H
#define TAVREXBUS1_EVENTDEPARSER_H

#include "errobject.h"
#include "modbusbytes.h"
#include "qtavrexobject.h"

class IEvent;

/// Builds the record of an event, as a device would send it (without the transport's length byte).
class TAVREXBUS1_EXPORT EventDeparser : public ErrObject, public QTavrexObject
{
    Q_OBJECT

public:
    /// An event record builder.
    explicit EventDeparser(QObject *parent = nullptr);

    /// Appends the record of a keyboard event (01, key code) to out. Other kinds cannot be
    /// sent: false, reported as "Modbus event deparser deparse error: unsupported event type; bytes: …".
    bool deparse(const IEvent &event, ModbusBytes &out);
    /// "Event deparser\n".
    QString toString(bool oneLine = false) const override;
};

#endif
