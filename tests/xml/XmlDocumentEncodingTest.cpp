#include "support/TestFiles.h"
#include "xml/XmlDocument.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char PolishLetters[] = "ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ";

QString polish()
{
    return QString::fromUtf8(PolishLetters);
}

QByteArray utf16(const QString &text, bool bigEndian)
{
    QByteArray bytes = bigEndian ? QByteArray("\xFE\xFF", 2) : QByteArray("\xFF\xFE", 2);
    for (QChar c : text) {
        const char high = char(c.unicode() >> 8);
        const char low = char(c.unicode() & 0xFF);
        if (bigEndian) {
            bytes += high;
            bytes += low;
        } else {
            bytes += low;
            bytes += high;
        }
    }
    return bytes;
}

struct EightBitCase
{
    const char *declared;
    const char *polishHex; // PolishLetters in that encoding
};

// 'ą' is B9 in Windows-1250 and B1 in ISO-8859-2; 'ś', 'ź', 'Ą', 'Ś', 'Ź' differ too.
const EightBitCase EightBitCases[] = {
    {"windows-1250", "B9E6EAB3F1F39C9FBF20A5C6CAA3D1D38C8FAF"},
    {"iso-8859-2", "B1E6EAB3F1F3B6BCBF20A1C6CAA3D1D3A6ACAF"},
};

class XmlEncodingTest : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(XmlEncodingTest, EightBitEncodingsLoadAndSaveTheirOwnBytes)
{
    for (const EightBitCase &c : EightBitCases) {
        SCOPED_TRACE(c.declared);
        const QByteArray encoded = QByteArray::fromHex(c.polishHex);
        const QByteArray file = QByteArray("<?xml version=\"1.0\" encoding=\"") + c.declared +
                                "\"?>\n<a>" + encoded + "</a>\n";
        ASSERT_TRUE(writeAll(path("in.xml"), file));
        XmlDocument doc;
        doc.setFileName(path("in.xml"));
        doc.setActive(true);
        EXPECT_EQ(doc.encoding(), c.declared);
        EXPECT_EQ(doc.documentElement().text(), polish());

        doc.documentElement().setText(polish() + polish());
        doc.saveToFile(path("out.xml"));
        EXPECT_EQ(readAll(path("out.xml")), QByteArray("<?xml version=\"1.0\" encoding=\"") +
                                                c.declared + "\"?>\n<a>" + encoded + encoded +
                                                "</a>\n");
        XmlDocument again;
        again.loadFromFile(path("out.xml"));
        EXPECT_EQ(again.documentElement().text(), polish() + polish());
    }
}

TEST_F(XmlEncodingTest, SetEncodingRewritesInTheNewEncoding)
{
    for (const EightBitCase &c : EightBitCases) {
        SCOPED_TRACE(c.declared);
        XmlDocument doc;
        doc.loadFromBytes(QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>") +
                          PolishLetters + "</a>");
        EXPECT_EQ(doc.encoding(), "UTF-8");
        doc.setEncoding(c.declared);
        EXPECT_EQ(doc.encoding(), c.declared);
        doc.saveToFile(path("out.xml"));
        const QByteArray bytes = readAll(path("out.xml"));
        EXPECT_TRUE(bytes.startsWith(QByteArray("<?xml version=\"1.0\" encoding=\"") + c.declared +
                                     "\"?>"));
        EXPECT_TRUE(bytes.contains(QByteArray::fromHex(c.polishHex))) << bytes.toHex().constData();
        EXPECT_FALSE(bytes.contains("\xC4\x85"));
    }
}

TEST_F(XmlEncodingTest, CharactersMissingFromTheCodePageBecomeReferences)
{
    XmlDocument doc;
    doc.loadFromBytes("<?xml version=\"1.0\" encoding=\"iso-8859-2\"?><a>x</a>");
    const QString text = QString::fromUtf8("€ 日本 ą");
    doc.documentElement().setText(text);
    doc.documentElement().setAttribute("t", text);
    doc.saveToFile(path("out.xml"));
    const QByteArray bytes = readAll(path("out.xml"));
    EXPECT_TRUE(bytes.contains("&#8364;") || bytes.contains("&#x20AC;")) << bytes.constData();
    EXPECT_TRUE(bytes.contains("\xB1"));
    XmlDocument again;
    again.loadFromFile(path("out.xml"));
    EXPECT_EQ(again.documentElement().text(), text);
    EXPECT_EQ(again.documentElement().attribute("t"), text);
}

