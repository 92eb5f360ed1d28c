#ifndef TAVREXBUS1GLOBAL_H
#define TAVREXBUS1GLOBAL_H

#include <QtCore/qglobal.h>

#if defined(TAVREXBUS1_LIBRARY)
#  define TAVREXBUS1_EXPORT Q_DECL_EXPORT
#else
#  define TAVREXBUS1_EXPORT Q_DECL_IMPORT
#endif

#endif
