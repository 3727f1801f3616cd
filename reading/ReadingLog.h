#pragma once

#include <QLoggingCategory>

// Diagnostics of the reading folder ("kolvani.reading"); QT_LOGGING_RULES switches them.
Q_DECLARE_LOGGING_CATEGORY(lcReading)
