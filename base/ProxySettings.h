#pragma once

#include <QString>

// Proxy settings as the settings dialog holds them; read before every download.
struct ProxySettings
{
    bool enabled = false;
    QString server;
    QString port; // as typed; a text that is not a whole number fails the download
    QString user;
    QString password;
};
