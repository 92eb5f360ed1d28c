#ifndef ITEMPOINTER_H
#define ITEMPOINTER_H

#include "tavrexbus1global.h"

#include <QtCore/qpointer.h>

/// \file
/// The guarded item pointer of the tasks.

class ModbusItemBase;

/// Tasks outlive the items they were made for; a guarded pointer reads null once its item is gone.
using ItemPointer = QPointer<ModbusItemBase>;

#endif
