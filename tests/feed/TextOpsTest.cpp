#include "base/FileReplace.h"
#include "feed/TextOps.h"
#include "support/SmallFileSystem.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <iconv.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

QString u8(const char *text)
{
    return QString::fromUtf8(text);
}

// What the system's converter makes of one Windows-1250 byte; U+FFFD where it has no character.
QString windows1250ByIconv(unsigned char byte)
{
    iconv_t cd = iconv_open("UTF-8", "WINDOWS-1250");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return QString();
    char in[1] = {char(byte)};
    char out[8] = {};
    char *inPtr = in;
    char *outPtr = out;
    size_t inLeft = 1;
    size_t outLeft = sizeof(out);
    const size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (done == size_t(-1))
        return QString(QChar(0xFFFD));
    return QString::fromUtf8(out, int(outPtr - out));
}

} // namespace

TEST(TextOpsTest, ReplaceAllResumesAfterTheInsertedText)
{
    EXPECT_EQ(ReplaceAll("&", "|amp|", "A && B"), "A |amp||amp| B");
    EXPECT_EQ(ReplaceAll("|amp|", "&", "A |amp||amp| B"), "A && B");
    EXPECT_EQ(ReplaceAll("a", "aa", "aba"), "aabaa") << "inserted text is not searched again";
    EXPECT_EQ(ReplaceAll("aa", "b", "aaa"), "ba") << "left to right, no overlap";
    EXPECT_EQ(ReplaceAll("", "x", "abc"), "abc");
    EXPECT_EQ(ReplaceAll("a", "x", ""), "");
    EXPECT_EQ(ReplaceAll("a", "", "banana"), "bnn");
    EXPECT_EQ(ReplaceAll("a", "x", "AaA"), "AxA") << "case-sensitive";
    EXPECT_EQ(ReplaceAll(u8("ą"), u8("ę"), u8("ąbą")), u8("ębę"));
}

TEST(TextOpsTest, UrlEscapingRoundTripsAnyText)
{
    EXPECT_EQ(EscapeUrlText("a?b&c"), "a|quest|b|amp|c");
    EXPECT_EQ(UnescapeUrlText("a|quest|b|amp|c"), "a?b&c");
    EXPECT_EQ(EscapeUrlText("http://x.pl/rss?a=1&b=2"), "http://x.pl/rss|quest|a=1|amp|b=2");
    EXPECT_EQ(EscapeUrlText(""), "");
    // Characters outside any 8-bit code page survive: nothing becomes "?".
    const QString wide = u8("http://例え.jp/ścieżka?q=żółw&x=€😀");
    EXPECT_EQ(EscapeUrlText(wide), u8("http://例え.jp/ścieżka|quest|q=żółw|amp|x=€😀"));
    EXPECT_EQ(UnescapeUrlText(EscapeUrlText(wide)), wide);
    EXPECT_EQ(UnescapeUrlText(u8("日本")), u8("日本"));
    // "&" is escaped first, so a literal "|quest|" in the input stays recognisable.
    EXPECT_EQ(EscapeUrlText("?&"), "|quest||amp|");
}

TEST(TextOpsTest, TextToBool)
{
    for (const char *yes : {"1", "True", "TRUE", "true", "tRuE", "yes", "YES", "Yes"})
        EXPECT_TRUE(TextToBool(yes)) << yes;
    for (const char *no : {"", "0", "no", "false", "False", "2", " 1", "true ", "y", "-1", "on"})
        EXPECT_FALSE(TextToBool(no)) << no;
}

