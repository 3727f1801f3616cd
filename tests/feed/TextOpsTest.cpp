#include "feed/TextOps.h"

#include <gtest/gtest.h>

TEST(TextOpsTest, Basics)
{
    EXPECT_EQ(EscapeUrlText("a?b&c"), "a|quest|b|amp|c");
    EXPECT_EQ(UnescapeUrlText("a|quest|b|amp|c"), "a?b&c");
    EXPECT_EQ(FindText("ab", "xab", 2), 2);
    EXPECT_EQ(CopyRange("abcdef", 0, 3), "abc");
    EXPECT_EQ(DecodeCharRefs(QString::fromUtf8("&#185;&#179;")), QString::fromUtf8("ął"));
    EXPECT_EQ(ConvertFeedDate("Mon, 5 Jan 2004 10:00:00 GMT"), "2004-01-05");
}
