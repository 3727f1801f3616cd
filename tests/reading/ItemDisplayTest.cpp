#include "base/UserFolder.h"
#include "reading/ItemDisplay.h"
#include "support/TestFiles.h"
#include "xml/XmlDocument.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ItemDisplay;

namespace {

const QString Guid = QStringLiteral("{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");

QString utf16le(const QByteArray &bytes)
{
    return QString(reinterpret_cast<const QChar *>(bytes.constData()), bytes.size() / 2);
}

TEST(ItemDisplay, SheetIsChosenByViewAndExactVersionText)
{
    EXPECT_EQ(StyleSheetFor(false, QStringLiteral("1.0")), QStringLiteral("rss1.xsl"));
    for (const char *other : {"2.0", "0.91", "", "1.0 ", "1"})
        EXPECT_EQ(StyleSheetFor(false, QString::fromLatin1(other)), QStringLiteral("rss2.xsl"))
            << other;
    for (const char *any : {"1.0", "2.0", ""})
        EXPECT_EQ(StyleSheetFor(true, QString::fromLatin1(any)),
                  QStringLiteral("rss1_archive.xsl"))
            << any;
}

TEST(ItemDisplay, SheetTextIsDecodedByItsByteOrderMark)
{
    const QString polish = QStringLiteral("Zażółć gęślą jaźń");
    QByteArray le("\xFF\xFE", 2), be("\xFE\xFF", 2);
    for (QChar c : polish) {
        le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    }
    EXPECT_EQ(DecodeSheetText(le), polish);
    EXPECT_EQ(DecodeSheetText(be), polish);
    EXPECT_EQ(DecodeSheetText("\xEF\xBB\xBF" + polish.toUtf8()), polish);
    // No mark: UTF-8 when it is valid UTF-8, else the old Polish code page.
    EXPECT_EQ(DecodeSheetText(polish.toUtf8()), polish);
    EXPECT_EQ(DecodeSheetText("Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1"), polish);
    // The mark itself is not part of the text.
    EXPECT_EQ(DecodeSheetText("\xEF\xBB\xBF<a/>"), QStringLiteral("<a/>"));
}

TEST(ItemDisplay, WorkingSheetIsUtf16LittleEndianWithMarkAndCrLfLines)
{
    const QByteArray bytes = EncodeWorkingSheet(QStringLiteral("a\nb\r\nc\rż"));
    ASSERT_TRUE(bytes.startsWith("\xFF\xFE"));
    EXPECT_EQ(bytes.size() % 2, 0);
    EXPECT_EQ(utf16le(bytes.mid(2)), QStringLiteral("a\r\nb\r\nc\r\nż\r\n"));
    // A text that ends with its line end gets no second one.
    EXPECT_EQ(utf16le(EncodeWorkingSheet(QStringLiteral("x\r\n")).mid(2)),
              QStringLiteral("x\r\n"));
}

TEST(ItemDisplay, GuidReplacesEveryMarkerAndCannotBreakTheSheet)
{
    const QString sheet = QStringLiteral("<x a=\"{{GUID}}\" b='{{GUID}}'>{{GUID}}</x>");
    EXPECT_EQ(SheetForItem(sheet, Guid),
              QStringLiteral("<x a=\"%1\" b='%1'>%1</x>").arg(Guid));
    const QString hostile = SheetForItem(sheet, QStringLiteral("\"/><evil x='&"));
    EXPECT_FALSE(hostile.contains(QStringLiteral("<evil")));
    XmlDocument doc;
    EXPECT_NO_THROW(doc.loadFromBytes(hostile.toUtf8()));
    EXPECT_EQ(doc.documentElement().attribute(QStringLiteral("a")),
              QStringLiteral("\"/><evil x='&"));
}

class WorkingSheetFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = UserFolder(m_dir.path());
        m_data = m_folder.dataFolder();
        QDir().mkpath(m_data);
    }
    QTemporaryDir m_dir;
    UserFolder m_folder;
    QString m_data;
};

TEST_F(WorkingSheetFile, ShippedSheetsBecomeWellFormedWorkingSheetsForTheItem)
{
    for (const QString &name : {Rss1Sheet, Rss2Sheet, ArchiveSheet}) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray shipped = readAll(QStringLiteral(KV_SOURCE_DIR "/data/") + name);
        ASSERT_TRUE(shipped.contains("{{GUID}}"));
        ASSERT_TRUE(writeAll(m_data + name, shipped));

        ASSERT_TRUE(WriteWorkingSheet(m_folder, name, Guid));
        const QByteArray working = readAll(m_data + QStringLiteral("rss_xslt.xsl"));
        ASSERT_TRUE(working.startsWith("\xFF\xFE"));
        const QString text = utf16le(working.mid(2));
        EXPECT_FALSE(text.contains(QStringLiteral("{{GUID}}")));
        EXPECT_TRUE(text.contains(Guid));
        EXPECT_EQ(text.count(QLatin1Char('\n')), text.count(QStringLiteral("\r\n")));
        EXPECT_EQ(text, DecodeSheetText(shipped).replace(QStringLiteral("{{GUID}}"), Guid)
                            .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                            .replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
        // The XML parser reads the file by its mark, as the browser does.
        XmlDocument doc;
        ASSERT_NO_THROW(doc.loadFromFile(m_data + QStringLiteral("rss_xslt.xsl")));
        EXPECT_EQ(doc.documentElement().localName(), QStringLiteral("stylesheet"));
    }
}

