#include "catalogue/ChannelTreeOps.h"

#include "catalogue/ChannelTree.h"
#include "feed/ChannelProbe.h"
#include "feed/TextOps.h"

#include <QDateTime>
#include <QLocale>

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
