#pragma once

#include <QString>

class IMessageBoxes;
class TfmAboutFrm;
class TfmConfigFrm;
class TfmEditChannelFrm;
class TfmNewChannelFrm;
class TfmUpdateProgressFrm;

// Where the main window finds its environment; tests give their own.
struct MainFrmOptions
{
    QString executableDir;                 // folder of the executable, ending with "/"
    bool startHidden = false;              // first parameter "hid": only the tray icon at start
    IMessageBoxes *messageBoxes = nullptr; // null: the real message boxes
    bool showTrayIcon = true;
    // Without a system tray (some desktops have none) "to the tray" means minimised, so
    // that the program can always be reached again.
    bool trayAvailable = true;
    // Channels' site icons are fetched after their updates; tests that count a server's
    // requests leave it off.
    bool fetchSiteIcons = true;
};

// The windows created after the main window, handed to it once.
struct MainFrmWindows
{
    TfmUpdateProgressFrm *updateProgress = nullptr; // the report window
    TfmConfigFrm *config = nullptr;
    TfmAboutFrm *about = nullptr;
    TfmNewChannelFrm *newChannel = nullptr;   // the new channel wizard
    TfmEditChannelFrm *editChannel = nullptr; // the channel properties dialog
};
