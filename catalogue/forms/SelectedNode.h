#pragma once

class ChannelNode;
class ChannelTree;
class QAbstractItemView;

// The node selected in `view` over `tree`, or null.
ChannelNode *SelectedNode(const QAbstractItemView *view, const ChannelTree &tree);
