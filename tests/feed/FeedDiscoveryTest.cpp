#include "feed/FeedDiscovery.h"

#include <gtest/gtest.h>

namespace {

QString discover(const char *html, const char *page = "http://example.test/blog/index.html")
{
    return DiscoverFeedAddress(QByteArray(html), QString::fromLatin1(page));
}

TEST(FeedDiscoveryTest, FindsTheAnnouncedChannelAbsoluteOrRelativeToThePage)
{
    EXPECT_EQ(discover("<html><head><link rel=\"alternate\" type=\"application/rss+xml\" "
                       "href=\"https://feeds.example.test/all.xml\"></head></html>"),
              "https://feeds.example.test/all.xml");
    EXPECT_EQ(discover("<link rel=alternate type=application/atom+xml href=feed.atom>"),
              "http://example.test/blog/feed.atom");
    EXPECT_EQ(discover("<LINK REL='Alternate' TYPE='application/RSS+xml' HREF='/rss?a=1&amp;b=2'/>"),
              "http://example.test/rss?a=1&b=2");
    EXPECT_EQ(discover("<link href=\"//cdn.example.test/f.json\" type=\"application/feed+json\" "
                       "rel=\"alternate\">"),
              "http://cdn.example.test/f.json");
    EXPECT_EQ(discover("<link rel=\"alternate feed\" type=\"application/rdf+xml; charset=utf-8\" "
                       "href=\"rdf.xml\">"),
              "http://example.test/blog/rdf.xml");
}

TEST(FeedDiscoveryTest, TakesTheFirstChannelInDocumentOrderAndHonoursBase)
{
    EXPECT_EQ(discover("<head><link rel=\"stylesheet\" type=\"text/css\" href=\"a.css\">"
                       "<link rel=\"alternate\" type=\"text/html\" href=\"pl.html\">"
                       "<link rel=\"alternate\" type=\"application/atom+xml\" href=\"one.atom\">"
                       "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"two.rss\">"),
              "http://example.test/blog/one.atom");
    EXPECT_EQ(discover("<base href=\"http://other.test/news/\">"
                       "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"rss.xml\">"),
              "http://other.test/news/rss.xml");
}

TEST(FeedDiscoveryTest, IgnoresWhatIsNotAnAnnouncedWebChannel)
{
    EXPECT_EQ(discover("<html><head><title>No feed</title></head><body>x</body></html>"), "");
    EXPECT_EQ(discover(""), "");
    EXPECT_EQ(discover("<!-- <link rel=\"alternate\" type=\"application/rss+xml\" href=\"old.xml\"> -->"
                       "<script>var s='<link rel=\"alternate\" type=\"application/rss+xml\" "
                       "href=\"js.xml\">';</script>"),
              "");
    EXPECT_EQ(discover("<link rel=\"alternate\" type=\"application/rss+xml\" "
                       "href=\"javascript:alert(1)\">"
                       "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"file:///etc/passwd\">"
                       "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"\">"),
              "");
    // A link that cannot be fetched is passed over, not the end of the search.
    EXPECT_EQ(discover("<link rel=\"alternate\" type=\"application/rss+xml\" href=\"ftp://example.test/a.xml\">"
                       "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"b.xml\">"),
              "http://example.test/blog/b.xml");
    // A page that names itself would be probed for ever.
    EXPECT_EQ(discover("<link rel=\"alternate\" type=\"application/rss+xml\" href=\"index.html\">"),
              "");
    // Cut-off markup ends the search without reading past the end.
    EXPECT_EQ(discover("<link rel=\"alternate\" type=\"application/rss+xml\" href=\"x"), "");
}

} // namespace
