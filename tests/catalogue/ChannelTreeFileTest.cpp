#include "catalogue/ChannelTreeFile.h"
#include "catalogue/ChannelTree.h"
#include "base/FileReplace.h"
#include "feed/TextOps.h"
#include "support/ShortWrite.h"
#include "xml/XmlDocument.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSet>
#include <QTemporaryDir>

namespace {

QString goldenPath(const char *name)
{
    return QStringLiteral(KV_SOURCE_DIR "/tests/data/tree/") + QLatin1String(name);
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray utf16(const QString &text)
{
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// A tree file around the given entries, in the shape the program writes.
QByteArray treeFile(const QString &entries)
{
    return utf16(QStringLiteral("<?xml version=\"1.0\"?>\r\n<tree>\r\n<treenodes "
                                "name=\"tvChannels\">\r\n") +
                 entries + QStringLiteral("</treenodes>\r\n</tree>\r\n"));
}

QString entry(const QString &name, const QString &type, const QString &parent,
              const QString &extra = {})
{
    QString text = QStringLiteral("<node><name>%1</name><type>%2</type>").arg(name, type);
    if (!parent.isNull())
        text += QStringLiteral("<parent>%1</parent>").arg(parent);
    return text + extra + QStringLiteral("</node>\r\n");
}

const QString rootEntry = QStringLiteral("<node><name>Korzeń</name><type>0</type></node>\r\n");

class ChannelTreeFileTest : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    TreeLoadResult load(ChannelTree &tree, const QString &file)
    {
        m_statuses.clear();
        return LoadChannelTree(tree, m_document, file,
                               [this](const QString &text) { m_statuses << text; });
    }

    TreeLoadResult loadBytes(ChannelTree &tree, const QByteArray &bytes)
    {
        const QString file = path(QStringLiteral("tvChannels.xml"));
        writeBytes(file, bytes);
        return load(tree, file);
    }

    QTemporaryDir m_dir;
    XmlDocument m_document;
    QStringList m_statuses;
};

void buildFullTree(ChannelTree &tree)
{
    ChannelNode *news = tree.addNode(tree.root(), QStringLiteral("Wiadomości"), NodeKind::Group);
    ChannelNode *onet = tree.addNode(news, QStringLiteral("Onet - Wiadomości"), NodeKind::Channel);
    TtvChannel *c = onet->channel();
    c->url = QStringLiteral("http://wiadomosci.onet.pl/rss.xml?a=1&b=2");
    c->link = QStringLiteral("http://wiadomosci.onet.pl/");
    c->image = QStringLiteral("archive.jpg");
    c->copyright = QStringLiteral("Copyright (c) Onet & Grupa");
    c->description = QStringLiteral("Najnowsze wiadomości && komentarze");
    c->username = QStringLiteral("jan");
    c->GUID = QStringLiteral("{0A1B2C3D-4E5F-6A7B-8C9D-0E1F2A3B4C5D}");
    c->password = QStringLiteral("p&ss?word");
    c->alerts = true;
    c->enabled = true;
    c->lastbuild = QStringLiteral("Mon, 05 Jan 2004 10:00:00 GMT");
    c->lastupdate = QDateTime(QDate(2004, 1, 5), QTime(10, 0, 0));

    ChannelNode *inner = tree.addNode(onet, QStringLiteral("Kanał w kanale"), NodeKind::Channel);
    inner->channel()->url = QStringLiteral("http://example.com/feed");
    inner->channel()->GUID = QStringLiteral("{11111111-2222-3333-4444-555555555555}");
    inner->channel()->lastupdate = QDateTime(QDate(2024, 2, 29), QTime(0, 0));

    tree.addNode(news, QStringLiteral("Pusta grupa"), NodeKind::Group);
    ChannelNode *tech = tree.addNode(tree.root(), QStringLiteral("Technologia"), NodeKind::Group);
    TtvChannel *s = tree.addNode(tech, QStringLiteral("Slashdot"), NodeKind::Channel)->channel();
    s->url = QStringLiteral("http://rss.slashdot.org/Slashdot/slashdot");
    s->link = QStringLiteral("http://slashdot.org/");
    s->image = QStringLiteral("http://a.fsdn.com/sd/topics/topicslashdot.gif");
    s->description = QStringLiteral("News for nerds");
    s->GUID = QStringLiteral("{ABCDEF01-2345-6789-ABCD-EF0123456789}");
    s->enabled = true;
}

void expectSameTrees(const ChannelTree &expected, const ChannelTree &actual)
{
    ASSERT_EQ(actual.count(), expected.count());
    for (int i = 0; i < expected.count(); ++i) {
        SCOPED_TRACE(i);
        const ChannelNode *e = expected.nodeAt(i);
        const ChannelNode *a = actual.nodeAt(i);
        EXPECT_EQ(a->text(), e->text());
        EXPECT_EQ(a->kind(), e->kind());
        EXPECT_EQ(actual.absoluteIndex(a->parent()), expected.absoluteIndex(e->parent()));
        const TtvChannel *ec = e->channel();
        const TtvChannel *ac = a->channel();
        ASSERT_EQ(ac == nullptr, ec == nullptr);
        if (!ec)
            continue;
        EXPECT_EQ(ac->url, ec->url);
        EXPECT_EQ(ac->link, ec->link);
        EXPECT_EQ(ac->image, ec->image);
        EXPECT_EQ(ac->enabled, ec->enabled);
        EXPECT_EQ(ac->description, ec->description);
        EXPECT_EQ(ac->username, ec->username);
        EXPECT_EQ(ac->password, ec->password);
        EXPECT_EQ(ac->lastupdate, ec->lastupdate);
        EXPECT_EQ(ac->copyright, ec->copyright);
        EXPECT_EQ(ac->lastbuild, ec->lastbuild);
        EXPECT_EQ(ac->alerts, ec->alerts);
        EXPECT_EQ(ac->GUID, ec->GUID);
        EXPECT_EQ(ac->interval, ec->interval);
    }
}

QStringList kindsAndNames(const ChannelTree &tree)
{
    QStringList out;
    for (const ChannelNode *node : tree.nodesInPreOrder()) {
        out << QStringLiteral("%1%2:%3")
                   .arg(node->isChannel() ? QStringLiteral("c") : QStringLiteral("g"))
                   .arg(tree.absoluteIndex(node->parent()))
                   .arg(node->text());
    }
    return out;
}

} // namespace

TEST_F(ChannelTreeFileTest, RootOnlyTreeIsWrittenByteForByte)
{
    ChannelTree tree;
    const QByteArray golden = readBytes(goldenPath("root_only.xml"));
    ASSERT_FALSE(golden.isEmpty());
    EXPECT_EQ(ChannelTreeFileBytes(tree), golden);
    SaveChannelTree(tree, path(QStringLiteral("out.xml")));
    EXPECT_EQ(readBytes(path(QStringLiteral("out.xml"))), golden);
}

TEST_F(ChannelTreeFileTest, FullTreeIsWrittenByteForByteAndReadBack)
{
    ChannelTree built;
    buildFullTree(built);
    const QByteArray golden = readBytes(goldenPath("full.xml"));
    ASSERT_FALSE(golden.isEmpty());
    EXPECT_EQ(ChannelTreeFileBytes(built), golden);

    ChannelTree loaded;
    const TreeLoadResult result = load(loaded, goldenPath("full.xml"));
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_TRUE(result.warnings.isEmpty()) << result.warnings.join('\n').toStdString();
    expectSameTrees(built, loaded);
    EXPECT_EQ(m_statuses, (QStringList{"Ładowanie listy kanałów...", "Gotowe."}));

    // Records are set as when the nodes are added one by one in file order.
    const ChannelNode *slashdot = loaded.nodeAt(6);
    EXPECT_EQ(slashdot->record()->position, 6);
    EXPECT_EQ(slashdot->record()->parentPosition, 1);
    EXPECT_EQ(loaded.root()->record()->parentPosition, -1);
    EXPECT_EQ(loaded.nodeDataBlocks().size(), 7u);

    SaveChannelTree(loaded, path(QStringLiteral("again.xml")));
    EXPECT_EQ(readBytes(path(QStringLiteral("again.xml"))), golden);
}

TEST_F(ChannelTreeFileTest, BlocksEndAsTheFileNeedsThem)
{
    ChannelTree tree;
    ChannelNode *g = tree.addNode(tree.root(), QStringLiteral("G"), NodeKind::Group);
    ChannelNode *c = tree.addNode(g, QStringLiteral("C"), NodeKind::Channel);
    EXPECT_EQ(WriteGroupNode(tree, tree.root()),
              QStringLiteral("<node>\r\n  <name>Moje kanały</name>\r\n  <type>0</type>\r\n"
                             "</node>\r\n"));
    EXPECT_EQ(WriteGroupNode(tree, g), QStringLiteral("<node>\r\n  <name>G</name>\r\n  "
                                                      "<type>0</type>\r\n  <parent>0</parent>"
                                                      "\r\n</node>\r\n"));
    const QString channel = WriteChannelNode(tree, c);
    EXPECT_TRUE(channel.startsWith(QStringLiteral(
        "<node>\r\n  <name>C</name>\r\n  <type>1</type>\r\n  <parent>1</parent>\r\n  <url>")));
    EXPECT_TRUE(channel.endsWith(QStringLiteral("  <lastupdate></lastupdate>\r\n</node>")));
}

TEST_F(ChannelTreeFileTest, UrlAndTextEscapingRoundTrips)
{
    ChannelTree tree;
    TtvChannel *c = tree.addNode(tree.root(), QStringLiteral("C"), NodeKind::Channel)->channel();
    c->url = QStringLiteral("a?b&c");
    c->description = QStringLiteral("A && B");
    const QString block = WriteChannelNode(tree, tree.nodeAt(1));
    EXPECT_TRUE(block.contains(QStringLiteral("<url>a|quest|b|amp|c</url>")));
    EXPECT_TRUE(block.contains(QStringLiteral("<description>A |amp||amp| B</description>")));

    ChannelTree loaded;
    ASSERT_TRUE(loadBytes(loaded, ChannelTreeFileBytes(tree)).ok);
    EXPECT_EQ(loaded.nodeAt(1)->channel()->url, QStringLiteral("a?b&c"));
    EXPECT_EQ(loaded.nodeAt(1)->channel()->description, QStringLiteral("A && B"));
}

TEST_F(ChannelTreeFileTest, BooleansAreReadInAnyCase)
{
    const QList<std::pair<QString, bool>> cases{{"True", true}, {"TRUE", true}, {"yes", true},
                                                {"YeS", true},  {"1", true},    {"False", false},
                                                {"0", false},   {"no", false},  {"false", false},
                                                {"", false},    {"2", false},   {" true", false}};
    QString entries = rootEntry;
    for (const auto &[text, value] : cases) {
        entries += entry(QStringLiteral("c"), QStringLiteral("1"), QStringLiteral("0"),
                         QStringLiteral("<alerts>%1</alerts><enabled>%1</enabled>").arg(text));
    }
    ChannelTree tree;
    ASSERT_TRUE(loadBytes(tree, treeFile(entries)).ok);
    ASSERT_EQ(tree.count(), cases.size() + 1);
    for (int i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].first.toStdString());
        EXPECT_EQ(tree.nodeAt(i + 1)->channel()->alerts, cases[i].second);
        EXPECT_EQ(tree.nodeAt(i + 1)->channel()->enabled, cases[i].second);
    }
}

