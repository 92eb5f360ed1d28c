#ifndef IPARSEINFO_H
#define IPARSEINFO_H

#include "qtavrexobject.h"
#include "tavrexbus1global.h"

/// What a parser cannot learn from the bytes alone.
class TAVREXBUS1_EXPORT IParseInfo : public QTavrexObject
{
public:
    IParseInfo() = default;
    /// Copies the information.
    IParseInfo(const IParseInfo &) = default;
    /// Copies the information.
    IParseInfo &operator=(const IParseInfo &) = default;
    virtual ~IParseInfo();
};

#endif // IPARSEINFO_H
