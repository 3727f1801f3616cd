#pragma once

#include <QString>

// Where a channel's files live: the updater and the runs ask, the per-user folder answers.
class IChannelFiles
{
public:
    virtual ~IChannelFiles() = default;
    // The cache file the header list reads and the update replaces.
    virtual QString cacheFile(const QString &guid) const = 0;
    // The file a download of the channel is written into before it becomes the cache file.
    virtual QString downloadFile(const QString &guid) const = 0;
    // The validators (ETag, Last-Modified) of every channel's last download; empty for none.
    virtual QString validatorsFile() const = 0;
    // The pauses servers asked for (Retry-After); empty: kept in memory only.
    virtual QString serverPausesFile() const { return QString(); }
};
