// The settings dialog's "Synchronizacja" page against servers that answer each way.
#include "account/AccountSync.h"
#include "account/forms/AccountPage.h"
#include "account/forms/AccountPageController.h"
#include "app/forms/ConfigUnit.h"
#include "base/LiveSettings.h"
#include "base/UserFolder.h"
#include "catalogue/ChannelTree.h"
#include "feed/ReportSink.h"
#include "reading/ShownChannel.h"
#include "support/LoopbackServer.h"
#include "support/TestUserFolder.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include <memory>

namespace {

struct NoLines : IReportSink
{
    void ReportProblem(const QString &) override {}
};

LoopbackReply json(const QByteArray &body)
{
    return LoopbackReply::http("200 OK", body, "Content-Type: text/json;charset=UTF-8\r\n");
}

class AccountPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        folder = UserFolder(makeUserFolder(home.path() + QStringLiteral("/Kolvani")));
        account = std::make_unique<AccountSync>(folder, tree, shown, lines);
        dialog = std::make_unique<TfmConfigFrm>(live, folder.configFile(), "/opt/kolvani/kolvani");
        page = new AccountPage;
        dialog->addPage(page, QStringLiteral("Synchronizacja"));
        controller = std::make_unique<AccountPageController>(*page, *account);
        controller->attachTo(*dialog);
    }

    // The page's result after a check against a server giving `login`'s answer.
    QString checkAgainst(const LoopbackReply &login, const QString &password = QStringLiteral("x"))
    {
        LoopbackServer server;
        server.setHandler([login](const LoopbackRequest &request) {
            Q_UNUSED(request);
            return login;
        });
        EXPECT_TRUE(server.start());
        page->edServer->setText(server.url(QStringLiteral("/tt-rss")));
        page->edUser->setText(QStringLiteral("anna"));
        page->edPassword->setText(password);
        page->btCheckConnection->click();
        EXPECT_TRUE(page->btCheckConnection->isEnabled());
        return page->lbConnectionResult->text();
    }

    QTemporaryDir home;
    UserFolder folder;
    ChannelTree tree;
    ShownChannel shown;
    NoLines lines;
    LiveSettings live;
    std::unique_ptr<AccountSync> account;
    std::unique_ptr<TfmConfigFrm> dialog;
    AccountPage *page = nullptr;
    std::unique_ptr<AccountPageController> controller;
};

} // namespace

TEST_F(AccountPageTest, TheCheckSaysWhatIsWrongInPolish)
{
    ASSERT_EQ(dialog->pcPages->count(), 2);
    EXPECT_EQ(dialog->pcPages->tabText(1), QStringLiteral("Synchronizacja"));
    EXPECT_EQ(page->btCheckConnection->text(), QStringLiteral("Sprawdź połączenie"));

    EXPECT_TRUE(checkAgainst(json("{\"seq\":0,\"status\":1,\"content\":{\"error\":\"LOGIN_ERROR\"}}"))
                    .contains(QStringLiteral("odrzucił nazwę użytkownika lub hasło")));
    EXPECT_TRUE(checkAgainst(json("{\"seq\":0,\"status\":1,\"content\":{\"error\":\"API_DISABLED\"}}"))
                    .contains(QStringLiteral("nie ma włączonego dostępu przez API")));
    EXPECT_TRUE(checkAgainst(json("{\"seq\":0,\"status\":0,\"content\":{\"session_id\":\"abc\",\"api_level\":1}}"))
                    .contains(QStringLiteral("za stary")));
    EXPECT_TRUE(checkAgainst(LoopbackReply::http("404 Not Found", "<html>nic</html>"))
                    .contains(QStringLiteral("HTTP 404")));
    EXPECT_TRUE(checkAgainst(json("{\"seq\":0,\"status\":0,\"content\":{\"session_id\":\"abc\",\"api_level\":15,\"version\":\"21.2\"}}"))
                    .startsWith(QStringLiteral("Połączono z serwerem Tiny Tiny RSS")));

    // Nothing listens at the address.
    auto closed = std::make_unique<LoopbackServer>();
    ASSERT_TRUE(closed->start());
    const QString address = closed->url();
    closed.reset();
    page->edServer->setText(address);
    page->btCheckConnection->click();
    EXPECT_TRUE(page->lbConnectionResult->text().startsWith(
        QStringLiteral("Nie można połączyć się z serwerem")));

    page->edServer->clear();
    page->btCheckConnection->click();
    EXPECT_EQ(page->lbConnectionResult->text(),
              QStringLiteral("Podaj adres serwera i nazwę użytkownika."));
}

TEST_F(AccountPageTest, OkSavesTheAccountReadableByTheUserAlone)
{
    dialog->show();
    page->edServer->setText(QStringLiteral("https://example.org/tt-rss/"));
    page->edUser->setText(QStringLiteral("anna"));
    page->edPassword->setText(QStringLiteral("tajne"));
    dialog->btOK->click();
    EXPECT_EQ(account->settings().password, QStringLiteral("tajne"));
    EXPECT_EQ(account->settings().groupName(), QStringLiteral("anna@example.org"));
    const QFileInfo file(account->accountFile());
    ASSERT_TRUE(file.exists());
    EXPECT_EQ(file.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup |
                                    QFile::WriteOther),
              QFile::Permissions());

    // Cancel keeps what was saved, and the page shows it again when the dialog opens.
    dialog->show();
    page->edPassword->setText(QStringLiteral("inne"));
    dialog->btCancel->click();
    EXPECT_EQ(account->settings().password, QStringLiteral("tajne"));
    dialog->show();
    EXPECT_EQ(page->edPassword->text(), QStringLiteral("tajne"));
    dialog->hide();
}
