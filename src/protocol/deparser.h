#ifndef DEPARSER_H
#define DEPARSER_H

#include "errobject.h"
#include "modbusbytes.h"
#include "qtavrexobject.h"

class IPacket;
class Target;

/// Turns packets into bytes to send. Failures are reported through the error string.
class TAVREXBUS1_EXPORT Deparser : public ErrObject, public QTavrexObject
{
    Q_OBJECT
public:
    /// A deparser with no error reported.
    explicit Deparser(QObject *parent = nullptr);
    ~Deparser() override;

    /// Whether this deparser writes packet; true by default.
    virtual bool canDeparse(const IPacket &packet) const;
    /// Appends the bytes of packet for target to out; false with the reason in errorString() on refusal.
    virtual bool deparse(const IPacket &packet, ModbusBytes &out, const Target *target) = 0;
};

#endif // DEPARSER_H
