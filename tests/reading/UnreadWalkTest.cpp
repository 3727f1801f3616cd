// The order reading by keyboard meets channels and rows in.

#include "reading/UnreadWalk.h"

#include "catalogue/ChannelTree.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class UnreadWalkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        news = tree.addNode(tree.root(), QStringLiteral("News"), NodeKind::Group);
        a = tree.addNode(news, QStringLiteral("A"), NodeKind::Channel);
        under = tree.addNode(a, QStringLiteral("UnderA"), NodeKind::Channel); // dropped onto A
        empty = tree.addNode(news, QStringLiteral("Empty"), NodeKind::Group);
        b = tree.addNode(tree.root(), QStringLiteral("B"), NodeKind::Channel);
    }
    std::vector<std::pair<ChannelNode *, bool>> walk(const ChannelNode *from, bool forward)
    {
        std::vector<std::pair<ChannelNode *, bool>> result;
        for (const UnreadStop &stop : ChannelsFrom(tree, from, forward))
            result.emplace_back(stop.channel, stop.wrapped);
        return result;
    }
    using Stops = std::vector<std::pair<ChannelNode *, bool>>;

    ChannelTree tree;
    ChannelNode *news, *a, *under, *empty, *b;
};

TEST_F(UnreadWalkTest, ForwardTheChannelsAfterTheNodeComeFirstThenTheTreeFromItsStart)
{
    EXPECT_EQ(walk(under, true), (Stops{{b, false}, {a, true}, {under, true}}));
    // From a group: its own channels first, a channel's children included.
    EXPECT_EQ(walk(news, true), (Stops{{a, false}, {under, false}, {b, false}}));
    EXPECT_EQ(walk(empty, true), (Stops{{b, false}, {a, true}, {under, true}}));
    // Nothing selected: the whole tree, unwrapped.
    EXPECT_EQ(walk(nullptr, true), (Stops{{a, false}, {under, false}, {b, false}}));
}

TEST_F(UnreadWalkTest, BackwardTheChannelsBeforeTheNodeComeFirstThenTheTreeFromItsEnd)
{
    EXPECT_EQ(walk(b, false), (Stops{{under, false}, {a, false}, {b, true}}));
    EXPECT_EQ(walk(a, false), (Stops{{b, true}, {under, true}, {a, true}}));
    EXPECT_EQ(walk(nullptr, false), (Stops{{b, false}, {under, false}, {a, false}}));
}

TEST_F(UnreadWalkTest, TheNextUnreadRowIsLookedForOnOneSideOfTheRowBeingRead)
{
    const std::vector<bool> unread{true, false, true, false, true};
    const auto at = [&unread](int r) { return bool(unread[size_t(r)]); };
    EXPECT_EQ(NextUnreadRow(5, -1, true, at), 0);
    EXPECT_EQ(NextUnreadRow(5, 0, true, at), 2);
    EXPECT_EQ(NextUnreadRow(5, 4, true, at), -1);
    EXPECT_EQ(NextUnreadRow(5, -1, false, at), 4);
    EXPECT_EQ(NextUnreadRow(5, 2, false, at), 0);
    EXPECT_EQ(NextUnreadRow(5, 0, false, at), -1);
    // The whole list but the row being read.
    EXPECT_EQ(NextUnreadRow(5, -1, true, at, 0), 2);
    EXPECT_EQ(NextUnreadRow(1, -1, true, at, 0), -1);
    EXPECT_EQ(NextUnreadRow(0, -1, true, at), -1);
}

} // namespace
