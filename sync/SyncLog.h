#pragma once

#include <QLoggingCategory>

// Diagnostics of the sync folder ("kolvani.sync"); QT_LOGGING_RULES switches them.
Q_DECLARE_LOGGING_CATEGORY(lcSync)
