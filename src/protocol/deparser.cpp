#include "deparser.h"

Deparser::Deparser(QObject *parent)
    : ErrObject(parent)
{
}

Deparser::~Deparser() = default;

bool Deparser::canDeparse(const IPacket &) const
{
    return false;
}
