#ifndef DEPARSER_H
#define DEPARSER_H

#include "errobject.h"
#include "modbusbytes.h"
#include "qtavrexobject.h"

class IPacket;
class Target;

// Turns packets into bytes to send. Failures are reported through the error string.
class TAVREXBUS1_EXPORT Deparser : public ErrObject, public QTavrexObject
{
    Q_OBJECT
public:
    explicit Deparser(QObject *parent = nullptr);
    ~Deparser() override;

    virtual bool canDeparse(const IPacket &packet) const;
    virtual bool deparse(const IPacket &packet, ModbusBytes &out, const Target *target) = 0;
};

#endif // DEPARSER_H