TEST_F(ChannelTreeFileTest, LongGuidIsCutOnReading)
{
    const QString guid = QStringLiteral("{0A1B2C3D-4E5F-6A7B-8C9D-0E1F2A3B4C5D}");
    ChannelTree tree;
    ASSERT_TRUE(loadBytes(tree, treeFile(rootEntry + entry("c", "1", "0",
                                                           "<GUID>" + guid + "EXTRA-TEXT</GUID>")))
                    .ok);
    EXPECT_EQ(tree.nodeAt(1)->channel()->GUID, guid);
    EXPECT_EQ(tree.nodeAt(1)->channel()->GUID.size(), 38);
}

// A GUID names the channel's files. One that is not a GUID (a path, an empty text) or that
// an earlier channel holds already gets a new one, which the next save keeps; good ones,
// in either letter case, stay.
TEST_F(ChannelTreeFileTest, ChannelsWithoutAGuidOfTheirOwnGetANewOne)
{
    const QString good = QStringLiteral("{0A1B2C3D-4E5F-6A7B-8C9D-0E1F2A3B4C5D}");
    const QString lower = QStringLiteral("{0a1b2c3d-4e5f-6a7b-8c9d-0e1f2a3b4c5e}");
    const QString entries =
        rootEntry + entry("good", "1", "0", "<GUID>" + good + "</GUID>") +
        entry("lower", "1", "0", "<GUID>" + lower + "</GUID>") +
        entry("path", "1", "0", "<GUID>/../../../x</GUID>") + entry("empty", "1", "0", "<GUID></GUID>") +
        entry("missing", "1", "0") + entry("empty2", "1", "0", "<GUID/>") +
        entry("copy", "1", "0", "<GUID>" + good.toLower() + "</GUID>") +
        entry("short", "1", "0", "<GUID>{0A1B2C3D-4E5F-6A7B-8C9D-0E1F2A3B4C5}</GUID>");
    ChannelTree tree;
    const TreeLoadResult result = loadBytes(tree, treeFile(entries));
    ASSERT_TRUE(result.ok);
    ASSERT_EQ(tree.count(), 9);
    EXPECT_EQ(tree.nodeAt(1)->channel()->GUID, good);
    EXPECT_EQ(tree.nodeAt(2)->channel()->GUID, lower);
    QSet<QString> seen;
    for (int i = 1; i < tree.count(); ++i) {
        const QString guid = tree.nodeAt(i)->channel()->GUID;
        EXPECT_TRUE(IsGuidText(guid)) << guid.toStdString();
        seen.insert(guid.toUpper());
    }
    EXPECT_EQ(seen.size(), 8) << "no two channels share a GUID";
    // The path, the short one and the copy; channels without any just get one.
    EXPECT_EQ(result.warnings.size(), 3) << result.warnings.join('\n').toStdString();

    const QString file = path(QStringLiteral("saved.xml"));
    SaveChannelTree(tree, file);
    ChannelTree again;
    ASSERT_TRUE(load(again, file).ok);
    for (int i = 1; i < tree.count(); ++i)
        EXPECT_EQ(again.nodeAt(i)->channel()->GUID, tree.nodeAt(i)->channel()->GUID);
}

