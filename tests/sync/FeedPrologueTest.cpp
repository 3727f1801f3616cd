#include "sync/FeedPrologue.h"

#include <gtest/gtest.h>

#include <QString>

namespace {

const QByteArray ExpectedInstruction = "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>";

QByteArray utf16(const QString &text, bool littleEndian)
{
    QByteArray out(littleEndian ? "\xFF\xFE" : "\xFE\xFF", 2);
    for (const QChar c : text) {
        const char lo = char(c.unicode() & 0xFF), hi = char(c.unicode() >> 8);
        out.append(littleEndian ? lo : hi);
        out.append(littleEndian ? hi : lo);
    }
    return out;
}

TEST(FeedPrologueTest, InstructionFollowsTheDeclaration)
{
    EXPECT_EQ(InsertStyleSheetInstruction("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<rss/>"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + ExpectedInstruction + "\r\n<rss/>");
}

TEST(FeedPrologueTest, MissingDeclarationIsAddedBeforeTheInstruction)
{
    EXPECT_EQ(InsertStyleSheetInstruction("<rss version=\"2.0\"/>"),
              "<?xml version=\"1.0\"?>" + ExpectedInstruction + "<rss version=\"2.0\"/>");
    // A UTF-8 byte-order mark stays in front.
    EXPECT_EQ(InsertStyleSheetInstruction("\xEF\xBB\xBF<rss/>"),
              "\xEF\xBB\xBF<?xml version=\"1.0\"?>" + ExpectedInstruction + "<rss/>");
}

TEST(FeedPrologueTest, Utf16IsEditedInItsOwnByteOrder)
{
    const QString declared = QStringLiteral("<?xml version=\"1.0\"?><rss>ż</rss>");
    const QString expected = QStringLiteral("<?xml version=\"1.0\"?>") +
                             QString::fromLatin1(ExpectedInstruction) +
                             QStringLiteral("<rss>ż</rss>");
    EXPECT_EQ(InsertStyleSheetInstruction(utf16(declared, true)), utf16(expected, true));
    EXPECT_EQ(InsertStyleSheetInstruction(utf16(declared, false)), utf16(expected, false));
    EXPECT_EQ(InsertStyleSheetInstruction(utf16(QStringLiteral("<rss>ż</rss>"), true)),
              utf16(expected, true));
}

TEST(FeedPrologueTest, TextWithoutAnyInstructionEndGetsOnlyTheDeclaration)
{
    // Not a document at all: the parser will refuse it later; nothing here may crash.
    EXPECT_EQ(InsertStyleSheetInstruction(""), "<?xml version=\"1.0\"?>" + ExpectedInstruction);
    EXPECT_EQ(
        InsertStyleSheetInstruction("\xFF\xFE"),
        utf16(QStringLiteral("<?xml version=\"1.0\"?>") + QString::fromLatin1(ExpectedInstruction),
              true));
}

// The feed must not choose where the instruction goes: "<?xml" and "?>" that are not a
// declaration at the very start, in a comment, a section, a title or the feed's own
// instruction, leave the instruction first after a declaration of our own.
TEST(FeedPrologueTest, OnlyADeclarationAtTheStartPlacesTheInstruction)
{
    const QByteArray ours = "<?xml version=\"1.0\"?>" + ExpectedInstruction;
    const QByteArray bodies[] = {
        "<?xml-stylesheet type=\"text/xsl\" href=\"file:///etc/x.xsl\"?><rss/>",
        "<rss><!-- <?xml ?> --></rss>",
        "<rss><channel><title><![CDATA[<?xml a?>b]]></title></channel></rss>",
        "<rss><item><title>a <?xml b ?> c</title></item></rss>",
        " <?xml version=\"1.0\"?><rss/>",
        "<?xmlfoo?><rss/>",
    };
    for (const QByteArray &body : bodies)
        EXPECT_EQ(InsertStyleSheetInstruction(body), ours + body) << body.constData();
    EXPECT_EQ(InsertStyleSheetInstruction("\xEF\xBB\xBF<?xml-stylesheet href=\"a\"?><rss/>"),
              "\xEF\xBB\xBF" + ours + "<?xml-stylesheet href=\"a\"?><rss/>");
    EXPECT_EQ(InsertStyleSheetInstruction(utf16(QStringLiteral("<rss><!-- ?> --></rss>"), true)),
              utf16(QString::fromLatin1(ours) + QStringLiteral("<rss><!-- ?> --></rss>"), true));

    // A real declaration, whatever white space follows its name.
    EXPECT_EQ(InsertStyleSheetInstruction("<?xml\tversion=\"1.0\"?><!-- ?> --><rss/>"),
              "<?xml\tversion=\"1.0\"?>" + ExpectedInstruction + "<!-- ?> --><rss/>");
    EXPECT_EQ(InsertStyleSheetInstruction(
                  "<?xml version=\"1.0\"?><?xml-stylesheet href=\"file:///x\"?><rss/>"),
              "<?xml version=\"1.0\"?>" + ExpectedInstruction +
                  "<?xml-stylesheet href=\"file:///x\"?><rss/>");
}

} // namespace