TEST(TextOpsTest, FindTextIsOneBased)
{
    EXPECT_EQ(FindText("ab", "xab", 2), 2);
    EXPECT_EQ(FindText("ab", "xab", 4), 0);
    EXPECT_EQ(FindText("ab", "xab", 1), 2);
    EXPECT_EQ(FindText("ab", "xab", 3), 0) << "the pattern must fit before the end";
    EXPECT_EQ(FindText("x", "xab", 1), 1);
    EXPECT_EQ(FindText("x", "xab", 0), 0);
    EXPECT_EQ(FindText("x", "xab", -5), 0);
    EXPECT_EQ(FindText("", "xab", 1), 0);
    EXPECT_EQ(FindText("a", "", 1), 0);
    EXPECT_EQ(FindText("A", "xab", 1), 0);
    EXPECT_EQ(FindText("b", "abab", 3), 4);
    EXPECT_EQ(FindText(u8("ł"), u8("😀ł"), 1), 3) << "positions count UTF-16 code units";
}

TEST(TextOpsTest, CopyRangeIncludesBothEnds)
{
    EXPECT_EQ(CopyRange("abcdef", 0, 3), "abc");
    EXPECT_EQ(CopyRange("abcdef", 5, 99), "ef");
    EXPECT_EQ(CopyRange("abc", 3, 2), "");
    EXPECT_EQ(CopyRange("abcdef", 2, 4), "bcd");
    EXPECT_EQ(CopyRange("abcdef", 1, 6), "abcdef");
    EXPECT_EQ(CopyRange("abcdef", -3, 100), "abcdef");
    EXPECT_EQ(CopyRange("abcdef", 6, 6), "f");
    EXPECT_EQ(CopyRange("abcdef", 7, 9), "");
    EXPECT_EQ(CopyRange("abcdef", -3, 0), "");
    EXPECT_EQ(CopyRange("", 1, 1), "");
}

TEST(TextOpsTest, DecodeCharRefsFollowsTheEdgeCases)
{
    EXPECT_EQ(DecodeCharRefs("&#185;&#179;"), u8("ął"));
    EXPECT_EQ(DecodeCharRefs("a&#x41;b"), "aAb");
    EXPECT_EQ(DecodeCharRefs("&#38;#65;"), "&#65;") << "an inserted & never starts a reference";
    EXPECT_EQ(DecodeCharRefs("&#38;&#35;65;"), "&#65;");
    EXPECT_THROW(DecodeCharRefs("x &# y"), ConversionError);
    EXPECT_EQ(DecodeCharRefs("plain & text; #1"), "plain & text; #1");
    EXPECT_EQ(DecodeCharRefs(""), "");
    EXPECT_EQ(DecodeCharRefs("Zaj&#234;cie &#8211; opis"), u8("Zajęcie – opis"));
}

TEST(TextOpsTest, DecodeCharRefsNumberForms)
{
    for (const char *form : {"&#65;", "&#x41;", "&#X41;", "&#$41;", "&#0x41;", "&#0X41;", "&#  65;",
                             "&#+65;", "&#065;", "&#x0041;"})
        EXPECT_EQ(DecodeCharRefs(form), "A") << form;
    for (const char *bad :
         {"&#;", "&#x;", "&#$;", "&#0x;", "&# ;", "&#-;", "&#12a;", "&#65 ;", "&#6 5;", "&#1.5;",
          "&#99999999999;", "&#x1FFFFFFFF;", "&#ab", "ok &#65", "&#xG1;"})
        EXPECT_THROW(DecodeCharRefs(bad), ConversionError) << bad;
}

TEST(TextOpsTest, DecodeCharRefsAboveByteRangeGivesTheUnicodeCharacter)
{
    EXPECT_EQ(DecodeCharRefs("&#261;"), u8("ą")) << "not the number modulo 256";
    EXPECT_EQ(DecodeCharRefs("&#x142;&#322;"), u8("łł"));
    EXPECT_EQ(DecodeCharRefs("&#8364;"), u8("€"));
    EXPECT_EQ(DecodeCharRefs("a&#128512;b"), u8("a😀b"));
    EXPECT_EQ(DecodeCharRefs("&#x1F600;&#38;#65;"), u8("😀&#65;"));
    EXPECT_EQ(DecodeCharRefs("&#1114111;"), QString::fromUcs4(U"\U0010FFFF", 1));
}

