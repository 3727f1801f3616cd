#include "archive/ArchiveLog.h"

Q_LOGGING_CATEGORY(lcArchive, "kolvani.archive")
