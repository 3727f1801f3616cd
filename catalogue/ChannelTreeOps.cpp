#include "catalogue/ChannelTreeOps.h"

#include "catalogue/ChannelTree.h"
#include "feed/ChannelProbe.h"
#include "feed/TextOps.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>
#include <QUrl>

#include <utility>
#include <vector>

ChannelNode *FindNodeByName(const QString &name, const ChannelTree &tree)
{
    const QLocale locale;
    const QString wanted = locale.toLower(name);
    ChannelNode *found = nullptr;
    for (ChannelNode *node : tree.nodesInPreOrder()) {
        if (locale.toLower(node->text()) == wanted)
            found = node;
    }
    return found;
}

ChannelNode *CopySubtree(ChannelTree &tree, ChannelNode *parent, const ChannelNode *source)
{
    if (!parent || !source || source->contains(parent) || tree.absoluteIndex(source) < 0)
        return nullptr;
    // Copied breadth by breadth from a list of pairs, so deep trees need no deep recursion.
    ChannelNode *top = nullptr;
    std::vector<std::pair<ChannelNode *, const ChannelNode *>> pending{{parent, source}};
    for (size_t i = 0; i < pending.size(); ++i) {
        const auto [to, from] = pending[i];
        ChannelNode *copy = tree.addNode(to, from->text(), from->kind());
        if (!copy)
            return top;
        if (!top)
            top = copy;
        if (const TtvChannel *original = from->channel()) {
            TtvChannel *record = copy->channel();
            const qint32 parentPosition = record->parentPosition;
            const qint32 position = record->position;
            *record = *original;
            record->parentPosition = parentPosition;
            record->position = position;
            record->GUID = NewGuidText();
        }
        for (const ChannelNode *child : from->children())
            pending.emplace_back(copy, child);
    }
    return top;
}

ChannelNode *ParentForNewNode(const ChannelTree &tree, ChannelNode *selected)
{
    if (!selected || tree.absoluteIndex(selected) < 0)
        return tree.root();
    if (selected->isGroup() || !selected->parent())
        return selected;
    return selected->parent();
}

bool IsSubscribed(const ChannelTree &tree, const QString &url)
{
    for (const ChannelNode *node : tree.channelsInPreOrder()) {
        if (const TtvChannel *c = node->channel(); c && c->url == url)
            return true;
    }
    return false;
}

namespace {

// One spelling for the addresses that name the same document.
QString sameDocumentKey(const QString &address)
{
    const QString trimmed = address.trimmed();
    QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        return trimmed;
    const QString scheme = url.scheme().toLower();
    url.setScheme(scheme);
    url.setHost(url.host().toLower());
    if ((scheme == QLatin1String("http") && url.port() == 80) ||
        (scheme == QLatin1String("https") && url.port() == 443))
        url.setPort(-1);
    url.setFragment(QString());
    QString path = url.path(QUrl::FullyEncoded);
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path, QUrl::TolerantMode);
    return url.toString(QUrl::FullyEncoded);
}

} // namespace

ChannelNode *FindSubscribedChannel(const ChannelTree &tree, const QString &url)
{
    const QString wanted = sameDocumentKey(url);
    for (ChannelNode *node : tree.channelsInPreOrder()) {
        if (const TtvChannel *c = node->channel(); c && sameDocumentKey(c->url) == wanted)
            return node;
    }
    return nullptr;
}

QString NodePath(const ChannelNode *node)
{
    QStringList names;
    for (const ChannelNode *up = node ? node->parent() : nullptr; up; up = up->parent())
        names.prepend(up->text());
    return names.join(QStringLiteral(" > "));
}

ChannelNode *AddNewChannel(ChannelTree &tree, ChannelNode *parent, const ChannelInfo &info,
                           const QString &user, const QString &password, bool alerts)
{
    ChannelNode *node = tree.addNode(parent, info.title, NodeKind::Channel);
    if (!node)
        return nullptr;
    TtvChannel *record = node->channel();
    record->url = info.url;
    record->link = info.link;
    record->description = info.description;
    record->copyright = info.copyright;
    record->image = info.image;
    record->GUID = NewGuidText();
    record->lastupdate = QDateTime::currentDateTime();
    record->enabled = true;
    record->alerts = alerts;
    record->username = user;
    record->password = password;
    return node;
}
