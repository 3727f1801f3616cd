#pragma once

#include <QString>

class ChannelNode;
class ChannelTree;
struct ChannelInfo;

// The last node in pre-order whose name equals `name` when both are lower-cased by the
// user's locale; null when none.
ChannelNode *FindNodeByName(const QString &name, const ChannelTree &tree);

// Adds a copy of `source` with its subtree as the last child of `parent`. Every copied node
// gets a record of its own with the source's fields, and each copied channel a new GUID, so
// no two nodes ever share a record or a cache file. Refused (null) when `parent` lies inside
// `source`'s subtree, which would copy without end.
ChannelNode *CopySubtree(ChannelTree &tree, ChannelNode *parent, const ChannelNode *source);

// Where a new node goes: the selected group, the selected channel's parent, or the root
// when nothing is selected.
ChannelNode *ParentForNewNode(const ChannelTree &tree, ChannelNode *selected);

// True when a channel of the tree has exactly this address (case-sensitive).
bool IsSubscribed(const ChannelTree &tree, const QString &url);

// The channel of the tree whose address names the same document as `url`: scheme and host
// in any letter case, the default port written or not, with or without a trailing slash,
// whatever the fragment. The first in tree order; null when there is none.
ChannelNode *FindSubscribedChannel(const ChannelTree &tree, const QString &url);
// Where a node stands: the names of the groups (and channels) above it, from the root down,
// as "Moje kanały > Wiadomości".
QString NodePath(const ChannelNode *node);

// Adds a channel node as the last child of `parent` for a new subscription: the channel's
// fields from `info`, enabled, a new GUID, last updated now.
ChannelNode *AddNewChannel(ChannelTree &tree, ChannelNode *parent, const ChannelInfo &info,
                           const QString &user, const QString &password, bool alerts);