TEST_F(ChannelTreeFileTest, ChannelDroppedOnChannelStaysItsChild)
{
    ChannelTree tree;
    ChannelNode *g = tree.addNode(tree.root(), QStringLiteral("G"), NodeKind::Group);
    ChannelNode *a = tree.addNode(g, QStringLiteral("a"), NodeKind::Channel);
    ChannelNode *b = tree.addNode(tree.root(), QStringLiteral("b"), NodeKind::Channel);
    ASSERT_TRUE(tree.moveNode(a, b));
    const QString block = WriteChannelNode(tree, a);
    EXPECT_TRUE(block.contains(QStringLiteral("<parent>2</parent>")));

    ChannelTree loaded;
    ASSERT_TRUE(loadBytes(loaded, ChannelTreeFileBytes(tree)).ok);
    EXPECT_EQ(kindsAndNames(loaded), (QStringList{"g-1:Moje kanały", "g0:G", "c0:b", "c2:a"}));
}

// Entries that break the rules lose no node: a parent that names no earlier node (missing
// after the root, not a number, out of range, a later entry) puts the node under the root; a
// type that is not a number gives a channel when the entry has channel fields, else a group.
// A type that is a number other than 0 and 1 names no node at all.
TEST_F(ChannelTreeFileTest, EntriesBreakingTheRulesAreKept)
{
    const QString entries =
        rootEntry + entry("G", "0", "0") + entry("forward", "0", "7") +
        entry("nonnumeric", "0", "abc") + entry("negative", "1", "-1", "<url>http://n/</url>") +
        entry("typeText", "kanał", "1", "<url>http://t/</url>") + entry("type2", "2", "1") +
        entry("type2channel", "2", "1", "<GUID>{G}</GUID>") + entry("secondRoot", "0", QString()) +
        entry("spaced", " 1 ", " 1 ") + QStringLiteral("<other><name>x</name></other>\r\n");
    ChannelTree tree;
    const TreeLoadResult result = loadBytes(tree, treeFile(entries));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(kindsAndNames(tree),
              (QStringList{"g-1:Korzeń", "g0:G", "c1:typeText", "c1:spaced", "g0:forward",
                           "g0:nonnumeric", "c0:negative", "g0:secondRoot"}));
    EXPECT_EQ(tree.nodeAt(6)->channel()->url, QStringLiteral("http://n/"));
    EXPECT_EQ(tree.nodeAt(2)->channel()->url, QStringLiteral("http://t/"));
    // One warning each: forward, nonnumeric, negative, typeText, type2, type2channel,
    // secondRoot and the foreign element.
    EXPECT_EQ(result.warnings.size(), 8) << result.warnings.join('\n').toStdString();
    EXPECT_EQ(m_statuses.last(), QStringLiteral("Gotowe."));
}

