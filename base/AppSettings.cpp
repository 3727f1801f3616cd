#include "base/AppSettings.h"

#include "base/SettingsFile.h"
#include "base/ProxySettings.h"

#include <limits>

using namespace SettingsKeys;

AppSettings AppSettings::read(const SettingsFile &file)
{
    AppSettings s;
    s.interval = file.readInt(ConfigSection, Interval, s.interval);
    s.updates = file.readBool(ConfigSection, Updates, s.updates);
    s.balloon = file.readBool(ConfigSection, Balloon, s.balloon);
    s.autorun = file.readBool(ConfigSection, Autorun, s.autorun);
    s.closeAction = file.readBool(ConfigSection, CloseAction, s.closeAction);
    s.enableProxy = file.readBool(ConfigSection, EnableProxy, s.enableProxy);
    s.proxyServer = file.readString(ConfigSection, ProxyServer, s.proxyServer);
    s.proxyPort = file.readString(ConfigSection, ProxyPort, s.proxyPort);
    s.proxyUser = file.readString(ConfigSection, ProxyUser, s.proxyUser);
    s.proxyPassword = file.readString(ConfigSection, ProxyPassword, s.proxyPassword);
    s.dontShow = file.readBool(ConfigSection, DontShow, s.dontShow);
    s.descendingSort = file.readBool(ConfigSection, DescendingSort, s.descendingSort);
    s.columnToSort = file.readInt(ConfigSection, ColumnToSort, s.columnToSort);
    s.channelsListUrl = file.readString(ChannelsSection, ChannelsListUrl, s.channelsListUrl);
    s.remoteContent = file.readBool(ConfigSection, RemoteContent, s.remoteContent);
    s.groupShowsItems = file.readBool(ConfigSection, GroupShowsItems, s.groupShowsItems);
    s.hostConnections = qBound(MinHostConnections,
                               file.readInt(ConfigSection, HostConnections, s.hostConnections),
                               MaxHostConnections);
    s.itemZoom = file.readInt(ConfigSection, ItemZoom, s.itemZoom);
    s.keepItems = file.readBool(ConfigSection, KeepItems, s.keepItems);
    s.keepDays =
        qBound(MinKeepDays, file.readInt(ConfigSection, KeepDays, s.keepDays), MaxKeepDays);
    return s;
}

ProxySettings AppSettings::proxy() const
{
    ProxySettings p;
    p.enabled = enableProxy;
    p.server = proxyServer;
    p.port = proxyPort;
    p.user = proxyUser;
    p.password = proxyPassword;
    return p;
}

void WriteClosingSettings(SettingsFile &file, MainWindowState state, bool dontShow,
                          bool descendingSort, int columnToSort)
{
    file.writeInt(ConfigSection, MainState, static_cast<int>(state));
    file.writeBool(ConfigSection, DontShow, dontShow);
    file.writeBool(ConfigSection, DescendingSort, descendingSort);
    file.writeInt(ConfigSection, ColumnToSort, columnToSort);
}

int UpdateTimerInterval(int minutes)
{
    if (minutes <= 0)
        return 0;
    const qint64 ms = qint64(minutes) * 60000;
    return ms > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : int(ms);
}
