#include "account/AccountSync.h"

#include "account/AccountDocument.h"
#include "account/TtrssApi.h"
#include "base/FileReplace.h"
#include "base/UserFolder.h"
#include "catalogue/ChannelTree.h"
#include "feed/ReportSink.h"
#include "feed/TextOps.h"
#include "sync/ShownDocument.h"

#include <QFile>
#include <QSet>

namespace {

// A feed of more than this many pages of new headlines is read in part per run.
const int MaxPagesPerRun = 200;

QString apiCannotLine(const QString &group, const QString &account)
{
    return QStringLiteral("Grupa „%1” w „%2” jest tylko w tym programie: API serwera Tiny Tiny "
                          "RSS nie pozwala tworzyć kategorii, zmieniać ich nazw ani ich przenosić.")
        .arg(group, account);
}

} // namespace

AccountSync::AccountSync(const UserFolder &folder, ChannelTree &tree, IShownDocument &shown,
                         IReportSink &report, QObject *parent)
    : QObject(parent), m_folder(folder), m_tree(tree), m_shown(shown), m_report(report),
      m_api(std::make_unique<TtrssApi>())
{
    reloadSettings();
}

AccountSync::~AccountSync() = default;

QString AccountSync::accountFile() const
{
    return m_folder.dataFile(QStringLiteral("ttrss_account.json"));
}

void AccountSync::reloadSettings()
{
    const AccountSettings settings = AccountSettings::read(accountFile());
    m_settings = settings;
    m_api->setServer(settings.server);
    m_api->setCredentials(settings.user, settings.password);
    m_state = AccountState::read(m_folder.dataFile(QStringLiteral("ttrss_state.json")),
                                 settings.groupName());
    m_queue.setPath(m_folder.dataFile(QStringLiteral("ttrss_marks.json")));
    if (!m_queue.load())
        m_report.ReportProblem(
            QStringLiteral("Nie można odczytać kolejki znaczników przeczytania dla serwera."));
}

ChannelNode *AccountSync::accountGroup() const
{
    if (!m_settings.isSet())
        return nullptr;
    return groupNamed(m_tree.root(), m_settings.groupName());
}

ChannelNode *AccountSync::groupNamed(ChannelNode *under, const QString &name) const
{
    if (!under)
        return nullptr;
    for (ChannelNode *child : under->children())
        if (child->isGroup() && child->text() == name)
            return child;
    return nullptr;
}

ChannelNode *AccountSync::channelByGuid(ChannelNode *under, const QString &guid) const
{
    if (!under)
        return nullptr;
    for (ChannelNode *child : under->children()) {
        if (child->isChannel() && child->channel()->GUID == guid)
            return child;
        if (child->isGroup())
            if (ChannelNode *found = channelByGuid(child, guid))
                return found;
    }
    return nullptr;
}

QString AccountSync::groupChangeRefusal(const ChannelNode *group) const
{
    ChannelNode *account = accountGroup();
    if (!account || !group || !account->contains(group))
        return QString();
    return QStringLiteral("Grupy w „%1” są kategoriami serwera Tiny Tiny RSS, a jego API nie "
                          "pozwala ich tworzyć, zmieniać ich nazw ani ich przenosić. Zrób to na "
                          "serwerze; zmiana pojawi się tu przy następnej synchronizacji.")
        .arg(account->text());
}

bool AccountSync::owns(const TtvChannel &channel) const
{
    ChannelNode *group = accountGroup();
    return group && m_state.feedOfGuid(channel.GUID) > 0 && channelByGuid(group, channel.GUID);
}

int AccountSync::feedOfDownload(const QString &downloadFile) const
{
    for (auto it = m_state.feeds.begin(); it != m_state.feeds.end(); ++it)
        if (m_folder.downloadFile(it->guid) == downloadFile)
            return it.key();
    return 0;
}

