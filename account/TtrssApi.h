#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QString>

class QNetworkAccessManager;

// How a call to the server ended. Only `Ok` carries content.
enum class TtrssFailure {
    None,
    Unreachable,  // no connection, a time-out, an HTTP error status
    NotTtrss,     // an answer that is not the API's JSON (an HTML error page, garbage)
    TooLarge,     // an answer over the client's limit
    LoginError,   // wrong user name or password
    ApiDisabled,  // the account may not use the API
    NotLoggedIn,  // the session ended on the server
    OldServer,    // the server's API level is too low for this client
    Refused,      // the server answered the call with an error of its own
};

struct TtrssCategory
{
    int id = 0;
    QString title;
};

struct TtrssFeed
{
    int id = 0;
    QString title;
    QString url;
    int categoryId = 0;
};

struct TtrssHeadline
{
    int id = 0;
    int feedId = 0;
    QString title;
    QString link;
    QString content; // HTML; empty when asked without content
    QString author;
    qint64 updated = 0; // seconds since the epoch, 0 when unknown
    bool unread = false;
};

// A client of Tiny Tiny RSS's JSON API (api/ under the server's address). Every call blocks
// its caller while a nested event loop serves the thread's events, and is bounded in time.
// Answers are untrusted: a malformed, oversized or oddly typed answer is a failure with a
// Polish message, never a crash; fields of the wrong type read as empty.
class TtrssApi : public QObject
{
    Q_OBJECT
public:
    // The oldest API level whose calls (since_id, subscribeToFeed) this client relies on.
    static constexpr int MinApiLevel = 5;
    static constexpr qint64 DefaultMaxAnswerBytes = 48ll * 1024 * 1024;
    static constexpr int DefaultTimeoutMs = 30000;
    // The server's most headlines per getHeadlines call.
    static constexpr int HeadlinesPage = 200;

    explicit TtrssApi(QObject *parent = nullptr);
    ~TtrssApi() override;

    // The server's address as the user gives it ("https://host/tt-rss/"); "api/" is added
    // unless the address already ends with it.
    void setServer(const QString &address);
    QString endpoint() const { return m_endpoint; }
    void setCredentials(const QString &user, const QString &password);
    void setTimeout(int ms) { m_timeoutMs = ms; }
    void setMaxAnswerBytes(qint64 bytes) { m_maxAnswerBytes = bytes; }

    // Logs in and checks the API level; false with failure() and message() set.
    bool login();
    bool loggedIn() const { return !m_sid.isEmpty(); }
    void logout();

    QString version();
    int apiLevel(); // -1 when it could not be read
    QList<TtrssCategory> categories(bool *ok);
    QList<TtrssFeed> feeds(bool *ok);
    // One page of a feed's headlines, newest first: those after `sinceId` (0 = all), with
    // their HTML when `withContent`, the unread ones alone when `unreadOnly`.
    QList<TtrssHeadline> headlines(int feedId, int sinceId, bool withContent, bool unreadOnly,
                                   int skip, bool *ok);
    // Marks articles read (unread false) or unread.
    bool setUnread(const QList<int> &ids, bool unread);
    // The new feed's id on success (also when it was subscribed already), else -1.
    int subscribe(const QString &url, int categoryId);
    bool unsubscribe(int feedId);
    // The server fetches the feed now, within the call (a new subscription has no items yet).
    bool updateFeed(int feedId);

    TtrssFailure failure() const { return m_failure; }
    // What went wrong, in Polish, for the report window; empty after a call that succeeded.
    QString message() const { return m_message; }

    // One call of `op` with the session id added; content on success, else an undefined
    // value with failure() and message() set.
    QJsonValue call(const QString &op, QJsonObject params = QJsonObject());

private:
    QJsonValue post(const QJsonObject &body);
    void fail(TtrssFailure failure, const QString &message);
    static TtrssHeadline readHeadline(const QJsonObject &o);

    QNetworkAccessManager *m_net;
    QString m_address;
    QString m_endpoint;
    QString m_user;
    QString m_password;
    QString m_sid;
    int m_timeoutMs = DefaultTimeoutMs;
    qint64 m_maxAnswerBytes = DefaultMaxAnswerBytes;
    TtrssFailure m_failure = TtrssFailure::None;
    QString m_message;
};

// A JSON number, a numeric string or a boolean as a number; `fallback` for anything else.
int JsonInt(const QJsonValue &value, int fallback = 0);
// A JSON string, or a number as text; empty for anything else.
QString JsonText(const QJsonValue &value);
