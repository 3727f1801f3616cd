#pragma once

#include "feed/ReportSink.h"
#include "xml/XmlDocument.h"

#include <QObject>
#include <QTimer>

struct AlertQueue;
class IChannelFiles;
struct TtvChannel;

// What a channel update needs from the window it runs in. The main window implements it
// with its status bar, header list and browser; the command line and tests with plain ones.
class IChannelUpdateHost : public IReportSink
{
public:
    // Fetches `url` into `targetFile`; 0 on success, -1 on failure (already reported).
    virtual int DownloadDocument(const QString &url, const QString &targetFile, const QString &user,
                                 const QString &password) = 0;
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
    // `files` names the cache and download files; it must outlive the updater.
    ChannelUpdater(const IChannelFiles &files, IChannelUpdateHost &host, AlertQueue &alerts,
                   QObject *parent = nullptr);
    ~ChannelUpdater() override;

    // -1 when the update failed (reported) or another update is running (refused,
    // nothing reported), else the number of new items.
    int UpdateChannel(TtvChannel &channel, const QString &name);

    bool channelUpdateBusy() const { return m_channelUpdateBusy; }
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
    int rebuild(TtvChannel &channel, const QString &name, const ReadMarks &marks);
    void reloadShown(const QString &cacheFile);
    void finish();

    const IChannelFiles &m_files;
    IChannelUpdateHost &m_host;
    AlertQueue &m_alerts;
    bool m_channelUpdateBusy = false;
    int m_longResponseInterval = 60000;
};
