#pragma once

#include "feed/DocumentDownloader.h"
#include "sync/ChannelValidators.h"
#include "sync/ReportSink.h"
#include "xml/XmlDocument.h"

#include <QDateTime>
#include <QHash>

#include <QObject>
#include <QTimer>

struct AlertQueue;
struct TtvChannel;

// What a channel update needs from the window it runs in. The main window implements it
// with its status bar, header list and browser; the command line and tests with plain ones.
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
    // The document shown in the header list; saved before the update, reloaded after it
    // when it is the updated channel's cache file.
    virtual XmlDocument &shownDocument() = 0;
    virtual void setSyncSelectedEnabled(bool) {}
    virtual void setHeadersEnabled(bool) {}
    virtual void refreshContent() {}
};

// Rebuilds one channel's cache file data/<GUID>.xml from a fresh download, carrying the
// read marks over by item title, counting and queueing the new items.
class ChannelUpdater : public QObject
{
    Q_OBJECT
public:
    ChannelUpdater(const QString &appFolder, IChannelUpdateHost &host, AlertQueue &alerts,
                   QObject *parent = nullptr);
    ~ChannelUpdater() override;

    // -1 when the update failed (reported) or another update is running (refused,
    // nothing reported), else the number of new items. A channel whose last download left
    // validators is asked conditionally; a 304 is an update without new items that keeps
    // the cache file as it is.
    int UpdateChannel(TtvChannel &channel, const QString &name);

    // False while the channel's server, having refused with 429 or 503, asked to be left
    // alone (Retry-After): runs of the update timer skip the channel until then, while a
    // command of the user still asks at once.
    bool mayUpdateOnTimer(const TtvChannel &channel,
                          const QDateTime &now = QDateTime::currentDateTime()) const;
    // When that pause ends; invalid when there is none.
    QDateTime retryNotBefore(const QString &guid) const { return m_retryNotBefore.value(guid); }

    bool channelUpdateBusy() const { return m_channelUpdateBusy; }
    QString cacheFilePath(const QString &guid) const;
    QString downloadFilePath(const QString &guid) const;
    QString validatorsFilePath() const;

    // The per-user folder, ending with "/"; known only once the window has found it.
    void setAppFolder(const QString &appFolder);
    // Warns about a channel that takes longer than this; tests shorten it.
    void setLongResponseInterval(int ms) { m_longResponseInterval = ms; }

    QTimer tmLongResponse;
    QString slowChannelMessage;
    XmlDocument xmlGetterDocument;

signals:
    // An update begins (true) or has returned (false).
    void busyChanged(bool busy);

private:
    struct ReadMarks;
    void tmLongResponseTimer();
    ReadMarks readOldMarks(const QString &cacheFile, const QString &name);
    int rebuild(TtvChannel &channel, const QString &name, const ReadMarks &marks,
                const QString &address);
    void reloadShown(const QString &cacheFile);
    void finish();

    QString m_appFolder;
    IChannelUpdateHost &m_host;
    AlertQueue &m_alerts;
    ChannelValidatorStore m_validators;
    QHash<QString, QDateTime> m_retryNotBefore; // by channel GUID
    bool m_channelUpdateBusy = false;
    int m_longResponseInterval = 60000;
};
