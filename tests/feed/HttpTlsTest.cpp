// "https" downloads: certificate verification, a trusted test certificate, redirects
// between http and https, and CONNECT tunnels through a proxy.

#include "support/DownloadFixture.h"

#include <QFile>
#include <QProcess>
#include <QSslSocket>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

struct TestCertificate
{
    QSslCertificate certificate;
    QSslKey key;
};

// A fresh self-signed certificate for `names` (subjectAltName entries such as "IP:127.0.0.1").
bool makeCertificate(const QString &folder, const QString &commonName, const QString &names,
                     TestCertificate &out)
{
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty())
        return false;
    const QString keyPath = folder + QLatin1Char('/') + commonName + QStringLiteral(".key");
    const QString certPath = folder + QLatin1Char('/') + commonName + QStringLiteral(".pem");
    QProcess process;
    process.start(openssl,
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                   QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=") + commonName, QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=") + names, QStringLiteral("-keyout"), keyPath,
                   QStringLiteral("-out"), certPath});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return false;
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(certPath);
    QFile keyFile(keyPath);
    if (certificates.isEmpty() || !keyFile.open(QIODevice::ReadOnly))
        return false;
    out.certificate = certificates.first();
    out.key = QSslKey(keyFile.readAll(), QSsl::Ec, QSsl::Pem);
    return !out.key.isNull();
}

class HttpTlsTest : public DownloadFixture
{
protected:
    void SetUp() override
    {
        DownloadFixture::SetUp();
        if (HasFatalFailure())
            return;
        if (!QSslSocket::supportsSsl())
            GTEST_SKIP() << "no TLS backend";
        if (!makeCertificate(dir.path(), QStringLiteral("127.0.0.1"),
                             QStringLiteral("IP:127.0.0.1,DNS:localhost"), local))
            GTEST_SKIP() << "openssl could not make a test certificate";
        tlsServer.setTls(local.certificate, local.key);
        ASSERT_TRUE(tlsServer.start());
    }

    QString secureUrl(const QString &path) const
    {
        return QStringLiteral("https://127.0.0.1:%1%2").arg(tlsServer.port()).arg(path);
    }

    TestCertificate local;
    LoopbackServer tlsServer; // `server` serves in clear
};

TEST_F(HttpTlsTest, UntrustedCertificateIsRefusedWithALineAndTheOldFileStays)
{
    writeWholeFile(target(), "old");
    tlsServer.enqueue(LoopbackReply::http("200 OK", "secret document"));
    EXPECT_EQ(download(secureUrl(QStringLiteral("/feed.xml")), QStringLiteral("user"),
                       QStringLiteral("secret")),
              -1);
    EXPECT_EQ(joined(sink.lines),
              "Błąd certyfikatu serwera 127.0.0.1 (certyfikat podpisany samodzielnie, niezaufany)");
    EXPECT_EQ(readWholeFile(target()), std::string("old"));
    EXPECT_EQ(tlsServer.requestCount(), 0); // nothing, credentials least of all, was sent
    EXPECT_EQ(ui.lastStatus(), QStringLiteral("Gotowe."));
}

TEST_F(HttpTlsTest, TrustedCertificateIsAccepted)
{
    downloader.addTrustedCertificate(local.certificate);
    tlsServer.enqueue(LoopbackReply::http("200 OK", "secure\ndocument"));
    tlsServer.enqueue(LoopbackReply::http("200 OK", "again"));
    ASSERT_EQ(download(secureUrl(QStringLiteral("/feed.xml")), QStringLiteral("user"),
                       QStringLiteral("secret")),
              0);
    EXPECT_EQ(readWholeFile(target()), std::string("secure\r\ndocument\r\n"));
    const QByteArray host = "127.0.0.1:" + QByteArray::number(tlsServer.port());
    EXPECT_EQ(tlsServer.requests().at(0).raw.toStdString(),
              expectedHead("/feed.xml", host, "Authorization: Basic dXNlcjpzZWNyZXQ=\r\n"));
    EXPECT_TRUE(sink.lines.isEmpty());

    // The encrypted connection is kept for the next request too.
    ASSERT_EQ(download(QStringLiteral("https://localhost:%1/b").arg(tlsServer.port())), 0);
    tlsServer.enqueue(LoopbackReply::http("200 OK", "third"));
    ASSERT_EQ(download(QStringLiteral("https://localhost:%1/c").arg(tlsServer.port())), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("third\r\n"));
    EXPECT_EQ(tlsServer.connectionCount(), 2); // the host name changed once
}

TEST_F(HttpTlsTest, CertificateForAnotherNameIsRefused)
{
    TestCertificate other;
    ASSERT_TRUE(makeCertificate(dir.path(), QStringLiteral("other.test"),
                                QStringLiteral("DNS:other.test"), other));
    LoopbackServer impostor;
    impostor.setTls(other.certificate, other.key);
    ASSERT_TRUE(impostor.start());
    downloader.addTrustedCertificate(other.certificate);
    impostor.enqueue(LoopbackReply::http("200 OK", "x"));
    EXPECT_EQ(download(QStringLiteral("https://127.0.0.1:%1/").arg(impostor.port())), -1);
    EXPECT_EQ(joined(sink.lines),
              "Błąd certyfikatu serwera 127.0.0.1 (certyfikat wystawiono dla innej nazwy)");
}

