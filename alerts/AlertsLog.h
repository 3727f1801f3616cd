#pragma once

#include <QLoggingCategory>

// Diagnostics of the alerts folder ("kolvani.alerts"); QT_LOGGING_RULES switches them.
Q_DECLARE_LOGGING_CATEGORY(lcAlerts)