bool AccountSync::ownsDownload(const QString &downloadFile) const
{
    const int feed = feedOfDownload(downloadFile);
    return feed > 0 && accountGroup() &&
           channelByGuid(accountGroup(), m_state.feeds.value(feed).guid);
}

void AccountSync::reportDown()
{
    if (m_down)
        return;
    m_down = true;
    m_report.ReportProblem(QStringLiteral("Synchronizacja z %1 nie powiodła się: %2")
                               .arg(m_settings.groupName(), m_api->message()));
}

bool AccountSync::ensureLogin()
{
    if (m_down)
        return false;
    if (m_api->loggedIn())
        return true;
    if (m_api->login())
        return true;
    reportDown();
    return false;
}

void AccountSync::beginRun()
{
    m_inRun = true;
    m_down = false;
    if (!m_settings.isSet())
        return;
    // The marks of the channel on show go to its file first: they are read below.
    m_shown.writeBack();
    queueLocalMarks();
    if (!ensureLogin())
        return;
    syncSubscriptions();
    sendMarks();
}

void AccountSync::endRun()
{
    m_inRun = false;
    if (!m_settings.isSet())
        return;
    saveState();
    if (m_api->loggedIn())
        m_api->logout();
}

void AccountSync::saveState()
{
    try {
        m_state.write(m_folder.dataFile(QStringLiteral("ttrss_state.json")));
    } catch (const FileError &e) {
        m_report.ReportProblem(QStringLiteral("Nie można zapisać stanu synchronizacji: ") +
                               QString::fromStdString(e.what()));
    }
}

void AccountSync::syncSubscriptions()
{
    ChannelNode *group = accountGroup();
    if (group) {
        pushLocalSubscriptions(group);
        if (m_down)
            return;
    } else {
        group = m_tree.addNode(m_tree.root(), m_settings.groupName(), NodeKind::Group);
    }
    pullServerSubscriptions(group);
}

// Channels deleted here are unsubscribed there; channels added here are subscribed there.
void AccountSync::pushLocalSubscriptions(ChannelNode *group)
{
    for (auto it = m_state.feeds.begin(); it != m_state.feeds.end();) {
        if (channelByGuid(group, it->guid)) {
            ++it;
            continue;
        }
        if (!m_api->unsubscribe(it.key()) && m_api->failure() != TtrssFailure::Refused) {
            reportDown();
            return;
        }
        it = m_state.feeds.erase(it);
    }
    QHash<QString, int> categoryOfTitle;
    for (auto it = m_state.categories.begin(); it != m_state.categories.end(); ++it)
        categoryOfTitle.insert(it.value(), it.key());
    for (ChannelNode *node : m_tree.channelsInPreOrder()) {
        if (!group->contains(node) || m_state.feedOfGuid(node->channel()->GUID) > 0)
            continue;
        const int category = node->parent() == group ? 0 : categoryOfTitle.value(node->parent()->text());
        const int id = m_api->subscribe(node->channel()->url, category);
        if (id < 0) {
            if (m_api->failure() != TtrssFailure::Refused) {
                reportDown();
                return;
            }
            m_report.ReportProblem(m_api->message());
            continue;
        }
        AccountState::Feed feed;
        feed.guid = node->channel()->GUID;
        m_state.feeds.insert(id, feed);
        // Its items and its title come with the server's first fetch.
        if (!m_api->updateFeed(id))
            m_report.ReportProblem(m_api->message());
    }
}

