#include "app/Autostart.h"
#include "base/FileReplace.h"
#include "support/ShortWrite.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

class AutostartTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_old = qgetenv("XDG_CONFIG_HOME");
        m_had = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    }
    void TearDown() override
    {
        if (m_had)
            qputenv("XDG_CONFIG_HOME", m_old);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    QString entry() const { return dir.filePath("autostart/Felvane.desktop"); }
    QByteArray entryText() const
    {
        QFile f(entry());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QByteArray m_old;
    bool m_had = false;
};

} // namespace

TEST_F(AutostartTest, WritesAndDeletesTheEntry)
{
    EXPECT_EQ(AutostartEntryPath(), entry());
    setAutostart(true, "/opt/kolvani/kolvani");
    ASSERT_TRUE(QFileInfo::exists(entry()));
    const QByteArray text = entryText();
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(text.contains("\nType=Application\n"));
    EXPECT_TRUE(text.contains("\nName=Kolvani\n"));
    EXPECT_TRUE(text.contains("\nExec=\"/opt/kolvani/kolvani\" hid\n"));

    // Writing again (every start with the setting on) replaces the path.
    setAutostart(true, "/usr/local/bin/kolvani");
    EXPECT_TRUE(entryText().contains("\nExec=\"/usr/local/bin/kolvani\" hid\n"));
    EXPECT_FALSE(entryText().contains("/opt/"));

    setAutostart(false, "/usr/local/bin/kolvani");
    EXPECT_FALSE(QFileInfo::exists(entry()));
    setAutostart(false, "/usr/local/bin/kolvani"); // nothing to delete is fine
}

TEST_F(AutostartTest, ExecQuotesReservedCharacters)
{
    EXPECT_EQ(AutostartExecLine("/home/a b/kolvani"), "\"/home/a b/kolvani\" hid");
    // " ` $ \ get a backslash inside the quotes, and the value escapes backslashes again.
    EXPECT_EQ(AutostartExecLine("/x/\"q\"$`"), "\"/x/\\\\\"q\\\\\"\\\\$\\\\`\" hid");
    EXPECT_EQ(AutostartExecLine("/x/a\\b"), "\"/x/a\\\\\\\\b\" hid");
    EXPECT_EQ(AutostartExecLine("/x/100%/k"), "\"/x/100%%/k\" hid");
    // A line break cannot start another key of the entry.
    EXPECT_FALSE(AutostartExecLine("/x/a\nExec=evil").contains('\n'));
}

TEST_F(AutostartTest, FailureRaises)
{
    QFile blocker(dir.filePath("autostart"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    EXPECT_THROW(setAutostart(true, "/usr/bin/kolvani"), FileError);
}

TEST_F(AutostartTest, AShortWriteLeavesTheOldEntry)
{
    setAutostart(true, "/opt/kolvani/kolvani");
    const QByteArray before = entryText();
    {
        InjectedShortWrite fullDisk;
        EXPECT_THROW(setAutostart(true, "/usr/bin/kolvani"), FileError);
    }
    EXPECT_EQ(entryText(), before);
}
