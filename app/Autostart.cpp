#include "app/Autostart.h"

#include "base/FileReplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString configHome()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.config");
}

} // namespace

QString AutostartEntryPath()
{
    return configHome() + QStringLiteral("/autostart/Felvane.desktop");
}

QString AutostartExecLine(const QString &executablePath)
{
    // Desktop entry quoting: the argument in double quotes with ", `, $ and \ escaped by a
    // backslash; then the whole value escaped once more as a string value (\ becomes \\),
    // and % doubled as field codes require.
    QString quoted;
    for (const QChar c : executablePath) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    QString value = QLatin1Char('"') + quoted + QLatin1Char('"');
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    value.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    value.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    value.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return value + QStringLiteral(" hid");
}

void setAutostart(bool enabled, const QString &executablePath)
{
    const QString path = AutostartEntryPath();
    if (!enabled) {
        if (QFileInfo::exists(path) && !QFile::remove(path))
            throw FileError(QStringLiteral("Nie można usunąć pliku autostartu %1").arg(path));
        return;
    }

    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        throw FileError(QStringLiteral("Nie można utworzyć folderu autostartu %1").arg(folder));

    const QByteArray entry = QStringLiteral("[Desktop Entry]\n"
                                            "Type=Application\n"
                                            "Name=Kolvani\n"
                                            "Comment=Czytnik kanałów RSS\n"
                                            "Exec=%1\n"
                                            "Terminal=false\n"
                                            "X-GNOME-Autostart-enabled=true\n")
                                 .arg(AutostartExecLine(executablePath))
                                 .toUtf8();
    WriteFileAtomically(path, entry);
}