void AccountSync::pullServerSubscriptions(ChannelNode *group)
{
    bool ok = false;
    const QList<TtrssCategory> categories = m_api->categories(&ok);
    if (!ok) {
        reportDown();
        return;
    }
    const QList<TtrssFeed> feeds = m_api->feeds(&ok);
    if (!ok) {
        reportDown();
        return;
    }
    QMap<int, QString> titles;
    for (const TtrssCategory &c : categories)
        if (c.id > 0 && !c.title.trimmed().isEmpty())
            titles.insert(c.id, c.title.trimmed());
    // A category renamed there: its group is renamed here.
    for (auto it = titles.begin(); it != titles.end(); ++it) {
        const QString old = m_state.categories.value(it.key());
        if (!old.isEmpty() && old != it.value() && !groupNamed(group, it.value()))
            if (ChannelNode *g = groupNamed(group, old))
                m_tree.renameNode(g, it.value());
    }
    auto groupOf = [&](int category) {
        const QString title = titles.value(category);
        if (title.isEmpty())
            return group;
        if (ChannelNode *g = groupNamed(group, title))
            return g;
        return m_tree.addNode(group, title, NodeKind::Group);
    };

    QSet<int> onServer;
    for (const TtrssFeed &f : feeds) {
        onServer.insert(f.id);
        const QString title = f.title.trimmed().isEmpty() ? f.url : f.title.trimmed();
        ChannelNode *parent = groupOf(f.categoryId);
        ChannelNode *node =
            m_state.feeds.contains(f.id) ? channelByGuid(group, m_state.feeds[f.id].guid) : nullptr;
        if (!node) {
            node = m_tree.addNode(parent, title, NodeKind::Channel);
            TtvChannel *channel = node->channel();
            channel->url = f.url;
            channel->enabled = true;
            channel->GUID = NewGuidText();
            m_tree.noteRecordChanged(node);
            AccountState::Feed feed;
            feed.guid = channel->GUID;
            m_state.feeds.insert(f.id, feed);
            continue;
        }
        if (node->text() != title)
            m_tree.renameNode(node, title);
        if (node->parent() != parent)
            m_tree.moveNode(node, parent);
        if (node->channel()->url != f.url && !f.url.isEmpty()) {
            node->channel()->url = f.url;
            m_tree.noteRecordChanged(node);
        }
    }
    // Feeds gone from the server go here too.
    for (auto it = m_state.feeds.begin(); it != m_state.feeds.end();) {
        if (onServer.contains(it.key())) {
            ++it;
            continue;
        }
        if (ChannelNode *node = channelByGuid(group, it->guid)) {
            // The channel on show lets go of its file first; no file stays without a channel.
            const QString cacheFile = m_folder.cacheFile(it->guid);
            m_shown.beginReplace(cacheFile);
            QFile::remove(cacheFile);
            m_tree.deleteNode(node);
            m_shown.endReplace(cacheFile);
        }
        it = m_state.feeds.erase(it);
    }
    // Groups of categories gone from the server go once they hold nothing.
    QSet<QString> current(titles.begin(), titles.end());
    for (ChannelNode *child : group->children()) {
        if (!child->isGroup() || current.contains(child->text()))
            continue;
        const bool wasCategory = std::find(m_state.categories.begin(), m_state.categories.end(),
                                           child->text()) != m_state.categories.end();
        if (wasCategory && child->childCount() == 0)
            m_tree.deleteNode(child);
        else
            m_report.ReportProblem(apiCannotLine(child->text(), m_settings.groupName()));
    }
    m_state.categories = titles;
}

void AccountSync::queueLocalMarks()
{
    bool changed = false;
    for (auto it = m_state.feeds.begin(); it != m_state.feeds.end(); ++it) {
        bool ok = false;
        const QList<AccountItem> items = ReadAccountItems(m_folder.cacheFile(it->guid), &ok);
        if (!ok)
            continue;
        for (const AccountItem &item : items) {
            if (item.id <= 0 || item.unread == it->unread.contains(item.id))
                continue;
            m_queue.add(item.id, item.unread);
            changed = true;
        }
    }
    if (!changed)
        return;
    try {
        m_queue.save();
    } catch (const FileError &e) {
        m_report.ReportProblem(QStringLiteral("Nie można zapisać kolejki znaczników przeczytania: ") +
                               QString::fromStdString(e.what()));
    }
}

