#pragma once

#include <QLoggingCategory>

// Diagnostics of the app folder ("kolvani.app"); QT_LOGGING_RULES switches them.
Q_DECLARE_LOGGING_CATEGORY(lcApp)
