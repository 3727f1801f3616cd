#pragma once

#include <QString>

// Starting with the system: an XDG autostart entry "Felvane.desktop" in
// $XDG_CONFIG_HOME/autostart (or ~/.config/autostart) that starts the executable with
// the parameter "hid" (hidden in the tray).
QString AutostartEntryPath();
// Writes the entry when enabled, deletes it otherwise. Raises FileError on failure.
void setAutostart(bool enabled, const QString &executablePath);
// The Exec value for a path: quoted and escaped as desktop entries require, then " hid".
QString AutostartExecLine(const QString &executablePath);
