#include "archive/ArchiveItem.h"

#include "catalogue/ChannelTree.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

namespace {

TEST(ArchiveItemTest, RecordTakesItemTextsRowValuesAndTheChannelFoundByGuid)
{
    ChannelTree tree;
    ChannelNode *group = tree.addNode(tree.root(), "Grupa", NodeKind::Group);
    ChannelNode *first = tree.addNode(group, "Pierwszy", NodeKind::Channel);
    first->channel()->GUID = "{CH}";
    first->channel()->link = "http://example.org/";
    first->channel()->image = "http://example.org/logo.png";
    ChannelNode *twin = tree.addNode(tree.root(), "Kopia", NodeKind::Channel);
    twin->channel()->GUID = "{CH}";
    twin->channel()->link = "http://other.example/";
    const ChannelsByGuid channels(tree);
    EXPECT_EQ(channels.find("{CH}"), first->channel()) << "the first in tree order";
    EXPECT_EQ(channels.find("{NONE}"), nullptr);

    XmlDocument doc;
    doc.loadFromBytes("<rss version=\"2.0\"><channel>"
                      "<item GUID=\"{IT}\"><title>Mówi \"tak\"</title>"
                      "<link>http://example.org/1</link>"
                      "<description>&lt;b&gt;gruby&lt;/b&gt; \"x\"</description></item>"
                      "<item GUID=\"{IT2}\"><title>Bez opisu</title></item>"
                      "<item><title>Zły <b>tytuł</b></title></item>"
                      "</channel></rss>");
    const XmlNode item = doc.documentElement().firstChild().firstChild();
    const ArchiveRecord r = MakeArchiveRecord(item, "{CH}", "Kanał \"A\"", "2024-01-02",
                                              "Jan \"J\"", channels.find("{CH}"));
    EXPECT_EQ(r.sGUID, "{IT}");
    EXPECT_EQ(r.sChGUID, "{CH}");
    EXPECT_EQ(r.sTitle, "Mówi |tak|");
    EXPECT_EQ(r.sDescription, "<b>gruby</b> |x|");
    EXPECT_EQ(r.sAuthor, "Jan |J|");
    EXPECT_EQ(r.sDate, "2024-01-02");
    EXPECT_EQ(r.sLink, "http://example.org/1");
    EXPECT_EQ(r.sChannelName, "Kanał |A|");
    EXPECT_EQ(r.sChannelLink, "http://example.org/");
    EXPECT_EQ(r.sChannelImage, "http://example.org/logo.png");

    const ArchiveRecord bare =
        MakeArchiveRecord(item.nextSibling(), "{GONE}", "Stary", "b.d.", "", nullptr);
    EXPECT_EQ(bare.sTitle, "Bez opisu");
    EXPECT_TRUE(bare.sDescription.isEmpty());
    EXPECT_TRUE(bare.sChannelLink.isEmpty());
    EXPECT_TRUE(bare.sChannelImage.isEmpty());

    EXPECT_THROW(MakeArchiveRecord(item.nextSibling().nextSibling(), "{CH}", "", "", "", nullptr),
                 XmlError);
}

// The item view shows content:encoded when the channel gives it (whatever its prefix), so
// that is what the archive keeps beside the description; a blank one does not count.
TEST(ArchiveItemTest, RecordKeepsTheFullTextTheItemViewShows)
{
    XmlDocument doc;
    doc.loadFromBytes("<rss version=\"2.0\" xmlns:c=\"http://purl.org/rss/1.0/modules/content/\""
                      " xmlns:x=\"http://example.org/other\"><channel>"
                      "<item><title>a</title><description>Zajawka</description>"
                      "<x:encoded>obcy</x:encoded><c:encoded>  </c:encoded>"
                      "<c:encoded>&lt;p&gt;Cały \"tekst\"&lt;/p&gt;</c:encoded></item>"
                      "<item><title>b</title><description>Tylko opis</description></item>"
                      "</channel></rss>");
    const XmlNode item = doc.documentElement().firstChild().firstChild();
    const ArchiveRecord r = MakeArchiveRecord(item, "{CH}", "K", "", "", nullptr);
    EXPECT_EQ(r.sDescription, "Zajawka");
    EXPECT_EQ(r.sContent, "<p>Cały |tekst|</p>");
    EXPECT_TRUE(MakeArchiveRecord(item.nextSibling(), "{CH}", "K", "", "", nullptr)
                    .sContent.isEmpty());
}

} // namespace
