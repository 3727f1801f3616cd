#include "account/TtrssApi.h"

#include "support/LoopbackServer.h"
#include "support/TtrssServer.h"

#include <gtest/gtest.h>

#include <memory>

TTRSS_ENVIRONMENT();

namespace {

struct LoggedIn
{
    TtrssApi api;
    QString user;
    explicit LoggedIn(const QString &password = QStringLiteral("secret"))
    {
        user = TtrssServer::instance()->addUser(password);
        api.setServer(TtrssServer::instance()->address());
        api.setCredentials(user, password);
    }
};

} // namespace

TEST(TtrssApiTest, LogsInReadsTheServerAndLogsOut)
{
    REQUIRE_TTRSS();
    LoggedIn s;
    ASSERT_TRUE(s.api.login()) << s.api.message().toStdString();
    EXPECT_GE(s.api.apiLevel(), TtrssApi::MinApiLevel);
    EXPECT_FALSE(s.api.version().isEmpty());
    bool ok = false;
    const QList<TtrssCategory> categories = s.api.categories(&ok);
    EXPECT_TRUE(ok) << s.api.message().toStdString();
    EXPECT_FALSE(categories.isEmpty()); // "Uncategorized" and the special ones
    s.api.logout();
    EXPECT_FALSE(s.api.loggedIn());
}

TEST(TtrssApiTest, LoginFailuresSayWhatIsWrong)
{
    REQUIRE_TTRSS();
    LoggedIn wrong;
    wrong.api.setCredentials(wrong.user, QStringLiteral("not-the-password"));
    EXPECT_FALSE(wrong.api.login());
    EXPECT_EQ(wrong.api.failure(), TtrssFailure::LoginError);
    EXPECT_TRUE(wrong.api.message().contains(QStringLiteral("hasło")));

    LoggedIn disabled;
    TtrssServer::instance()->sql(
        QStringLiteral("delete from ttrss_user_prefs where pref_name = 'ENABLE_API_ACCESS' and "
                       "owner_uid = (select id from ttrss_users where login = '%1')")
            .arg(disabled.user));
    EXPECT_FALSE(disabled.api.login());
    EXPECT_EQ(disabled.api.failure(), TtrssFailure::ApiDisabled);
    EXPECT_TRUE(disabled.api.message().contains(QStringLiteral("API")));
}

TEST(TtrssApiTest, AnAddressWithoutAServerIsUnreachable)
{
    auto closed = std::make_unique<LoopbackServer>();
    ASSERT_TRUE(closed->start());
    const QString address = closed->url();
    closed.reset(); // the port is free again: nothing listens there
    TtrssApi api;
    api.setServer(address);
    api.setCredentials(QStringLiteral("a"), QStringLiteral("b"));
    EXPECT_FALSE(api.login());
    EXPECT_EQ(api.failure(), TtrssFailure::Unreachable);
    EXPECT_TRUE(api.message().startsWith(QStringLiteral("Nie można połączyć się z serwerem")));

    api.setServer(QStringLiteral("ftp://example.org/"));
    EXPECT_FALSE(api.login());
    EXPECT_TRUE(api.message().contains(QStringLiteral("nieprawidłowy")));
}