TEST(TextOpsTest, DecodeCharRefsReplacesWhatXmlCannotHold)
{
    const QString replacement(QChar(0xFFFD));
    for (const char *unsafe :
         {"&#1114112;", "&#xD800;", "&#57343;", "&#xFFFE;", "&#xFFFF;", "&#0;", "&#5;", "&#31;",
          "&#-5;", "&#$FFFFFFFF;", "&#2147483647;", "&#-2147483648;"})
        EXPECT_EQ(DecodeCharRefs(unsafe), replacement) << unsafe;
    EXPECT_EQ(DecodeCharRefs("&#9;&#10;&#13;"), "\t\n\r");
}

TEST(TextOpsTest, DecodeCharRefsBytesFollowWindows1250)
{
    EXPECT_EQ(DecodeCharRefs("&#165;&#140;&#143;&#175;&#156;&#159;&#191;"), u8("ĄŚŹŻśźż"));
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const QString expected = windows1250ByIconv(static_cast<unsigned char>(byte));
        ASSERT_FALSE(expected.isNull()) << "iconv lacks Windows-1250";
        EXPECT_EQ(DecodeCharRefs(QStringLiteral("&#%1;").arg(byte)), expected) << byte;
    }
    for (int byte = 0x20; byte < 0x80; ++byte)
        EXPECT_EQ(DecodeCharRefs(QStringLiteral("&#%1;").arg(byte)), QString(QChar(byte))) << byte;
}

TEST(TextOpsTest, ConvertFeedDate)
{
    EXPECT_EQ(ConvertFeedDate("Mon, 05 Jan 2004 10:00:00 GMT"), "2004-01-05");
    EXPECT_EQ(ConvertFeedDate("Mon, 5 Jan 2004 10:00:00 GMT"), "2004-01-05");
    EXPECT_EQ(ConvertFeedDate("Tue, 10 June 2003 04:00:00 GMT"), "2003-June-10");
    EXPECT_EQ(ConvertFeedDate("05 Jan 2004 10:00:00"), "-2004-Jan");
    EXPECT_EQ(ConvertFeedDate("Mon, 05 Jan 2004"), "-01-05");
    EXPECT_EQ(ConvertFeedDate("Sun, 31 Dec 2023 23:59:59 +0100"), "2023-12-31");
    const char *months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(ConvertFeedDate(QStringLiteral("Wed, 1 %1 2020 00:00:00 GMT").arg(months[i])),
                  QStringLiteral("2020-%1-01").arg(i + 1, 2, 10, QLatin1Char('0')));
    }
    EXPECT_EQ(ConvertFeedDate("Mon, 05 jan 2004 10:00:00 GMT"), "2004-jan-05")
        << "month names are case-sensitive";
    EXPECT_EQ(ConvertFeedDate("Mon,  5 Jan 2004 x"), "Jan-5-") << "two blanks make an empty piece";
    EXPECT_EQ(ConvertFeedDate("Mon,\t05 Jan 2004 10:00:00"), "-2004-Jan")
        << "a tab is no separator";
    EXPECT_EQ(ConvertFeedDate(""), "--");
    EXPECT_EQ(ConvertFeedDate("2004-01-05T10:00:00Z"), "--");
}

TEST(TextOpsTest, IsGuidTextAcceptsOnlyWhatCanNameAFile)
{
    EXPECT_TRUE(IsGuidText(NewGuidText()));
    EXPECT_TRUE(IsGuidText(QStringLiteral("{0a1b2c3d-0000-4000-8000-00000000abcd}")));
    for (const char *text :
         {"", "{}", "/../../../x", "{0A1B2C3D-0000-4000-8000-00000000ABCD", "0A1B2C3D-0000-4000-8000-00000000ABCD",
          "{0A1B2C3D-0000-4000-8000-00000000ABC/}", "{0A1B2C3D-0000-4000-8000-00000000ABCD}x",
          "{0A1B2C3D+0000-4000-8000-00000000ABCD}", "{../../../../../../../../../../../../x}",
          "{0A1B2C3D-0000-4000-8000-00000000ABCG}"})
        EXPECT_FALSE(IsGuidText(QString::fromLatin1(text))) << text;
}