void AccountSync::sendMarks()
{
    if (m_queue.isEmpty())
        return;
    for (bool unread : {false, true}) {
        const QList<int> ids = m_queue.ids(unread);
        for (int i = 0; i < ids.size(); i += TtrssApi::HeadlinesPage) {
            const QList<int> batch = ids.mid(i, TtrssApi::HeadlinesPage);
            if (!m_api->setUnread(batch, unread)) {
                reportDown();
                return;
            }
            m_queue.remove(batch);
            try {
                m_queue.save();
            } catch (const FileError &) {
                // Sent already: at worst the same marks go once more next time.
            }
        }
    }
}

ChannelFetch AccountSync::fetch(const QString &downloadFile)
{
    ChannelFetch result;
    const int feedId = feedOfDownload(downloadFile);
    if (!m_inRun) {
        // A single update: the marks made here go first, as in a run.
        m_down = false;
        queueLocalMarks();
    }
    if (feedId <= 0 || !ensureLogin()) {
        result.problem = m_api->message();
        return result;
    }
    if (!m_inRun)
        sendMarks();
    AccountState::Feed &feed = m_state.feeds[feedId];

    // New headlines first, with their content.
    QList<TtrssHeadline> fresh;
    bool ok = true;
    for (int page = 0; page < MaxPagesPerRun; ++page) {
        const QList<TtrssHeadline> got = m_api->headlines(feedId, feed.lastId, true, false,
                                                          page * TtrssApi::HeadlinesPage, &ok);
        if (!ok)
            break;
        fresh += got;
        if (got.size() < TtrssApi::HeadlinesPage)
            break;
    }
    // Then which articles are unread there: the API tells no mark's time, so the whole set.
    QSet<int> unreadThere;
    for (int page = 0; ok && page < 10 * MaxPagesPerRun; ++page) {
        const QList<TtrssHeadline> got =
            m_api->headlines(feedId, 0, false, true, page * TtrssApi::HeadlinesPage, &ok);
        if (!ok)
            break;
        for (const TtrssHeadline &h : got)
            unreadThere.insert(h.id);
        if (got.size() < TtrssApi::HeadlinesPage)
            break;
    }
    if (!ok) {
        if (m_api->failure() == TtrssFailure::Unreachable || m_api->failure() == TtrssFailure::NotTtrss)
            reportDown();
        else
            m_report.ReportProblem(m_api->message());
        result.problem = m_api->message();
        return result;
    }

    bool cacheOk = false;
    QList<AccountItem> items = ReadAccountItems(m_folder.cacheFile(feed.guid), &cacheOk);
    QSet<int> known;
    for (const AccountItem &item : items)
        known.insert(item.id);
    QList<AccountItem> merged;
    int newest = feed.lastId;
    for (const TtrssHeadline &h : fresh) {
        newest = qMax(newest, h.id);
        if (known.contains(h.id))
            continue;
        known.insert(h.id);
        merged.append(AccountItemFromHeadline(h));
    }
    merged += items;
    // A mark made here and not yet taken by the server wins for its item.
    QSet<int> unreadNow;
    for (AccountItem &item : merged) {
        item.unread = m_queue.contains(item.id) ? m_queue.unread(item.id)
                                                 : unreadThere.contains(item.id);
        if (item.unread)
            unreadNow.insert(item.id);
    }
    ChannelNode *node = channelByGuid(accountGroup(), feed.guid);
    const QString title = node ? node->text() : QString();
    try {
        WriteFileAtomically(downloadFile, WriteAccountDocument(title, merged), Durability::Unsynced);
    } catch (const FileError &) {
        result.writeFailed = true;
        return result;
    }
    feed.lastId = newest;
    feed.unread = unreadNow;
    result.result = 0;
    result.marksInDocument = true;
    if (!m_inRun) {
        saveState();
        m_api->logout();
    }
    return result;
}
