#pragma once

#include <QLoggingCategory>

#include <exception>

// One step of the start-up or the closing that is guarded by itself: when it fails, what
// it raised is logged under `category` (one of the lc... categories) and the caller goes on with its next step.
// Returns whether the step ran through.
template <typename Step>
bool GuardedStep(const QLoggingCategory &(*category)(), const char *what, Step &&step)
{
    try {
        step();
        return true;
    } catch (const std::exception &e) {
        qCWarning(category, "%s: %s", what, e.what());
    }
    return false;
}
