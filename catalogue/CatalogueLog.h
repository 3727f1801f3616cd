#pragma once

#include <QLoggingCategory>

// Diagnostics of the catalogue folder ("kolvani.catalogue"); QT_LOGGING_RULES switches them.
Q_DECLARE_LOGGING_CATEGORY(lcCatalogue)
