#include "archiveslogging_p.h"

Q_LOGGING_CATEGORY(lcArchives, "tavrexbus.archives", QtWarningMsg)
