#ifndef VPARSER_H
#define VPARSER_H

#include "errobject.h"
#include "modbusbytes.h"
#include "qtavrexobject.h"
#include "tavrexbus.h"

class IPacket;
class IParseInfo;
class Target;

/// Turns received bytes into packets. Failures are reported through the error string.
class TAVREXBUS1_EXPORT VParser : public ErrObject, public QTavrexObject
{
    Q_OBJECT
public:
    /// A parser with no error reported.
    explicit VParser(QObject *parent = nullptr);
    ~VParser() override;

    /// True when the bytes form one whole message of that direction; never reports errors.
    virtual bool canParse(const ModbusBytes &bytes, TavrexBus::PacketState state) const = 0;
    /// A new packet owned by the caller, or null with the reason in errorString().
    virtual IPacket *parse(const ModbusBytes &bytes, const IParseInfo &info,
                           const Target *target) = 0;
    /// parse() with a success flag: the packet goes to *out (owned by the caller), or is deleted when out is
    /// null.
    virtual bool parse2(const ModbusBytes &bytes, const IParseInfo &info, const Target *target,
                        IPacket **out);
};

#endif // VPARSER_H