TEST_F(WorkingSheetFile, MissingSheetRaisesAndUnwritableWorkingSheetIsReportedAsFalse)
{
    ASSERT_TRUE(writeAll(m_data + QStringLiteral("rss_xslt.xsl"), "old"));
    EXPECT_THROW(WriteWorkingSheet(m_folder, Rss2Sheet, Guid), ItemDisplayError);
    EXPECT_EQ(readAll(m_data + QStringLiteral("rss_xslt.xsl")), QByteArray("old"));

    // A folder in the way of the working sheet: the write fails and nothing is raised.
    ASSERT_TRUE(writeAll(m_data + Rss2Sheet, "<s>{{GUID}}</s>"));
    QFile::remove(m_data + QStringLiteral("rss_xslt.xsl"));
    ASSERT_TRUE(QDir().mkpath(m_data + QStringLiteral("rss_xslt.xsl")));
    EXPECT_FALSE(WriteWorkingSheet(m_folder, Rss2Sheet, Guid));
    EXPECT_TRUE(QFileInfo(m_data + QStringLiteral("rss_xslt.xsl")).isDir());
}

TEST(ItemDisplay, AddressesAndTheBackForwardRule)
{
    const QString root = QStringLiteral("/home/ala/.local/share/Kolvani/");
    const UserFolder folder(root);
    const QString chGuid = QStringLiteral("{11111111-2222-3333-4444-555555555555}");
    const QString item = ChannelItemAddress(folder, chGuid, Guid);
    EXPECT_EQ(item, root + QStringLiteral("data/") + chGuid + QStringLiteral(".xml#") + Guid);
    EXPECT_EQ(ArchiveItemAddress(folder), root + QStringLiteral("data/arch_item.xml"));

    EXPECT_TRUE(IsItemOrBlankAddress(QStringLiteral("file://") + item));
    EXPECT_TRUE(IsItemOrBlankAddress(QStringLiteral("file://") + ArchiveItemAddress(folder)));
    EXPECT_TRUE(IsItemOrBlankAddress(QStringLiteral("about:blank")));
    EXPECT_FALSE(IsItemOrBlankAddress(QStringLiteral("about:blank#x")));
    EXPECT_FALSE(IsItemOrBlankAddress(QStringLiteral("https://example.org/a?b=1")));
}

} // namespace

namespace {

TEST_F(WorkingSheetFile, DarkSheetComesFromTheDataFolderThenTheShippedOneThenTheLightOne)
{
    QTemporaryDir exe;
    ASSERT_TRUE(exe.isValid());
    QDir().mkpath(exe.path() + QStringLiteral("/data"));
    const UserFolder folder(m_dir.path(), exe.path());
    EXPECT_EQ(DarkVariant(Rss2Sheet), QStringLiteral("rss2_dark.xsl"));
    EXPECT_EQ(DarkVariant(ArchiveSheet), QStringLiteral("rss1_archive_dark.xsl"));

    ASSERT_TRUE(writeAll(m_data + Rss2Sheet, "<light>{{GUID}}</light>"));
    // A folder made by an older version has no dark sheet, and neither does the program.
    EXPECT_EQ(WorkingSheetText(folder, Rss2Sheet, Guid, true), QStringLiteral("<light>%1</light>").arg(Guid));
    ASSERT_TRUE(writeAll(exe.path() + QStringLiteral("/data/rss2_dark.xsl"), "<shipped>{{GUID}}</shipped>"));
    EXPECT_EQ(WorkingSheetText(folder, Rss2Sheet, Guid, true), QStringLiteral("<shipped>%1</shipped>").arg(Guid));
    ASSERT_TRUE(writeAll(m_data + QStringLiteral("rss2_dark.xsl"), "<own>{{GUID}}</own>"));
    EXPECT_EQ(WorkingSheetText(folder, Rss2Sheet, Guid, true), QStringLiteral("<own>%1</own>").arg(Guid));
    // The light look never takes a dark sheet.
    EXPECT_EQ(WorkingSheetText(folder, Rss2Sheet, Guid, false), QStringLiteral("<light>%1</light>").arg(Guid));
    // Without a folder beside the program nothing is looked for in the current folder.
    EXPECT_EQ(SheetFile(UserFolder(QStringLiteral("/nowhere")), Rss2Sheet, true),
              QStringLiteral("/nowhere/data/rss2.xsl"));
}

} // namespace