TEST(TextOpsTest, NewGuidTextFormat)
{
    const QRegularExpression format(
        "^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$");
    QSet<QString> seen;
    for (int i = 0; i < 1000; ++i) {
        const QString guid = NewGuidText();
        ASSERT_EQ(guid.size(), 38);
        ASSERT_TRUE(format.match(guid).hasMatch()) << guid.toStdString();
        ASSERT_EQ(guid.at(15), QLatin1Char('4')) << "a random (version 4) GUID";
        ASSERT_TRUE(QStringLiteral("89AB").contains(guid.at(20))) << guid.toStdString();
        seen.insert(guid);
    }
    EXPECT_EQ(seen.size(), 1000);
}

class TextFileTest : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

TEST_F(TextFileTest, SaveTextToFileWritesCrLfLines)
{
    const struct
    {
        QByteArray in;
        QByteArray out;
    } cases[] = {
        {"a\nb", "a\r\nb\r\n"},
        {"a\r\nb\rc\n", "a\r\nb\r\nc\r\n"},
        {"", ""},
        {"a\n", "a\r\n"},
        {"a\n\n", "a\r\n\r\n"},
        {"\n\r", "\r\n\r\n"},
        {"\r\n", "\r\n"},
        {QByteArray("ab\0cd\n", 6), "ab\r\n"},
        {QByteArray("\0x", 2), ""},
        {"\xB9\xE6\xEA\x9C\n\xFF", "\xB9\xE6\xEA\x9C\r\n\xFF\r\n"},
        {"a\r", "a\r\n"},
        {"\r\r\n", "\r\n\r\n"},
        {"a\rb", "a\r\nb\r\n"},
        {"\r\n\n\r\r", "\r\n\r\n\r\n\r\n"},
    };
    for (const auto &c : cases) {
        SaveTextToFile(path("body.xml"), c.in);
        EXPECT_EQ(readAll(path("body.xml")), c.out) << c.in.toHex().constData();
    }
}

// Texts of several megabytes, with lines longer than any buffer and line ends of every kind,
// against a plain reading of the rule.
TEST_F(TextFileTest, LargeTextsKeepEveryLine)
{
    QByteArray text;
    const char *ends[] = {"\n", "\r\n", "\r"};
    for (int i = 0; text.size() < 3 * 1024 * 1024; ++i) {
        text += QByteArray(i % 7 == 0 ? 1500 : i % 5, char('a' + i % 26));
        text += ends[i % 3];
        if (i == 1000)
            text += QByteArray(2500 * 1024, 'L') + "\r\n";
    }
    text += "tail";
    QByteArray expected;
    expected.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == '\r' || text.at(i) == '\n') {
            expected += "\r\n";
            if (text.at(i) == '\r' && i + 1 < text.size() && text.at(i + 1) == '\n')
                ++i;
        } else {
            expected += text.at(i);
        }
    }
    expected += "\r\n";
    for (Durability durability : {Durability::Synced, Durability::Unsynced}) {
        SaveTextToFile(path("big.txt"), text, durability);
        EXPECT_TRUE(readAll(path("big.txt")) == expected);
    }
}

