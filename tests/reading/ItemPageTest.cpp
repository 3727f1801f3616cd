#include "base/UserFolder.h"
#include "reading/ItemDisplay.h"
#include "reading/ItemPage.h"
#include "xml/XmlDocument.h"

#include <QDir>
#include <QRegularExpression>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const QString GuidA = QStringLiteral("{11111111-2222-4333-8444-555555555555}");
const QString GuidB = QStringLiteral("{AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE}");

QString cleaned(const char *markup)
{
    return QString::fromUtf8(ItemPage::CleanMarkup(QByteArray(markup)));
}

TEST(ItemPageMarkup, WhatCouldRunSendOrRestyleIsLeftOutAndTheTextStays)
{
    const QString out = cleaned(
        "<p class=\"head\" id=\"x\" onclick=\"steal()\">Akapit <b>gruby</b></p>"
        "<script>alert(1)</script><style>h1{display:none}</style>"
        "<form action=\"http://x/\"><input name=\"a\"><button>Wyślij</button>Tekst formularza</form>"
        "<iframe src=\"http://x/\"></iframe><object data=\"x\"></object><embed src=\"x\">"
        "<video controls autoplay><source src=\"http://x/v.mp4\"><source src=\"http://x/v.webm\">"
        "</video>Tekst<wbr>dalej"
        "<meta http-equiv=\"refresh\" content=\"0;url=http://x/\"><link rel=\"stylesheet\" href=\"x\">"
        "<base href=\"http://zly/\"><svg onload=\"x()\"><text>svg</text></svg>"
        "<img src=\"http://x/p.png\" onerror=\"x()\" alt=\"obrazek\" style=\"float:left\">"
        "<a href=\" JaVaScript:alert(1)\">skrypt</a><a href=\"http://x/ok\" ping=\"http://t/\" "
        "target=\"_blank\">dobry</a><!-- komentarz --><blink>migający</blink>");
    for (const char *gone : {"script", "alert", "<style", "display:none", "<form", "<input",
                             "<button", "Wyślij", "iframe", "object", "embed", "meta",
                             "refresh", "<link", "<base", "svg", "onload", "onerror",
                             "onclick", "class=", "id=", "ping", "javascript", "komentarz",
                             "blink", "autoplay"})
        EXPECT_FALSE(out.contains(QLatin1String(gone), Qt::CaseInsensitive))
            << gone << "\n" << out.toStdString();
    for (const char *kept : {"<p>Akapit <b>gruby</b></p>", "Tekst formularza",
                             "src=\"http://x/p.png\"", "alt=\"obrazek\"", "style=\"float:left\"",
                             ">skrypt</a>", "href=\"http://x/ok\"", "target=\"_blank\"",
                             "migający", "<video controls>", "<source src=\"http://x/v.webm\">",
                             "Tekst<wbr", "dalej"})
        EXPECT_TRUE(out.contains(QString::fromUtf8(kept))) << kept << "\n" << out.toStdString();
}

TEST(ItemPageMarkup, EndTagsInTheTextCloseNothingAroundIt)
{
    const QString out = cleaned("Początek</div></div></body></html><h2>Dalej</h2>");
    EXPECT_TRUE(out.contains(QStringLiteral("Początek"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("<h2>Dalej</h2>"))) << out.toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral("</div>"))) << out.toStdString();
}

class ItemPageRender : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = UserFolder(m_dir.path());
        QDir().mkpath(m_folder.dataFolder());
        for (const QString &sheet : {ItemDisplay::Rss1Sheet, ItemDisplay::Rss2Sheet,
                                     ItemDisplay::ArchiveSheet})
            ASSERT_TRUE(QFile::copy(QStringLiteral(KV_SOURCE_DIR "/data/") + sheet,
                                    m_folder.dataFile(sheet)));
    }

    QString render(const QByteArray &doc, const QString &guid)
    {
        XmlDocument document;
        document.loadFromBytes(doc);
        const QString sheet =
            ItemDisplay::WorkingSheetText(m_folder, ItemDisplay::Rss2Sheet, guid);
        XmlNode item = document.documentElement().firstChild().firstChild();
        while (!item.isNull() && item.attribute(QStringLiteral("GUID")) != guid)
            item = item.nextSibling();
        // Once from the item (the document of that one item), once from the whole document:
        // the same page.
        const QByteArray whole = m_pages.render(sheet, document.documentElement());
        EXPECT_EQ(m_pages.render(sheet, item), whole);
        return QString::fromUtf8(whole);
    }

    QTemporaryDir m_dir;
    UserFolder m_folder;
    ItemPageRenderer m_pages;
};

const QByteArray Channel =
    "<rss version=\"2.0\"><channel><title>Kanał</title><link>http://127.0.0.1:9/</link>"
    "<item GUID=\"{11111111-2222-4333-8444-555555555555}\"><title>Pierwsza</title>"
    "<link>http://127.0.0.1:9/art/1</link><description>&lt;p&gt;Akapit &amp;#8222;cytat"
    "&amp;#8221;&lt;script&gt;x()&lt;/script&gt;&lt;/p&gt;</description></item>"
    "<item GUID=\"{AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE}\"><title>Druga</title>"
    "<description>Mówił &amp;#8222;tak&amp;#8221; [&amp;#8230;] 3 &lt; 5</description></item>"
    "</channel></rss>";

