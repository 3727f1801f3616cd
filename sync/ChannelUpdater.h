#pragma once

#include "feed/ReportSink.h"
#include "xml/XmlDocument.h"

#include <QObject>
#include <QTimer>

struct AlertQueue;
class IChannelFiles;
class IShownDocument;
struct TtvChannel;

// What a channel update needs from the program it runs in: the one download operation and
// the report window (standard error on the command line). The window and the command line
// follow busyChanged and the shown channel's own signals for everything else.
class IChannelUpdateHost : public IReportSink
{
public:
    // Fetches `url` into `targetFile`; 0 on success, -1 on failure (already reported).
    virtual int DownloadDocument(const QString &url, const QString &targetFile, const QString &user,
                                 const QString &password) = 0;
};

// How one update ended: the cache file rebuilt, a failure that has been reported, or a
// refusal (another update runs) that has reported nothing.
enum class UpdateOutcome { Updated, Failed, Refused };

struct UpdateResult
{
    UpdateOutcome outcome = UpdateOutcome::Failed;
    int newItems = 0; // only for Updated
};

// Rebuilds one channel's cache file from a fresh download, carrying the read marks over by
// item title, counting and queueing the new items.
class ChannelUpdater : public QObject
{
    Q_OBJECT
public:
    // `files`, `host`, `shown` and `alerts` must outlive the updater.
    ChannelUpdater(const IChannelFiles &files, IChannelUpdateHost &host, IShownDocument &shown,
                   AlertQueue &alerts, QObject *parent = nullptr);
    ~ChannelUpdater() override;

    UpdateResult update(TtvChannel &channel, const QString &name);
    // The same with the result as one number: -1 when the update failed or was refused,
    // else the number of new items.
    int UpdateChannel(TtvChannel &channel, const QString &name);

    bool channelUpdateBusy() const { return m_channelUpdateBusy; }
    // Warns about a channel that takes longer than this; tests shorten it.
    void setLongResponseInterval(int ms) { m_longResponseInterval = ms; }
    // The slow channel warning is pending.
    bool longResponsePending() const { return m_tmLongResponse.isActive(); }

signals:
    // An update begins (true) or has returned (false).
    void busyChanged(bool busy);

private:
    struct ReadMarks;
    void tmLongResponseTimer();
    ReadMarks readOldMarks(const QString &cacheFile, const QString &name);
    UpdateResult rebuild(TtvChannel &channel, const QString &name, const ReadMarks &marks);
    bool replaceCacheFile(const QString &cacheFile, const QString &downloadFile,
                          const QByteArray &content);
    void finish();

    const IChannelFiles &m_files;
    IChannelUpdateHost &m_host;
    IShownDocument &m_shown;
    AlertQueue &m_alerts;
    QTimer m_tmLongResponse;
    QString m_slowChannelMessage;
    XmlDocument m_xmlGetterDocument;
    bool m_channelUpdateBusy = false;
    int m_longResponseInterval = 60000;
};