TEST_F(TextFileTest, SavesReplaceFilesAtomically)
{
    QFile old(path("f.txt"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old content\r\n");
    old.close();
    struct stat before
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(path("f.txt")).constData(), &before), 0);
    SaveTextToFile(path("f.txt"), "new");
    struct stat after
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(path("f.txt")).constData(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_EQ(readAll(path("f.txt")), "new\r\n");

    // A write cut short by the file size limit leaves the old file and no temporary file.
    struct rlimit saved
    {
    };
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 16 * 1024;
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool textFailed = false;
    bool bytesFailed = false;
    bool unsyncedFailed = false;
    try {
        SaveTextToFile(path("f.txt"), QByteArray(100000, 'x'));
    } catch (const FileError &) {
        textFailed = true;
    }
    try {
        WriteFileAtomically(path("f.txt"), QByteArray(100000, 'y'));
    } catch (const FileError &) {
        bytesFailed = true;
    }
    try {
        SaveTextToFile(path("f.txt"), QByteArray(100000, 'z'), Durability::Unsynced);
    } catch (const FileError &) {
        unsyncedFailed = true;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_TRUE(textFailed);
    EXPECT_TRUE(bytesFailed);
    EXPECT_TRUE(unsyncedFailed);
    EXPECT_EQ(readAll(path("f.txt")), "new\r\n");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"f.txt"});

    ASSERT_TRUE(QDir(m_dir.path()).mkdir("dir"));
    EXPECT_THROW(SaveTextToFile(path("dir"), "x"), FileError);
    EXPECT_THROW(WriteFileAtomically(path("missing/f.txt"), "x"), FileError);
    EXPECT_THROW(WriteFileAtomically(path("dir"), "x", Durability::Unsynced), FileError);
    WriteFileAtomically(path("g.bin"), QByteArray("\0\r\n\xFF", 4));
    EXPECT_EQ(readAll(path("g.bin")), QByteArray("\0\r\n\xFF", 4));
    WriteFileAtomically(path("g.bin"), "unsynced", Durability::Unsynced);
    EXPECT_EQ(readAll(path("g.bin")), "unsynced");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList({"f.txt", "g.bin"}));
}

namespace {

QByteArray g_injected; // what the injected calls really put in the files
qint64 g_budget = 0;

// Writes up to the budget, then fails as a full disk does.
qint64 writeUntilFull(int fd, const char *data, qint64 size)
{
    const qint64 n = qMin(size, g_budget);
    if (n <= 0) {
        errno = ENOSPC;
        return -1;
    }
    g_budget -= n;
    return qint64(::write(fd, data, size_t(n)));
}

// Says it wrote everything but writes only half: the size read back must show it.
qint64 writeHalfSilently(int fd, const char *data, qint64 size)
{
    const qint64 half = size / 2;
    if (half > 0 && ::write(fd, data, size_t(half)) < 0)
        return -1;
    return size;
}

struct InjectedWrite
{
    explicit InjectedWrite(FileWriteCall call) { SetFileWriteCall(call); }
    ~InjectedWrite() { SetFileWriteCall(nullptr); }
};

} // namespace

// Whatever a write reports, a replacement that did not get every byte into the new file
// leaves the old one and no file beside it.
// A batch takes the folder flushes of the synced replacements made while it lives, once per
// folder; the files themselves are replaced at once, and unsynced ones owe it nothing.
TEST_F(TextFileTest, ABatchFlushesEachFolderOnceAtItsEnd)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("data")));
    EXPECT_FALSE(FolderSyncBatch::defer("/tmp")) << "no batch: a replacement flushes itself";
    {
        FolderSyncBatch batch;
        WriteFileAtomically(path("data/a.xml"), "a");
        WriteFileAtomically(path("data/b.xml"), "b");
        WriteFileAtomically(path("c.txt"), "c");
        WriteFileAtomically(path("temp.xml"), "t", Durability::Unsynced);
        EXPECT_EQ(readAll(path("data/a.xml")), "a") << "the file is replaced at once";
        EXPECT_EQ(batch.pendingFolders(), 2);
        {
            FolderSyncBatch inner;
            WriteFileAtomically(path("data/a.xml"), "a2");
            EXPECT_EQ(inner.pendingFolders(), 1);
        }
        EXPECT_EQ(batch.pendingFolders(), 2) << "an inner batch flushes its own";
    }
    EXPECT_FALSE(FolderSyncBatch::defer("/tmp")) << "the batch has ended";
    EXPECT_EQ(readAll(path("data/a.xml")), "a2");
}

