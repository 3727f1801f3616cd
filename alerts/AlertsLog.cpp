#include "alerts/AlertsLog.h"

Q_LOGGING_CATEGORY(lcAlerts, "kolvani.alerts")
