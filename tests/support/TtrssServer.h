#pragma once

#include "LoopbackServer.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A real Tiny Tiny RSS server for the tests of one test program: PostgreSQL in a temporary
// folder on a private socket and tt-rss under "php -S" on 127.0.0.1, started by
// scripts/ttrss-test-server.sh. Feeds it subscribes to are served by a loopback server of
// the test through tt-rss's proxy setting, at http://[::1]/<path> (tt-rss refuses loopback
// addresses otherwise).
class TtrssServer
{
public:
    // The one server of this test program, started by TtrssEnvironment; null when the
    // packages are not installed (skipReason() says so) or the start failed.
    static TtrssServer *instance();
    static QString skipReason();

    TtrssServer() = default;
    ~TtrssServer();

    // Runs the start script; false with error() on failure. Also restarts what is down.
    bool start();
    void stop();
    QString error() const { return m_error; }
    qint64 startMs() const { return m_startMs; }

    // The server's address as a user gives it (ending in "/", without "api/").
    QString address() const;
    QString api() const { return m_values.value(QStringLiteral("TTRSS_API")); }

    // A new user with API access and its password; tests are kept apart by user.
    QString addUser(const QString &password = QStringLiteral("secret"));
    // Runs SQL on tt-rss's database; its output (unaligned, tuples only) or a null string
    // on failure.
    QString sql(const QString &statement);

    // The feeds tt-rss fetches: `path` is answered with `body` as RSS.
    void setFeed(const QString &path, const QByteArray &body);
    void removeFeed(const QString &path);
    static QString feedUrl(const QString &path) { return QStringLiteral("http://[::1]/") + path; }
    int feedRequests(const QString &path) const;

    // "php -S" paused (requests time out) or going on again.
    void pauseWeb(bool paused);
    // The database down or up again (the API then answers with an HTML error page).
    void stopDatabase();

private:
    bool runScript(const QStringList &args, QByteArray *out);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
    QHash<QString, QString> m_values;
    QString m_error;
    qint64 m_startMs = 0;
    int m_users = 0;
    LoopbackServer m_feeds;
    mutable QMutex m_mutex;
    QHash<QString, QByteArray> m_feedBodies;
    QHash<QString, int> m_feedCounts;
};

// Skips the test unless the server of this program runs.
#define REQUIRE_TTRSS()                                                                    \
    do {                                                                                   \
        if (!TtrssServer::instance())                                                     \
            GTEST_SKIP() << TtrssServer::skipReason().toStdString();                      \
    } while (0)

// Registers the one server of a test program (call from a test file at namespace scope
// via TTRSS_ENVIRONMENT()).
bool RegisterTtrssEnvironment();
#define TTRSS_ENVIRONMENT() static const bool kvTtrssEnvironment = RegisterTtrssEnvironment()