TEST_F(HttpTlsTest, RedirectsCrossBetweenHttpAndHttps)
{
    downloader.addTrustedCertificate(local.certificate);
    server.enqueue(LoopbackReply::http(
        "302 Found", QByteArray(),
        "Location: " + secureUrl(QStringLiteral("/moved")).toLatin1() + "\r\n"));
    tlsServer.enqueue(LoopbackReply::http("200 OK", "over tls"));
    ASSERT_EQ(download(server.url(QStringLiteral("/start"))), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("over tls\r\n"));

    tlsServer.enqueue(LoopbackReply::http(
        "301 Moved", QByteArray(),
        "Location: " + server.url(QStringLiteral("/plain")).toLatin1() + "\r\n"));
    server.enqueue(LoopbackReply::http("200 OK", "in clear"));
    ASSERT_EQ(download(secureUrl(QStringLiteral("/down")), QStringLiteral("user"),
                       QStringLiteral("secret")),
              0);
    EXPECT_EQ(readWholeFile(target()), std::string("in clear\r\n"));
    // The password went over TLS only; the plain-text hop got none.
    EXPECT_TRUE(tlsServer.requests().last().raw.contains("Authorization: Basic"));
    EXPECT_FALSE(server.requests().last().raw.contains("Authorization"));
}

// Cookies are kept by host, not by port or scheme: one marked Secure must still never travel
// in clear, neither on the redirect's plain hop nor to a later plain address of that host.
TEST_F(HttpTlsTest, SecureCookiesAreNeverSentOverPlainHttp)
{
    downloader.addTrustedCertificate(local.certificate);
    tlsServer.enqueue(LoopbackReply::http(
        "302 Found", QByteArray(),
        "Set-Cookie: session=tls-only; Secure; Path=/\r\n"
        "Set-Cookie: theme=plain; Path=/\r\n"
        "Location: " + server.url(QStringLiteral("/plain")).toLatin1() + "\r\n"));
    server.enqueue(LoopbackReply::http("200 OK", "in clear"));
    ASSERT_EQ(download(secureUrl(QStringLiteral("/login"))), 0);
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_TRUE(server.requests().last().raw.contains("Cookie: theme=plain\r\n"))
        << server.requests().last().raw.constData();
    EXPECT_FALSE(server.requests().last().raw.contains("tls-only"));

    server.enqueue(LoopbackReply::http("200 OK", "later"));
    ASSERT_EQ(download(server.url(QStringLiteral("/later"))), 0);
    EXPECT_FALSE(server.requests().last().raw.contains("tls-only"));
    EXPECT_TRUE(server.requests().last().raw.contains("theme=plain"));

    // Over TLS it goes back.
    tlsServer.enqueue(LoopbackReply::http("200 OK", "secure"));
    ASSERT_EQ(download(secureUrl(QStringLiteral("/again"))), 0);
    EXPECT_TRUE(tlsServer.requests().last().raw.contains("session=tls-only"));
}

TEST_F(HttpTlsTest, HttpsThroughAProxyUsesATunnel)
{
    LoopbackServer proxyServer;
    proxyServer.setTunnelTls(local.certificate, local.key);
    ASSERT_TRUE(proxyServer.start());
    LoopbackReply established = LoopbackReply::raw("HTTP/1.1 200 Connection established\r\n\r\n");
    established.startTls = true;
    proxyServer.enqueue(established);
    proxyServer.enqueue(LoopbackReply::http("200 OK", "tunnelled"));
    proxyServer.enqueue(LoopbackReply::http("200 OK", "second"));

    downloader.addTrustedCertificate(local.certificate);
    useProxy(proxyServer, QStringLiteral("pu"), QStringLiteral("pp"));

    ASSERT_EQ(download(QStringLiteral("https://127.0.0.1/secure.xml"), QStringLiteral("user"),
                       QStringLiteral("secret")),
              0);
    EXPECT_EQ(readWholeFile(target()), std::string("tunnelled\r\n"));
    ASSERT_EQ(download(QStringLiteral("https://127.0.0.1/again.xml")), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("second\r\n"));

    const QList<LoopbackRequest> requests = proxyServer.requests();
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests.at(0).raw.toStdString(),
              std::string("CONNECT 127.0.0.1:443 HTTP/1.1\r\n"
                          "Host: 127.0.0.1:443\r\n"
                          "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
                          "Proxy-Authorization: Basic cHU6cHA=\r\n\r\n"));
    // Inside the tunnel the request is the one for the server itself.
    EXPECT_EQ(
        requests.at(1).raw.toStdString(),
        expectedHead("/secure.xml", "127.0.0.1", "Authorization: Basic dXNlcjpzZWNyZXQ=\r\n"));
    EXPECT_EQ(requests.at(2).raw.toStdString(), expectedHead("/again.xml", "127.0.0.1"));
    EXPECT_EQ(proxyServer.connectionCount(), 1);
}

TEST_F(HttpTlsTest, ProxyRefusingTheTunnelFailsWithoutALine)
{
    LoopbackServer proxyServer;
    ASSERT_TRUE(proxyServer.start());
    proxyServer.enqueue(LoopbackReply::http("407 Proxy Authentication Required", "no"));
    useProxy(proxyServer);
    writeWholeFile(target(), "old");
    EXPECT_EQ(download(QStringLiteral("https://feeds.example.test/x")), -1);
    EXPECT_EQ(proxyServer.requestCount(), 1);
    EXPECT_TRUE(sink.lines.isEmpty());
    EXPECT_EQ(readWholeFile(target()), std::string("old"));
}

} // namespace
