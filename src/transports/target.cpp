#include "target.h"

Target::Target(QObject *parent)
    : QObject(parent)
{
}

bool Target::operator==(const Target &other) const
{
    return this == &other;
}

bool Target::operator!=(const Target &other) const
{
    return !(*this == other);
}