TEST_F(XmlEncodingTest, Utf8WithAndWithoutDeclarationOrMark)
{
    const QByteArray body = QByteArray("<a>") + PolishLetters + "</a>";
    const QByteArray inputs[] = {QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>") + body,
                                 QByteArray("<?xml version=\"1.0\"?>") + body, body,
                                 QByteArray("\xEF\xBB\xBF") + body};
    for (const QByteArray &input : inputs) {
        SCOPED_TRACE(input.left(40).constData());
        ASSERT_TRUE(writeAll(path("in.xml"), input));
        XmlDocument doc;
        doc.loadFromFile(path("in.xml"));
        EXPECT_EQ(doc.documentElement().text(), polish());
        doc.save();
        const QByteArray saved = readAll(path("in.xml"));
        // Real UTF-8 bytes, never character references, whether declared or not.
        EXPECT_TRUE(saved.contains(PolishLetters)) << saved.constData();
        EXPECT_FALSE(saved.contains("&#"));
        EXPECT_EQ(doc.encoding().isEmpty(), !input.contains("encoding="));
    }
}

TEST_F(XmlEncodingTest, Utf16WithByteOrderMark)
{
    const QString declared =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>") + polish() + "</a>";
    const QString undeclared = QStringLiteral("<?xml version=\"1.0\"?><a>") + polish() + "</a>";
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "big endian" : "little endian");
        ASSERT_TRUE(writeAll(path("in.xml"), utf16(declared, bigEndian)));
        XmlDocument doc;
        doc.loadFromFile(path("in.xml"));
        EXPECT_EQ(doc.documentElement().text(), polish());
        EXPECT_EQ(doc.encoding(), "UTF-16");
        doc.saveToFile(path("out.xml"));
        const QByteArray saved = readAll(path("out.xml"));
        EXPECT_TRUE(saved.startsWith("\xFF\xFE"))
            << "UTF-16 is written little-endian with its mark";
        EXPECT_TRUE(saved.contains(QByteArray("\x05\x01\x07\x01", 4)))
            << saved.toHex().constData(); // "ąć"
        XmlDocument again;
        again.loadFromFile(path("out.xml"));
        EXPECT_EQ(again.documentElement().text(), polish());

        ASSERT_TRUE(writeAll(path("plain.xml"), utf16(undeclared, bigEndian)));
        XmlDocument plain;
        plain.loadFromFile(path("plain.xml"));
        EXPECT_EQ(plain.documentElement().text(), polish());
    }
}

// The mark tells the bytes' encoding for certain; libxml2 alone would switch to the declared
// one after the declaration and read the rest as garbage, or fail.
TEST_F(XmlEncodingTest, ByteOrderMarkWinsOverAContradictingDeclaration)
{
    const QString body = QStringLiteral("<a>") + polish() + QStringLiteral("</a>");
    for (const char *declared : {"windows-1250", "iso-8859-2", "UTF-16"}) {
        const QString text =
            QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>").arg(declared) + body;
        QList<QByteArray> inputs{"\xEF\xBB\xBF" + text.toUtf8()};
        if (qstrcmp(declared, "UTF-16") != 0)
            inputs << utf16(text, false) << utf16(text, true);
        for (const QByteArray &input : inputs) {
            SCOPED_TRACE((QByteArray(declared) + " " + input.left(3).toHex()).constData());
            ASSERT_TRUE(writeAll(path("in.xml"), input));
            XmlDocument doc;
            doc.loadFromFile(path("in.xml"));
            EXPECT_EQ(doc.documentElement().text(), polish());
            EXPECT_EQ(doc.encoding(), declared);
            // Saved as it declares, and read back the same.
            doc.saveToFile(path("out.xml"));
            XmlDocument again;
            again.loadFromFile(path("out.xml"));
            EXPECT_EQ(again.documentElement().text(), polish());
            EXPECT_EQ(again.encoding(), declared);
        }
    }
    // A declaration naming an encoding nobody knows is still an error.
    ASSERT_TRUE(writeAll(path("in.xml"), "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"x-none\"?>"
                                         "<a/>"));
    XmlDocument doc;
    EXPECT_THROW(doc.loadFromFile(path("in.xml")), XmlError);
}

