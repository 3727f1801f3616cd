// The window's start tidies the per-user folder as the tools do: what a killed write left
// goes, and the files of the folder become the user's alone.

#include "MainFrmFixture.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace mainfrm_test {
namespace {

using MainFrmFolderTest = MainFrmFixture;

TEST_F(MainFrmFolderTest, TheStartRemovesAKilledWritesLeftoverAndMakesTheFilesPrivate)
{
    create().reset(); // the first start makes the folder
    const QString data = appFolder() + QStringLiteral("data/");
    const QString leftover = data + QStringLiteral("tvChannels.xml.0abc123");
    const QString mine = data + QStringLiteral("notatki.txt.0abc123");
    for (const QString &path : {leftover, mine}) {
        writeFile(path, "<Kanały/>");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                     QFileDevice::FileModificationTime));
    }
    const QString config = data + QStringLiteral("config.ini");
    ASSERT_TRUE(QFile::setPermissions(config, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ReadOther));

    auto window = create();
    ASSERT_FALSE(window->startupFailed());
    EXPECT_FALSE(QFileInfo::exists(leftover));
    EXPECT_TRUE(QFileInfo::exists(mine)) << "not a file of the program's own naming";
    EXPECT_EQ(QFileInfo(config).permissions() & 0x0077, QFileDevice::Permissions());
    EXPECT_EQ(QFileInfo(data).permissions() & 0x0077, QFileDevice::Permissions());
}

} // namespace
} // namespace mainfrm_test
