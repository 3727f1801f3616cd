#pragma once

#include <QLoggingCategory>

// Diagnostics of the archive folder ("kolvani.archive"); QT_LOGGING_RULES switches them.
Q_DECLARE_LOGGING_CATEGORY(lcArchive)