TEST_F(TextFileTest, AShortWriteKeepsTheOldFile)
{
    ASSERT_TRUE(writeAll(path("f.txt"), "old\r\n"));
    for (FileWriteCall call : {&writeUntilFull, &writeHalfSilently}) {
        InjectedWrite injected(call);
        for (Durability durability : {Durability::Synced, Durability::Unsynced}) {
            g_budget = 10;
            EXPECT_THROW(WriteFileAtomically(path("f.txt"), QByteArray(100, 'x'), durability),
                         FileError);
            g_budget = 10;
            EXPECT_THROW(SaveTextToFile(path("f.txt"), QByteArray(100, 'y'), durability),
                         FileError);
        }
        EXPECT_EQ(readAll(path("f.txt")), "old\r\n");
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{"f.txt"});
    }
    // A write that takes only part at a time is no failure.
    {
        qint64 (*const inPieces)(int, const char *, qint64) = [](int fd, const char *data,
                                                                  qint64 size) {
            return qint64(::write(fd, data, size_t(qMin<qint64>(size, 7))));
        };
        InjectedWrite injected(inPieces);
        WriteFileAtomically(path("f.txt"), QByteArray(100, 'z'));
    }
    EXPECT_EQ(readAll(path("f.txt")), QByteArray(100, 'z'));
}

TEST_F(TextFileTest, ReplacementsKeepPermissionsAndLinks)
{
    ASSERT_TRUE(writeAll(path("shared.txt"), "a"));
    ASSERT_TRUE(QFile::setPermissions(path("shared.txt"), QFileDevice::ReadOwner |
                                                              QFileDevice::WriteOwner |
                                                              QFileDevice::ReadOther));
    WriteFileAtomically(path("shared.txt"), "b");
    EXPECT_TRUE(QFileInfo(path("shared.txt")).permissions() & QFileDevice::ReadOther);
    WriteFileAtomically(path("shared.txt"), "c", Durability::Synced, FileAccess::OwnerOnly);
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                            QFileDevice::ReadOther | QFileDevice::WriteOther;
    EXPECT_FALSE(QFileInfo(path("shared.txt")).permissions() & others);
    EXPECT_EQ(readAll(path("shared.txt")), "c");

    // A link stays a link; the file it names gets the content.
    ASSERT_TRUE(writeAll(path("real.txt"), "old"));
    ASSERT_TRUE(QFile::link(path("real.txt"), path("link.txt")));
    WriteFileAtomically(path("link.txt"), "new");
    EXPECT_TRUE(QFileInfo(path("link.txt")).isSymLink());
    EXPECT_EQ(readAll(path("real.txt")), "new");
}

// A real full file system: with no space left, or a page left and more to write, the old
// file stays whole and the failure is raised.
TEST(TextFileFullDiskTest, AFullDiskKeepsTheOldFile)
{
    SmallFileSystem disk;
    if (!disk.mounted())
        GTEST_SKIP() << "needs root to mount a small file system";
    const QString file = disk.path() + QStringLiteral("/f.txt");
    const QByteArray old(1000, 'o');
    WriteFileAtomically(file, old);
    for (qint64 leave : {0, 4096}) {
        ASSERT_TRUE(disk.fill(leave));
        EXPECT_THROW(WriteFileAtomically(file, QByteArray(leave + 100, 'n')), FileError)
            << leave;
        EXPECT_THROW(SaveTextToFile(file, QByteArray(leave + 100, 'n'), Durability::Unsynced),
                     FileError)
            << leave;
        EXPECT_EQ(readAll(file), old);
        EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files),
                  QStringList{"f.txt"});
    }
    // What fits is written.
    WriteFileAtomically(file, "small");
    EXPECT_EQ(readAll(file), "small");
}
