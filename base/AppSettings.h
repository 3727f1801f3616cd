#pragma once

#include <QString>

class SettingsFile;
struct ProxySettings;

// Section and key names of data/config.ini and their defaults, kept in one place.
namespace SettingsKeys {
inline const QString ConfigSection = QStringLiteral("config");
inline const QString ChannelsSection = QStringLiteral("Channels");

inline const QString Interval = QStringLiteral("seInterval");
inline const QString Updates = QStringLiteral("cbUpdates");
inline const QString Balloon = QStringLiteral("cbBalloon");
inline const QString HostConnections = QStringLiteral("seHostConnections");
inline const QString Autorun = QStringLiteral("cbAutorun");
inline const QString CloseAction = QStringLiteral("cbCloseAction");
inline const QString EnableProxy = QStringLiteral("cbEnableProxy");
inline const QString ProxyServer = QStringLiteral("edProxyServer");
inline const QString ProxyPort = QStringLiteral("edProxyPort");
inline const QString ProxyUser = QStringLiteral("edProxyUser");
inline const QString ProxyPassword = QStringLiteral("edProxyPassword");
inline const QString DontShow = QStringLiteral("cbDontShow");
inline const QString DescendingSort = QStringLiteral("bDescendingSort");
inline const QString ColumnToSort = QStringLiteral("nColumnToSort");
inline const QString MainState = QStringLiteral("fmMainState");
inline const QString ChannelsListUrl = QStringLiteral("ChannelsListURL");
inline const QString RemoteContent = QStringLiteral("cbRemoteContent");
inline const QString ItemZoom = QStringLiteral("nItemZoom");
inline const QString GroupShowsItems = QStringLiteral("cbGroupShowsItems");
inline const QString KeepItems = QStringLiteral("cbKeepItems");
inline const QString KeepDays = QStringLiteral("seKeepDays");
} // namespace SettingsKeys

// Every setting of the program with its default when the key is missing.
struct AppSettings
{
    int interval = 60; // minutes
    bool updates = false;
    bool balloon = true;
    bool autorun = false;
    bool closeAction = true;
    bool enableProxy = false;
    QString proxyServer;
    QString proxyPort = QStringLiteral("0");
    QString proxyUser;
    QString proxyPassword;
    bool dontShow = false;
    bool descendingSort = false;
    int columnToSort = 0;
    QString channelsListUrl;
    // Items load pictures, films and sounds from the web; a file without the key predates the
    // choice, and pictures stayed on then.
    bool remoteContent = true;
    // Selecting a group in the tree shows its channels' items in one list; off, the list
    // keeps the rows it had, as it always did.
    bool groupShowsItems = false;
    // Connections a run may open to a server that holds most of its channels; every other
    // server gets two. Files without the key, and values out of range, give the bounds.
    static constexpr int MinHostConnections = 2;
    static constexpr int MaxHostConnections = 6;
    int hostConnections = MaxHostConnections;
    // The item view's zoom in percent, written whenever the user zooms.
    int itemZoom = 100;
    // Items the channel no longer carries stay in its cache file, with their marks, until
    // they are this many days old; off, they go with the channel's next update.
    bool keepItems = false;
    static constexpr int MinKeepDays = 1;
    static constexpr int MaxKeepDays = 3650;
    int keepDays = 30;
    // The days kept items stay; 0 when they are not kept.
    int keptItemDays() const { return keepItems ? keepDays : 0; }

    static AppSettings read(const SettingsFile &file);
    // The stored proxy, as a download reads it.
    ProxySettings proxy() const;
};

// Window state values of fmMainState.
enum class MainWindowState { Normal = 0, Minimised = 1, Maximised = 2 };

// What the main window writes on every closing, in this order: fmMainState, cbDontShow,
// bDescendingSort, nColumnToSort. Raises FileError.
void WriteClosingSettings(SettingsFile &file, MainWindowState state, bool dontShow,
                          bool descendingSort, int columnToSort);

// Milliseconds of the synchronisation timer for an interval in minutes; intervals too
// long for the timer are capped at its longest period instead of wrapping around.
int UpdateTimerInterval(int minutes);
