#ifndef ARCHIVESLOGGING_P_H
#define ARCHIVESLOGGING_P_H

#include <QtCore/qloggingcategory.h>

// "tavrexbus.archives": range readings (start, stop, where they ended) and device data the
// archive items had to cut or refuse.
Q_DECLARE_LOGGING_CATEGORY(lcArchives)

#endif
