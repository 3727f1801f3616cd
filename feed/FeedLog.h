#pragma once

#include <QLoggingCategory>

// Diagnostics of the feed folder ("kolvani.feed"); QT_LOGGING_RULES switches them.
Q_DECLARE_LOGGING_CATEGORY(lcFeed)