TEST_F(ChannelTreeFileTest, EntryOfTypeTwoAddsNoNode)
{
    const QString entries = rootEntry + entry("G", "0", "0") +
                            entry("two", "2", "1", "<url>http://two/</url>") +
                            entry("C", "1", "1", "<url>http://c/</url>") + entry("H", "0", "0");
    ChannelTree tree;
    const TreeLoadResult result = loadBytes(tree, treeFile(entries));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(kindsAndNames(tree), (QStringList{"g-1:Korzeń", "g0:G", "c1:C", "g0:H"}));
    EXPECT_EQ(tree.nodeDataBlocks().size(), 4u);
    EXPECT_EQ(result.warnings.size(), 1) << result.warnings.join('\n').toStdString();
}

TEST_F(ChannelTreeFileTest, FilesWithoutEntriesOrInOtherShapesLoseNothing)
{
    {
        ChannelTree tree;
        tree.addNode(tree.root(), QStringLiteral("old"), NodeKind::Group);
        const TreeLoadResult result =
            loadBytes(tree, utf16(QStringLiteral("<?xml version=\"1.0\"?><tree><treenodes "
                                                 "name=\"tvChannels\"></treenodes></tree>")));
        EXPECT_TRUE(result.ok);
        EXPECT_EQ(kindsAndNames(tree), (QStringList{"g-1:Moje kanały"}));
    }
    {
        ChannelTree tree;
        const TreeLoadResult result = loadBytes(tree, QByteArray("<?xml version=\"1.0\"?><x/>"));
        EXPECT_TRUE(result.ok);
        EXPECT_EQ(tree.count(), 1);
    }
    {
        // Nodes straight under the document element, with a comment before them.
        ChannelTree tree;
        const TreeLoadResult result = loadBytes(
            tree, QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><tree><!-- c -->"
                             "<node><name>R</name></node><node><name>Gr</name><type>0</type>"
                             "<parent>0</parent></node></tree>"));
        EXPECT_TRUE(result.ok);
        EXPECT_EQ(kindsAndNames(tree), (QStringList{"g-1:R", "g0:Gr"}));
    }
    {
        // An element with element content in place of a text reads as empty.
        ChannelTree tree;
        const TreeLoadResult result =
            loadBytes(tree, treeFile(rootEntry + entry("c", "1", "0",
                                                       "<url><b>x</b></url><enabled>True"
                                                       "</enabled>")));
        EXPECT_TRUE(result.ok);
        ASSERT_EQ(tree.count(), 2);
        EXPECT_EQ(tree.nodeAt(1)->channel()->url, QString());
        EXPECT_TRUE(tree.nodeAt(1)->channel()->enabled);
        EXPECT_EQ(result.warnings.size(), 1);
    }
}

