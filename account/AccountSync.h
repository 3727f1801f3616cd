#pragma once

#include "account/AccountSettings.h"
#include "account/AccountState.h"
#include "account/MarkQueue.h"
#include "feed/DocumentDownloader.h"

#include <QObject>
#include <QString>

#include <memory>

class ChannelNode;
class ChannelTree;
class IReportSink;
class IShownDocument;
class TtrssApi;
class UserFolder;
struct TtvChannel;

// The one owner of the Tiny Tiny RSS account: its settings, what is known of it, the read
// marks waiting for the server. A run asks it first to bring the subscriptions of the
// account's group in line both ways and to send the marks made here; the channels of that
// group then take their items from the server (fetch()) instead of their own addresses,
// in the cache file shape of every channel. Channels outside the group are never touched.
class AccountSync : public QObject
{
    Q_OBJECT
public:
    // Every argument must outlive the object.
    AccountSync(const UserFolder &folder, ChannelTree &tree, IShownDocument &shown,
                IReportSink &report, QObject *parent = nullptr);
    ~AccountSync() override;

    // The account file read again (after the settings dialog saved it).
    void reloadSettings();
    // Where the account is kept: a file readable by the user alone.
    QString accountFile() const;
    const AccountSettings &settings() const { return m_settings; }
    TtrssApi &api() { return *m_api; }
    // The group named after the account among the root's children; null when there is none.
    ChannelNode *accountGroup() const;
    // Whether the channel's updates come from the server: it belongs to the account.
    bool owns(const TtvChannel &channel) const;
    bool ownsDownload(const QString &downloadFile) const;
    int pendingMarks() const { return m_queue.size(); }
    // Why a group may not be made in `group` or `group` renamed: it is the account's group
    // or lies in it, and the server's API has no call for categories. Empty otherwise.
    QString groupChangeRefusal(const ChannelNode *group) const;

    // Before a run's channels: log in, subscriptions both ways, local marks queued and sent.
    // Problems are reported; the run goes on with the channels outside the account.
    void beginRun();
    // After a run: what was learnt is written, the session ended.
    void endRun();
    // The update of one of the account's channels: its new items from the server, with
    // the marks both sides agree on, written into `downloadFile` as RSS 2.0.
    ChannelFetch fetch(const QString &downloadFile);

private:
    struct CachedItem;
    bool ensureLogin();
    void syncSubscriptions();
    void pushLocalSubscriptions(ChannelNode *group);
    void pullServerSubscriptions(ChannelNode *group);
    void queueLocalMarks();
    void sendMarks();
    void saveState();
    void reportDown();
    QList<CachedItem> readCache(const QString &guid, bool *ok) const;
    int feedOfDownload(const QString &downloadFile) const;
    ChannelNode *channelByGuid(ChannelNode *under, const QString &guid) const;
    ChannelNode *groupNamed(ChannelNode *under, const QString &name) const;

    const UserFolder &m_folder;
    ChannelTree &m_tree;
    IShownDocument &m_shown;
    IReportSink &m_report;
    std::unique_ptr<TtrssApi> m_api;
    AccountSettings m_settings;
    AccountState m_state;
    MarkQueue m_queue;
    bool m_inRun = false;
    bool m_down = false; // the server failed during this run: its channels fail at once
};
