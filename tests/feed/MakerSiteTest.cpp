#include "feed/MakerSite.h"

#include <gtest/gtest.h>

namespace {

TEST(MakerSiteTest, TheHostDecidesNotAMentionOfTheName)
{
    EXPECT_TRUE(IsMakerSiteAddress(QStringLiteral("https://kolvani.pl/konto")));
    EXPECT_TRUE(IsMakerSiteAddress(QStringLiteral("http://www.kolvani.pl/?a=1")));
    EXPECT_TRUE(IsMakerSiteAddress(QString::fromLatin1(makerSiteAddress)));
    EXPECT_FALSE(IsMakerSiteAddress(QStringLiteral("http://127.0.0.1/?u=kolvani.pl")));
    EXPECT_FALSE(IsMakerSiteAddress(QStringLiteral("http://kolvani.pl.127.0.0.1.nip.io/")));
    EXPECT_FALSE(IsMakerSiteAddress(QStringLiteral("http://notkolvani.pl/")));
    EXPECT_FALSE(IsMakerSiteAddress(QString()));
}

TEST(MakerSiteTest, CredentialsGoOnlyWithTheMakersOwnChannels)
{
    const QString maker = QStringLiteral("https://kolvani.pl/kanaly/premium.xml");
    EXPECT_EQ(WithMakerSiteCredentials(QStringLiteral("https://kolvani.pl/konto"), maker,
                                       QStringLiteral("jan"), QStringLiteral("p&q")),
              QStringLiteral("https://kolvani.pl/konto?UserName=jan&Password=p&q"));
    EXPECT_EQ(WithMakerSiteCredentials(QStringLiteral("https://kolvani.pl/k?id=1"), maker,
                                       QStringLiteral("jan"), QStringLiteral("x")),
              QStringLiteral("https://kolvani.pl/k?id=1&UserName=jan&Password=x"));
    // Already carrying them: the second navigation passes.
    EXPECT_TRUE(
        WithMakerSiteCredentials(QStringLiteral("https://kolvani.pl/k?UserName=a&Password=b"),
                                 maker, QStringLiteral("jan"), QStringLiteral("x"))
            .isNull());
    // Another site's page, or another site's channel: nothing is added.
    EXPECT_TRUE(WithMakerSiteCredentials(QStringLiteral("https://obcy.example/"), maker,
                                         QStringLiteral("jan"), QStringLiteral("x"))
                    .isNull());
    EXPECT_TRUE(WithMakerSiteCredentials(QStringLiteral("https://kolvani.pl/konto"),
                                         QStringLiteral("https://bank.example/rss"),
                                         QStringLiteral("jan"), QStringLiteral("x"))
                    .isNull());
}

} // namespace