TEST_F(XmlEncodingTest, SaveReplacesTheFileThroughARename)
{
    ASSERT_TRUE(writeAll(path("doc.xml"), "<a>old</a>"));
    struct stat before
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(path("doc.xml")).constData(), &before), 0);
    XmlDocument doc;
    doc.loadFromFile(path("doc.xml"));
    doc.documentElement().setText("new");
    doc.save();
    struct stat after
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(path("doc.xml")).constData(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino) << "the old file is replaced, not rewritten in place";
    EXPECT_EQ(readAll(path("doc.xml")), "<?xml version=\"1.0\"?>\n<a>new</a>\n");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"doc.xml"});
}

TEST_F(XmlEncodingTest, FailedSavesLeaveTheOldFileWhole)
{
    const QByteArray old = "<?xml version=\"1.0\"?>\n<a>old</a>\n";
    ASSERT_TRUE(writeAll(path("doc.xml"), old));
    XmlDocument doc;
    doc.loadFromFile(path("doc.xml"));
    doc.documentElement().setText(QString(300000, QLatin1Char('x')));

    // An encoding nobody knows fails before anything is written.
    doc.setEncoding("x-unknown-charset");
    EXPECT_THROW(doc.save(), XmlError);
    EXPECT_EQ(readAll(path("doc.xml")), old);
    doc.setEncoding("UTF-8");

    // A write that fails half way (file size limit) must not touch the old file.
    struct rlimit saved
    {
    };
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool raised = false;
    try {
        doc.save();
    } catch (const XmlError &) {
        raised = true;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_TRUE(raised);
    EXPECT_EQ(readAll(path("doc.xml")), old);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"doc.xml"})
        << "no temporary file is left";

    // A directory in the way of the target.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.xml"));
    EXPECT_THROW(doc.saveToFile(path("folder.xml")), XmlError);
    EXPECT_TRUE(QFileInfo(path("folder.xml")).isDir());

    // A missing folder.
    EXPECT_THROW(doc.saveToFile(path("missing/doc.xml")), XmlError);

    doc.save();
    EXPECT_EQ(readAll(path("doc.xml")), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a>" +
                                            QByteArray(300000, 'x') + "</a>\n");
}

TEST_F(XmlEncodingTest, SaveIntoAReadOnlyFolderRaises)
{
    const QString folder = path("ro");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString target = folder + "/doc.xml";
    ASSERT_TRUE(writeAll(target, "<a>old</a>"));
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
    const bool writable = ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
    if (writable) {
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    }
    XmlDocument doc;
    doc.loadFromFile(target);
    doc.documentElement().setText("new");
    EXPECT_THROW(doc.save(), XmlError);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_EQ(readAll(target), "<a>old</a>");
}

namespace {

// Every byte of the code page, read and written back, against the system's converter.
TEST_F(XmlEncodingTest, Windows1250AgreesWithTheSystemConverterForEveryByte)
{
    QByteArray bytes;
    for (int b = 0x20; b < 0x100; ++b)
        if (b != '<' && b != '&' && b != 0x7F && b != 0x81 && b != 0x83 && b != 0x88 && b != 0x90 &&
            b != 0x98)
            bytes.append(char(b));
    const QByteArray document =
        "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\n<t>" + bytes + "</t>\n";
    ASSERT_TRUE(writeAll(path("all.xml"), document));
    XmlDocument doc;
    doc.loadFromFile(path("all.xml"));
    QStringDecoder decoder("windows-1250");
    EXPECT_EQ(doc.documentElement().text(), QString(decoder(bytes)));

    doc.saveToFile(path("again.xml"));
    const QByteArray saved = readAll(path("again.xml"));
    const QByteArray escapedBytes = QByteArray(bytes).replace(">", "&gt;");
    EXPECT_TRUE(saved.contains("<t>" + escapedBytes + "</t>")) << saved.toHex().toStdString();
}

TEST_F(XmlEncodingTest, Windows1250UndefinedByteIsAnError)
{
    ASSERT_TRUE(
        writeAll(path("bad.xml"), "<?xml version=\"1.0\" encoding=\"windows-1250\"?><t>a\x81</t>"));
    XmlDocument doc;
    EXPECT_THROW(doc.loadFromFile(path("bad.xml")), XmlError);
    EXPECT_FALSE(doc.active());
}

} // namespace
