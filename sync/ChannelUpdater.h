#pragma once

#include "feed/DocumentDownloader.h"
#include "feed/ReportSink.h"
#include "sync/ChannelValidators.h"
#include "sync/ServerPauses.h"
#include "sync/UpdateFailures.h"
#include "xml/XmlDocument.h"

#include <QDateTime>
#include <QHash>

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
    // The download of a channel update: conditional when `conditions` are given, telling
    // what the reply said beyond the document. A host without DocumentDownloader::
    // FetchChannel at hand gets plain downloads, which only costs full replies.
    virtual ChannelFetch FetchChannel(const QString &url, const QString &targetFile,
                                      const QString &user, const QString &password,
                                      const HttpValidators &conditions)
    {
        Q_UNUSED(conditions);
        ChannelFetch fetch;
        fetch.result = DownloadDocument(url, targetFile, user, password);
        return fetch;
    }
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

    // A channel whose last download left validators is asked conditionally; a 304 is an
    // update without new items that keeps the cache file as it is.
    UpdateResult update(TtvChannel &channel, const QString &name);
    // The same with the result as one number: -1 when the update failed or was refused,
    // else the number of new items.
    int UpdateChannel(TtvChannel &channel, const QString &name);

    // False while the channel's server, having refused with 429 or 503, asked to be left
    // alone (Retry-After): runs of the update timer skip every channel of that host until
    // then, also after a restart, while a command of the user still asks at once.
    bool mayUpdateOnTimer(const TtvChannel &channel,
                          const QDateTime &now = QDateTime::currentDateTime()) const;
    // What the next update of the channel will ask its server: the validators of its last
    // download while its cache file exists, else nothing (a full request).
    HttpValidators conditionsFor(const TtvChannel &channel);
    // When that pause ends; invalid when there is none.
    QDateTime retryNotBefore(const TtvChannel &channel) const;

    // A run holds the validators' file from its first channel to its end, when it is
    // written once; a single update writes it at once.
    void holdValidatorWrites() { m_validators.hold(); }
    void releaseValidatorWrites() { m_validators.release(); }

    // Items a channel drops stay in its cache file, with their marks, until they are this
    // many days old; 0 (the default) lets them go with the update.
    void setKeptItemDays(int days) { m_keptItemDays = qMax(0, days); }

    bool channelUpdateBusy() const { return m_channelUpdateBusy; }
    // The channels whose last update failed, and why; the tree shows them as failing.
    UpdateFailures &failures() { return m_failures; }
    const UpdateFailures &failures() const { return m_failures; }
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
    UpdateResult rebuild(TtvChannel &channel, const QString &name, const ReadMarks &marks,
                         const QString &address, bool marksInDocument);
    bool replaceCacheFile(const QString &cacheFile, const QString &downloadFile,
                          const QByteArray &content);
    // Reports `line`; it stands for the update's failure, with the cause when known.
    void reportFailure(const QString &line, const QString &cause = QString());
    void finish();

    const IChannelFiles &m_files;
    IChannelUpdateHost &m_host;
    IShownDocument &m_shown;
    AlertQueue &m_alerts;
    QTimer m_tmLongResponse;
    QString m_slowChannelMessage;
    XmlDocument m_xmlGetterDocument;
    ChannelValidatorStore m_validators;
    mutable ServerPauses m_pauses;
    UpdateFailures m_failures;
    QString m_failureLine; // of the update in progress
    bool m_channelUpdateBusy = false;
    int m_longResponseInterval = 60000;
    int m_keptItemDays = 0;
};