TEST_F(ItemPageRender, TheItemsTextIsLaidIntoThePageUnderItsSitesAddress)
{
    const QString page = render(Channel, GuidA);
    EXPECT_TRUE(page.contains(QStringLiteral("<base href=\"http://127.0.0.1:9/art/1\">")))
        << page.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("<p>Akapit „cytat”</p>"))) << page.toStdString();
    EXPECT_FALSE(page.contains(QStringLiteral("script"))) << page.toStdString();
    EXPECT_FALSE(page.contains(QStringLiteral("data-kv-text"))) << page.toStdString();
    EXPECT_FALSE(page.contains(QStringLiteral("<iframe"))) << page.toStdString();
    EXPECT_FALSE(page.contains(QStringLiteral("Druga"))) << page.toStdString();

    // Plain text: its references are the characters they stand for, its "<" stays.
    const QString plain = render(Channel, GuidB);
    EXPECT_TRUE(plain.contains(QStringLiteral("class=\"text plain\">Mówił „tak” […] 3 &lt; 5<")))
        << plain.toStdString();
    EXPECT_FALSE(plain.contains(QStringLiteral("<base"))) << plain.toStdString();
}

TEST_F(ItemPageRender, ASheetThatReadsFilesOrDoesNotCompileIsRefused)
{
    XmlDocument document;
    document.loadFromBytes(Channel);
    EXPECT_THROW(m_pages.render(QStringLiteral("<xsl:stylesheet"), document.documentElement()),
                 ItemDisplayError);
    QFile secret(m_folder.dataFile(QStringLiteral("secret.xml")));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("<s>tajne</s>");
    secret.close();
    const QString reader =
        QStringLiteral("<xsl:stylesheet version=\"1.0\" "
                       "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                       "<xsl:template match=\"/\"><html><body><xsl:value-of "
                       "select=\"document('%1')\"/></body></html></xsl:template>"
                       "</xsl:stylesheet>")
            .arg(secret.fileName());
    QString page;
    try {
        page = QString::fromUtf8(m_pages.render(reader, document.documentElement()));
    } catch (const ItemDisplayError &) {
    }
    EXPECT_FALSE(page.contains(QStringLiteral("tajne"))) << page.toStdString();
}

} // namespace

namespace {

// Colours as #rrggbb, replaced by one mark: what is left is the page without its colours.
QString withoutColours(QString page)
{
    page.replace(QRegularExpression(QStringLiteral("#[0-9a-fA-F]{6}\\b")), QStringLiteral("#C"));
    return page.remove(QStringLiteral(" color-scheme: dark;"));
}

int lightnessOf(const QString &page, const QString &rule)
{
    const QRegularExpression background(QRegularExpression::escape(rule) +
                                        QStringLiteral(" \\{ background: #([0-9a-f]{6})"));
    const QRegularExpressionMatch m = background.match(page);
    if (!m.hasMatch())
        return -1;
    const uint rgb = m.captured(1).toUInt(nullptr, 16);
    const int r = (rgb >> 16) & 0xff, g = (rgb >> 8) & 0xff, b = rgb & 0xff;
    return (std::max({r, g, b}) + std::min({r, g, b})) / 2;
}

TEST_F(ItemPageRender, EveryShippedSheetHasADarkVariantThatDiffersOnlyInItsColours)
{
    const QByteArray rss1 =
        "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
        "xmlns=\"http://purl.org/rss/1.0/\"><channel><title>Kanał</title></channel><item GUID=\"" +
        GuidA.toUtf8() + "\"><title>Pierwsza</title><description>Tekst</description></item></rdf:RDF>";
    const std::pair<QString, QByteArray> cases[] = {
        {ItemDisplay::Rss2Sheet, Channel}, {ItemDisplay::Rss1Sheet, rss1},
        {ItemDisplay::ArchiveSheet, rss1}};
    for (const auto &[name, doc] : cases) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(QFile::copy(QStringLiteral(KV_SOURCE_DIR "/data/") + ItemDisplay::DarkVariant(name),
                                m_folder.dataFile(ItemDisplay::DarkVariant(name))));
        XmlDocument document;
        document.loadFromBytes(doc);
        const QString light = QString::fromUtf8(m_pages.render(
            ItemDisplay::WorkingSheetText(m_folder, name, GuidA, false), document.documentElement()));
        const QString dark = QString::fromUtf8(m_pages.render(
            ItemDisplay::WorkingSheetText(m_folder, name, GuidA, true), document.documentElement()));
        ASSERT_TRUE(light.contains(QStringLiteral("Pierwsza"))) << light.toStdString();
        EXPECT_NE(light, dark);
        EXPECT_EQ(withoutColours(light), withoutColours(dark));
        // The page and the item's own text (laid in with its own style) are dark grounds.
        EXPECT_GT(lightnessOf(light, QStringLiteral("html")), 200);
        EXPECT_LT(lightnessOf(dark, QStringLiteral("html")), 60);
        EXPECT_EQ(dark.count(QStringLiteral("color-scheme: dark")), dark.count(QStringLiteral("html {")));
    }
}

} // namespace
