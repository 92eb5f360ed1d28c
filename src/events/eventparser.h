#ifndef TAVREXBUS1_EVENTPARSER_H
#define TAVREXBUS1_EVENTPARSER_H

#include "errobject.h"
#include "modbusbytes.h"
#include "qtavrexobject.h"

class IEvent;

/// Decodes one event record (its length byte already removed by the transport) into an event.
class TAVREXBUS1_EXPORT EventParser : public ErrObject, public QTavrexObject
{
    Q_OBJECT

public:
    /// An event record parser.
    explicit EventParser(QObject *parent = nullptr);

    /// The event of a record, owned by the caller; null for a malformed record, reported as
    /// "Event parser error: <why> (bytes: <record in hex>)".
    IEvent *parse(const ModbusBytes &record);
    /// "Event parser\n".
    QString toString(bool oneLine = false) const override;

private:
    IEvent *decode(const ModbusBytes &record, QString &why) const;
};

#endif
