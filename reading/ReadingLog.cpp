#include "reading/ReadingLog.h"

Q_LOGGING_CATEGORY(lcReading, "kolvani.reading")
