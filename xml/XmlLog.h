#pragma once

#include <QLoggingCategory>

// Diagnostics of the xml folder ("kolvani.xml"); QT_LOGGING_RULES switches them.
Q_DECLARE_LOGGING_CATEGORY(lcXml)
