#include "app/RtfReader.h"

#include <gtest/gtest.h>

#include <QFile>

TEST(RtfReader, DecodesWindows1250EscapesAndUnicode)
{
    const QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1250\\deff0"
        "{\\fonttbl{\\f0\\fswiss\\fcharset238 Arial;}}"
        "{\\colortbl ;\\red255\\green0\\blue0;}"
        "\\pard\\f0\\fs20 Za\\'bf\\'f3\\'b3\\'e6 g\\'ea\\'9c\\'b9 ja\\'9f\\'f1\\par "
        "\\'a3\\'d3D\\'8c \\'84cudzys\\'b3\\'f3w\\'94\\par "
        "\\u380?\\u243?\\u322?w \\u-3913?x \\uc2\\u8364\\'80\\'80 euro\\par"
        "}";
    EXPECT_EQ(RtfToPlainText(rtf),
              QString::fromUtf8("Zażółć gęśą jaźń\nŁÓDŚ „cudzysłów”\nżółw \xEF\x82\xB7x € euro"));
}

TEST(RtfReader, SkipsDestinationsAndKeepsFieldResults)
{
    const QByteArray rtf =
        "{\\rtf1{\\info{\\title Hidden title}{\\author Nobody}}"
        "{\\stylesheet{\\s0 Normal;}}"
        "{\\*\\generator Some Editor;}{\\*\\unknowndest hidden too}"
        "Visible {\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}} end\\par}";
    EXPECT_EQ(RtfToPlainText(rtf), "Visible link end");
}

TEST(RtfReader, ControlSymbolsLinesAndTabs)
{
    const QByteArray rtf = "{\\rtf1 a\\\\b \\{c\\} d\\tab e\\line f\\~g\\-h\\par\\par x}";
    EXPECT_EQ(RtfToPlainText(rtf), QString::fromUtf8("a\\b {c} d\te\nf\u00A0gh\n\nx"));
}

TEST(RtfReader, HtmlIsEscapedAndFormatted)
{
    const QByteArray rtf = "{\\rtf1 <script>alert(\"&\")</script> {\\b bold}\\b0  {\\i it\\i0 no}"
                           "{\\fs40 big}\\par}";
    const QString html = RtfToHtml(rtf);
    EXPECT_FALSE(html.contains("<script>"));
    EXPECT_TRUE(html.contains("&lt;script&gt;alert(&quot;&amp;&quot;)&lt;/script&gt;"));
    EXPECT_TRUE(html.contains("<b>bold</b>"));
    EXPECT_TRUE(html.contains("<i>it</i>no"));
    EXPECT_TRUE(html.contains("font-size:20pt\">big</span>"));
    EXPECT_EQ(html.count("<p "), 1);
}

TEST(RtfReader, FormattingEndsWithItsGroup)
{
    const QByteArray rtf = "{\\rtf1 {\\b in {\\i deeper}}out\\par}";
    const QString html = RtfToHtml(rtf);
    EXPECT_TRUE(html.contains("<b>in </b>"));
    EXPECT_TRUE(html.contains("<i><b>deeper</b></i>"));
    EXPECT_TRUE(html.contains("</i>out</p>"));
}

TEST(RtfReader, HostileInputIsSafe)
{
    // Very deep nesting, opened and never closed.
    QByteArray deep = "{\\rtf1 start";
    deep += QByteArray(200000, '{');
    deep += "inside";
    EXPECT_EQ(RtfToPlainText(deep), "startinside");

    // Deep nesting closed again: the text after it is in the outer group.
    QByteArray balanced = "{\\rtf1 a";
    balanced += QByteArray(1000, '{') + "{\\b b" + QByteArray(1001, '}') + "c}";
    EXPECT_EQ(RtfToPlainText(balanced), "abc");

    // Truncated in the middle of escapes and control words.
    EXPECT_EQ(RtfToPlainText("{\\rtf1 abc\\'e"), QString::fromUtf8("abc\u000E"));
    EXPECT_EQ(RtfToPlainText("{\\rtf1 abc\\"), "abc");
    EXPECT_EQ(RtfToPlainText("{\\rtf1 abc\\u"), "abc");
    EXPECT_EQ(RtfToPlainText("{\\rtf1 abc\\u12345678901234567890"), "abc");
    EXPECT_EQ(RtfToPlainText("}}}{\\rtf1 x}}}"), "x");
    EXPECT_EQ(RtfToPlainText(""), "");
    // A control word of endless letters is not text.
    EXPECT_EQ(RtfToPlainText("{\\rtf1 a\\" + QByteArray(10000, 'x') + " b}"), "ab");
    // Binary junk gives something, never a crash.
    QByteArray junk;
    for (int i = 0; i < 5000; ++i)
        junk += char((i * 7919) & 0xFF);
    RtfToHtml(junk);
}

TEST(RtfReader, ShippedLicenceReadsInBothLanguages)
{
    QFile file(QStringLiteral(KV_SOURCE_DIR "/resources/licencja.rtf"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray rtf = file.readAll();
    for (char c : rtf)
        ASSERT_LT(static_cast<unsigned char>(c), 0x80) << "the licence is kept 7-bit";
    const QString text = RtfToPlainText(rtf);
    EXPECT_TRUE(text.startsWith("Licencja MIT\n")) << text.left(40).toStdString();
    EXPECT_TRUE(text.contains("Copyright (c) 2026 Kolvani"));
    EXPECT_TRUE(
        text.contains(QString::fromUtf8("Niniejszym udziela się bezpłatnie każdej osobie")));
    EXPECT_TRUE(text.contains(QString::fromUtf8("„Oprogramowanie”")));
    EXPECT_TRUE(text.contains(QString::fromUtf8("ODPOWIADAJĄ")));
    EXPECT_TRUE(text.contains("MIT License"));
    EXPECT_TRUE(text.contains("Permission is hereby granted, free of charge"));
    EXPECT_TRUE(text.indexOf("Licencja MIT") < text.indexOf("MIT License"));
    EXPECT_FALSE(text.contains("Arial"));
    EXPECT_FALSE(text.contains(QChar(QChar::ReplacementCharacter)));
}