TEST_F(ChannelTreeFileTest, MissingOrMalformedFileLoadsNothing)
{
    for (const QByteArray &bytes :
         {QByteArray(), QByteArray("<tree><treenodes>"), utf16(QStringLiteral("<tree><a></b>")),
          QByteArray("<tree>&bogus;</tree>")}) {
        ChannelTree tree;
        tree.addNode(tree.root(), QStringLiteral("kept"), NodeKind::Group);
        const TreeLoadResult result = loadBytes(tree, bytes);
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.error.isEmpty());
        EXPECT_EQ(tree.count(), 2);
        EXPECT_FALSE(m_document.active());
        EXPECT_EQ(m_statuses, (QStringList{"Ładowanie listy kanałów...", "Gotowe."}));
    }
    ChannelTree tree;
    const TreeLoadResult result = load(tree, path(QStringLiteral("missing.xml")));
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_EQ(m_statuses, (QStringList{"Ładowanie listy kanałów...", "Gotowe."}));
}

TEST_F(ChannelTreeFileTest, PendingEventsRunWhileEntriesAreRead)
{
    ChannelTree built;
    for (int i = 0; i < 20; ++i)
        built.addNode(built.root(), QString::number(i), NodeKind::Group);
    const QString file = path(QStringLiteral("t.xml"));
    SaveChannelTree(built, file);

    ChannelTree tree;
    QObject context;
    QList<int> countsSeen;
    bool loading = true;
    std::function<void()> probe = [&] {
        if (!loading)
            return;
        countsSeen << tree.count();
        EXPECT_EQ(m_statuses.size(), 1);
        QMetaObject::invokeMethod(&context, probe, Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(&context, probe, Qt::QueuedConnection);
    ASSERT_TRUE(load(tree, file).ok);
    loading = false;
    ASSERT_FALSE(countsSeen.isEmpty());
    EXPECT_GT(countsSeen.last(), countsSeen.first());
    EXPECT_LT(countsSeen.last(), 22);
    QCoreApplication::processEvents();
}

TEST_F(ChannelTreeFileTest, NastyTextsComeBackUnchanged)
{
    const QStringList texts{"&",
                            "<b>",
                            "]]>",
                            "\"cytat\" i 'apostrof'",
                            "Zażółć gęślą jaźń ĄĘŁŃÓŚŹŻ",
                            "emoji 📰🚀",
                            "  spacje z przodu i z tyłu  ",
                            "   ",
                            "a&amp;b",
                            "&lt;",
                            "x\ty",
                            "wiersz1\nwiersz2",
                            "cr\r\nlf",
                            "|amp|w nazwie",
                            "<?xml?>",
                            "<!-- -->",
                            "A && B"};
    ChannelTree tree;
    ChannelNode *group = tree.addNode(tree.root(), texts.first(), NodeKind::Group);
    // GUIDs are no free text: the loader replaces any that is not a GUID.
    const auto guid = [](int i) {
        return QStringLiteral("{00000000-0000-4000-8000-%1}").arg(i, 12, 10, QLatin1Char('0'));
    };
    int number = 0;
    for (const QString &text : texts) {
        tree.addNode(group, text, NodeKind::Group);
        TtvChannel *c = tree.addNode(group, text, NodeKind::Channel)->channel();
        c->GUID = guid(++number);
        c->lastbuild = text;
        c->url = QStringLiteral("http://x/?q=") + text;
        c->description = text;
        c->copyright = text;
        c->username = text;
        c->password = text;
    }
    tree.renameNode(tree.root(), QStringLiteral("<root & \"co\">"));
    const QString file = path(QStringLiteral("nasty.xml"));
    SaveChannelTree(tree, file);

    ChannelTree loaded;
    const TreeLoadResult result = load(loaded, file);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    // Texts holding "|amp|" cannot survive the fields escaped that way; the name and the
    // fields escaped only as XML can.
    number = 0;
    ChannelTree expected;
    ChannelNode *eg = expected.addNode(expected.root(), texts.first(), NodeKind::Group);
    for (const QString &text : texts) {
        expected.addNode(eg, text, NodeKind::Group);
        TtvChannel *c = expected.addNode(eg, text, NodeKind::Channel)->channel();
        const QString viaMark = ReplaceAll(QStringLiteral("|amp|"), QStringLiteral("&"), text);
        c->GUID = guid(++number);
        c->lastbuild = text;
        c->url = QStringLiteral("http://x/?q=") + viaMark;
        c->description = viaMark;
        c->copyright = viaMark;
        c->username = viaMark;
        c->password = viaMark;
    }
    expected.renameNode(expected.root(), QStringLiteral("<root & \"co\">"));
    expectSameTrees(expected, loaded);
}

TEST_F(ChannelTreeFileTest, CharactersXmlCannotCarryAreDroppedAndTheFileStaysReadable)
{
    ChannelTree tree;
    const QString bad = QStringLiteral("a") + QChar(0x01) + QChar(0x1F) + QChar(0xFFFE) +
                        QChar(0xD800) + QStringLiteral("b");
    tree.addNode(tree.root(), bad, NodeKind::Group);
    TtvChannel *c = tree.addNode(tree.root(), QStringLiteral("c"), NodeKind::Channel)->channel();
    c->description = bad;
    ChannelTree loaded;
    const TreeLoadResult result = loadBytes(loaded, ChannelTreeFileBytes(tree));
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    ASSERT_EQ(loaded.count(), 3);
    EXPECT_EQ(loaded.nodeAt(1)->text(), QStringLiteral("ab"));
    EXPECT_EQ(loaded.nodeAt(2)->channel()->description, QStringLiteral("ab"));
}

TEST(LastUpdateText, IsWrittenInOneFormWhateverTheLocale)
{
    const QLocale saved;
    const QDateTime afternoon(QDate(2004, 1, 5), QTime(14, 3, 9));
    const QDateTime midnight(QDate(2004, 1, 5), QTime(0, 0));
    for (const QLocale &locale :
         {QLocale(QLocale::Polish), QLocale(QLocale::Arabic, QLocale::Egypt),
          QLocale(QLocale::English, QLocale::UnitedStates)}) {
        QLocale::setDefault(locale);
        EXPECT_EQ(LastUpdateToText(afternoon), QStringLiteral("2004-01-05 14:03:09"));
        EXPECT_EQ(LastUpdateToText(midnight), QStringLiteral("2004-01-05"));
        EXPECT_EQ(LastUpdateToText(QDateTime()), QString());
        EXPECT_EQ(LastUpdateFromText(LastUpdateToText(afternoon)), afternoon);
        EXPECT_EQ(LastUpdateFromText(LastUpdateToText(midnight)), midnight);
    }
    QLocale::setDefault(saved);
}

TEST(LastUpdateText, RegionalFormsAreReadToo)
{
    const QLocale saved;
    const QDateTime expected(QDate(2004, 1, 5), QTime(10, 0, 0));
    const QDateTime day(QDate(2004, 1, 5), QTime(0, 0));
    EXPECT_EQ(LastUpdateFromText(QStringLiteral("05.01.2004 10:00:00")), expected);
    EXPECT_EQ(LastUpdateFromText(QStringLiteral("5.01.2004 10:00:00")), expected);
    EXPECT_EQ(LastUpdateFromText(QStringLiteral("05.01.2004")), day);
    EXPECT_EQ(LastUpdateFromText(QStringLiteral("2004-01-05")), day);
    EXPECT_EQ(LastUpdateFromText(QStringLiteral(" 2004-01-05 10:00:00 ")), expected);
    EXPECT_EQ(LastUpdateFromText(QStringLiteral("2004-01-05T10:00:00")), expected);

    const QLocale system = QLocale::system();
    const QString systemText =
        system.toString(expected, system.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') +
                                      system.timeFormat(QLocale::LongFormat));
    EXPECT_EQ(LastUpdateFromText(systemText), expected) << systemText.toStdString();

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(LastUpdateFromText(QStringLiteral("05.01.04 10:00:00")), expected);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(LastUpdateFromText(QStringLiteral("1/5/04 10:00:00 AM")), expected);
    EXPECT_EQ(LastUpdateFromText(QStringLiteral("1/5/04")), day);
    QLocale::setDefault(saved);

    for (const char *text :
         {"kiedyś", "31.02.2004", "2004-13-01", "12:00", "2004-01-05 25:00:00", "", "   "}) {
        EXPECT_FALSE(LastUpdateFromText(QString::fromUtf8(text)).isValid()) << text;
    }
}

TEST_F(ChannelTreeFileTest, UnreadableDateKeepsEnabledAndLeavesTheDateUnknown)
{
    ChannelTree tree;
    const TreeLoadResult result = loadBytes(
        tree, treeFile(rootEntry +
                       entry("c", "1", "0",
                             "<lastbuild>lb</lastbuild><lastupdate>Montag, 5. Januar</lastupdate>"
                             "<enabled>True</enabled><alerts>True</alerts>")));
    ASSERT_TRUE(result.ok);
    const TtvChannel *c = tree.nodeAt(1)->channel();
    EXPECT_TRUE(c->enabled);
    EXPECT_TRUE(c->alerts);
    EXPECT_EQ(c->lastbuild, QStringLiteral("lb"));
    EXPECT_FALSE(c->lastupdate.isValid());
    EXPECT_EQ(result.warnings.size(), 1);
}

// A channel's own update interval is one more element, written only when the channel has
// one: an older file loads with the settings' interval, the files of channels that follow
// the settings stay byte for byte, and the element comes after every element an older
// reader looks up by name.
TEST_F(ChannelTreeFileTest, AChannelsOwnIntervalIsWrittenOnlyWhenItHasOne)
{
    ChannelTree built;
    buildFullTree(built);
    ChannelNode *channel = built.channelsInPreOrder().first();
    channel->channel()->interval = 45;
    const QString block = WriteChannelNode(built, channel);
    EXPECT_TRUE(block.endsWith(QStringLiteral("  <interval>45</interval>\r\n</node>")))
        << block.toStdString();
    EXPECT_LT(block.indexOf(QStringLiteral("<lastupdate>")), block.indexOf(QStringLiteral("<interval>")));
    SaveChannelTree(built, path(QStringLiteral("own.xml")));
    ChannelTree loaded;
    ASSERT_TRUE(load(loaded, path(QStringLiteral("own.xml"))).ok);
    expectSameTrees(built, loaded);

    // Out of range or not a number: the settings' interval, with a warning.
    const TreeLoadResult result = loadBytes(
        loaded, treeFile(rootEntry + entry("a", "1", "0", "<interval>5</interval>") +
                         entry("b", "1", "0", "<interval>co godzinę</interval>") +
                         entry("c", "1", "0", "<interval>0</interval>") +
                         entry("d", "1", "0", "<interval> 2000 </interval>")));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(loaded.nodeAt(1)->channel()->interval, 0);
    EXPECT_EQ(loaded.nodeAt(2)->channel()->interval, 0);
    EXPECT_EQ(loaded.nodeAt(3)->channel()->interval, 0);
    EXPECT_EQ(loaded.nodeAt(4)->channel()->interval, 2000);
    EXPECT_EQ(result.warnings.size(), 2) << result.warnings.join('\n').toStdString();
}

TEST_F(ChannelTreeFileTest, SavedFileIsPrivateAndReplacedWhole)
{
    const QString file = path(QStringLiteral("tvChannels.xml"));
    writeBytes(file, QByteArray("old content"));
    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadGroup | QFileDevice::ReadOther));
    QFile oldHandle(file);
    ASSERT_TRUE(oldHandle.open(QIODevice::ReadOnly));

    ChannelTree tree;
    buildFullTree(tree);
    SaveChannelTree(tree, file);

    EXPECT_EQ(QFile::permissions(file), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ReadUser | QFileDevice::WriteUser);
    EXPECT_EQ(readBytes(file), ChannelTreeFileBytes(tree));
    // Replaced by a rename: a reader of the old file still sees the old content whole.
    EXPECT_EQ(oldHandle.readAll(), QByteArray("old content"));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"tvChannels.xml"}));

    const QString fresh = path(QStringLiteral("fresh.xml"));
    SaveChannelTree(tree, fresh);
    EXPECT_EQ(QFile::permissions(fresh) & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                           QFileDevice::WriteGroup | QFileDevice::WriteOther),
              QFileDevice::Permissions());
}

