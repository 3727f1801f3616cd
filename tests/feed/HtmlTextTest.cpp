#include "feed/HtmlText.h"

#include <gtest/gtest.h>

namespace {

QString u(const char *text)
{
    return QString::fromUtf8(text);
}

} // namespace

// What a reader sees of a description: the characters its references stand for, no tags,
// nothing of scripts or styles, and words apart where blocks end.
TEST(HtmlText, VisibleTextIsWhatTheReaderSees)
{
    struct Case
    {
        const char *description;
        const char *visible;
    };
    const Case cases[] = {
        {"Mówił &#8222;tak&#8221; [&#8230;]", "Mówił „tak” […]"},
        {"Powiedział &quot;tak&quot; &amp; wyszedł", "Powiedział \"tak\" & wyszedł"},
        {"Tekst &lt;b&gt;nie HTML&lt;/b&gt;", "Tekst <b>nie HTML</b>"},
        {"Wynik: 3 < 5 & 7 > 2\nDruga  linia", "Wynik: 3 < 5 & 7 > 2 Druga linia"},
        {"<p>Pierwszy</p><p>drugi<br>trzeci</p>", "Pierwszy drugi trzeci"},
        {"<p>Zdanie <strong>pogrubione</strong>, <a href=\"x?a=1&amp;b=2\">link</a>.</p>",
         "Zdanie pogrubione, link."},
        {"<style>p { color: red }</style><script>var x = '<p>';</script><p>Treść</p>", "Treść"},
        {"<!-- komentarz <p>ukryty</p> --><p>Widać</p>", "Widać"},
        {"<img alt='x>y' src=\"a.png\">Po obrazku", "Po obrazku"},
        {"&#x201E;hex&#X201D; &#150; &nbsp;x &bogus; AT&T", "„hex” – x &bogus; AT&T"},
        {"Koniec &#8222;", "Koniec „"},
        {"Urwany <a href=\"x", "Urwany"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(HtmlText::VisibleText(u(c.description)).toStdString(), c.visible) << c.description;

    EXPECT_TRUE(HtmlText::HasMarkup(u("a<b")));
    EXPECT_TRUE(HtmlText::HasMarkup(u("</p>")));
    EXPECT_TRUE(HtmlText::HasMarkup(u("x<!-- y -->")));
    EXPECT_FALSE(HtmlText::HasMarkup(u("3 < 5 <= 7 <")));
    EXPECT_FALSE(HtmlText::HasMarkup(u("&lt;b&gt;")));
}

// The find looks in what the reader sees, not in the markup behind it.
TEST(HtmlText, TheFindMatchesTheVisibleTextOnly)
{
    const QString excerpt = u("Mówił &#8222;tak&#8221; [&#8230;]");
    EXPECT_TRUE(HtmlText::VisibleTextContains(excerpt, u("„tak”")));
    EXPECT_TRUE(HtmlText::VisibleTextContains(excerpt, u("MÓWIŁ")));
    EXPECT_FALSE(HtmlText::VisibleTextContains(excerpt, u("8222")));

    const QString html = u("<p class=\"strong\">Łódź <b>nocą</b></p><script>ukryte</script>");
    EXPECT_TRUE(HtmlText::VisibleTextContains(html, u("łódź nocą")));
    EXPECT_TRUE(HtmlText::VisibleTextContains(html, u("  Łódź   nocą ")));
    EXPECT_FALSE(HtmlText::VisibleTextContains(html, u("strong")));
    EXPECT_FALSE(HtmlText::VisibleTextContains(html, u("ukryte")));
    EXPECT_FALSE(HtmlText::VisibleTextContains(html, u("<b>")));
    EXPECT_TRUE(HtmlText::VisibleTextContains(html, QString()));
    EXPECT_TRUE(HtmlText::VisibleTextContains(QString(), QString()));
}

// Relative addresses of links, pictures and media are made absolute; everything else,
// absolute addresses and other schemes included, is left as it was.
TEST(HtmlText, RelativeAddressesAreResolvedAgainstTheBase)
{
    const QString base = u("http://example.com/blog/2024/");
    EXPECT_EQ(HtmlText::ResolveAddresses(
                  u("<p><a href=\"wpis.html\">w</a> <img src='../img/a.png' alt=\"src=b\">"
                    "<img src=c.png><video poster=\"p.jpg\"></video>"
                    "<img srcset=\"m.png 1x, /d.png 2x\"></p>"),
                  base),
              u("<p><a href=\"http://example.com/blog/2024/wpis.html\">w</a> "
                "<img src=\"http://example.com/blog/img/a.png\" alt=\"src=b\">"
                "<img src=\"http://example.com/blog/2024/c.png\">"
                "<video poster=\"http://example.com/blog/2024/p.jpg\"></video>"
                "<img srcset=\"http://example.com/blog/2024/m.png 1x, "
                "http://example.com/d.png 2x\"></p>"));
    EXPECT_EQ(HtmlText::ResolveAddresses(u("<a href=\"q?a=1&amp;b=2\">q</a>"), base),
              u("<a href=\"http://example.com/blog/2024/q?a=1&amp;b=2\">q</a>"));

    const QString untouched[] = {
        u("<a href=\"https://other.org/x\">x</a><a href=\"mailto:a@b.pl\">m</a>"),
        u("<a href=\"javascript:void(0)\">j</a><img data-src=\"lazy.png\">"),
        u("<script>var s = '<img src=\"x.png\">';</script>3 < 5 src=\"y\""),
        u("<!-- <img src=\"k.png\"> -->"),
        u("<img src=\"cut.png"),
    };
    for (const QString &html : untouched)
        EXPECT_EQ(HtmlText::ResolveAddresses(html, base), html) << html.toStdString();
    EXPECT_EQ(HtmlText::ResolveAddresses(u("<img src=\"a.png\">"), QString()), u("<img src=\"a.png\">"));
}
