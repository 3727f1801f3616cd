#pragma once

#include <vector>

class ChannelNode;
class ChannelTree;

// Where reading by keyboard goes next: the unread rows of the list on show, then the
// channels of the tree in tree order (a node before its children, depth first).

// One channel to try, and whether the walk passed the tree's end (or start) to reach it.
struct UnreadStop
{
    ChannelNode *channel = nullptr;
    bool wrapped = false;
};

// Every channel of the tree in the order a walk from `from` meets them: forward the channels
// after it in tree order, then from the tree's start round to `from` itself (wrapped);
// backward the same in reverse. `from` may be a group, a channel or null (the walk starts
// before the first node forward, after the last one backward).
std::vector<UnreadStop> ChannelsFrom(const ChannelTree &tree, const ChannelNode *from,
                                     bool forward);

// The first row after `from` (before it, backward) for which `unreadAt(row)` holds, among
// `count` rows; -1 when none. `from` -1 starts before the first row forward and after the
// last one backward. `skip` is a row never to give (the row being read).
template <typename UnreadAt>
int NextUnreadRow(int count, int from, bool forward, UnreadAt unreadAt, int skip = -1)
{
    if (forward) {
        for (int r = from < 0 ? 0 : from + 1; r < count; ++r)
            if (r != skip && unreadAt(r))
                return r;
    } else {
        for (int r = (from < 0 || from > count) ? count - 1 : from - 1; r >= 0; --r)
            if (r != skip && unreadAt(r))
                return r;
    }
    return -1;
}