TEST_F(ChannelTreeFileTest, SaveIntoAMissingFolderRaises)
{
    ChannelTree tree;
    EXPECT_THROW(SaveChannelTree(tree, path(QStringLiteral("no/such/folder/t.xml"))), FileError);
}

TEST_F(ChannelTreeFileTest, LoadingAgainReadsTheFileAsItIsNow)
{
    ChannelTree tree;
    ASSERT_TRUE(loadBytes(tree, treeFile(rootEntry + entry("first", "0", "0"))).ok);
    ASSERT_TRUE(m_document.active());
    ASSERT_TRUE(loadBytes(tree, treeFile(rootEntry + entry("second", "0", "0"))).ok);
    EXPECT_EQ(kindsAndNames(tree), (QStringList{"g-1:Korzeń", "g0:second"}));
}

TEST_F(ChannelTreeFileTest, AShortWriteLeavesTheOldFile)
{
    const QString file = path(QStringLiteral("tvChannels.xml"));
    ChannelTree tree;
    buildFullTree(tree);
    SaveChannelTree(tree, file);
    const QByteArray before = readBytes(file);
    tree.addNode(tree.root(), QStringLiteral("nowa"), NodeKind::Group);
    {
        InjectedShortWrite fullDisk;
        EXPECT_THROW(SaveChannelTree(tree, file), FileError);
    }
    EXPECT_EQ(readBytes(file), before);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"tvChannels.xml"}));
}
