#pragma once

#include "base/AppSettings.h"
#include "base/ProxySettings.h"

#include <QObject>

// The settings of this run as the program uses them. Read from the settings file when the
// main window is created, changed by the settings dialog as its controls change (the
// synchronisation interval at its OK) and by the report window's own choice. Readers ask
// here and follow changed(); no window reads another window's controls.
class LiveSettings : public QObject
{
    Q_OBJECT
public:
    explicit LiveSettings(QObject *parent = nullptr);
    explicit LiveSettings(const AppSettings &values, QObject *parent = nullptr);

    const AppSettings &values() const { return m_values; }
    // Takes every value; changed() once when any of them differs.
    void set(const AppSettings &values);
    // Milliseconds of the synchronisation timer; 0 = no automatic runs.
    int updateInterval() const;
    ProxySettings proxy() const { return m_values.proxy(); }

signals:
    void changed();

private:
    AppSettings m_values;
};
