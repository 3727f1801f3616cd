#include "account/TtrssApi.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace {

// tt-rss ties a session to the User-Agent of its login: every call sends the same one.
const QByteArray ApiUserAgent = "Kolvani (Tiny Tiny RSS API)";

QJsonArray arrayOf(const QJsonValue &value)
{
    return value.isArray() ? value.toArray() : QJsonArray();
}

} // namespace

int JsonInt(const QJsonValue &value, int fallback)
{
    if (value.isDouble()) {
        const double d = value.toDouble();
        return d >= -2147483647.0 && d <= 2147483647.0 ? int(d) : fallback;
    }
    if (value.isString()) {
        bool ok = false;
        const int n = value.toString().trimmed().toInt(&ok);
        return ok ? n : fallback;
    }
    if (value.isBool())
        return value.toBool() ? 1 : 0;
    return fallback;
}

QString JsonText(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', 17);
    return QString();
}

TtrssApi::TtrssApi(QObject *parent) : QObject(parent), m_net(new QNetworkAccessManager(this))
{
    m_net->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

TtrssApi::~TtrssApi() = default;

void TtrssApi::setServer(const QString &address)
{
    m_address = address.trimmed();
    QString endpoint = m_address;
    if (!endpoint.endsWith(QLatin1Char('/')))
        endpoint += QLatin1Char('/');
    if (!endpoint.endsWith(QLatin1String("/api/")))
        endpoint += QLatin1String("api/");
    m_endpoint = endpoint;
    m_sid.clear();
}

void TtrssApi::setCredentials(const QString &user, const QString &password)
{
    m_user = user;
    m_password = password;
    m_sid.clear();
}

void TtrssApi::fail(TtrssFailure failure, const QString &message)
{
    m_failure = failure;
    m_message = message;
}

QJsonValue TtrssApi::post(const QJsonObject &body)
{
    m_failure = TtrssFailure::None;
    m_message.clear();
    const QUrl url(m_endpoint);
    if (!url.isValid() || (url.scheme() != QLatin1String("http") &&
                           url.scheme() != QLatin1String("https")) ||
        url.host().isEmpty()) {
        fail(TtrssFailure::Unreachable,
             QStringLiteral("Adres serwera „%1” jest nieprawidłowy (oczekiwano http:// lub https://).")
                 .arg(m_address));
        return QJsonValue(QJsonValue::Undefined);
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    request.setHeader(QNetworkRequest::UserAgentHeader, ApiUserAgent);
    request.setTransferTimeout(m_timeoutMs);

    QPointer<QNetworkReply> reply =
        m_net->post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
    QEventLoop loop;
    bool tooLarge = false;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connect(reply, &QNetworkReply::downloadProgress, &loop, [&](qint64 received, qint64 total) {
        if (received > m_maxAnswerBytes || total > m_maxAnswerBytes) {
            tooLarge = true;
            reply->abort();
        }
    });
    QTimer overall; // the transfer time-out restarts with every byte: a trickle is bounded here
    overall.setSingleShot(true);
    connect(&overall, &QTimer::timeout, reply, &QNetworkReply::abort);
    overall.start(m_timeoutMs * 4);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    const bool timedOut = !overall.isActive();
    overall.stop();

    const QString host = url.host();
    const QByteArray bytes = tooLarge ? QByteArray() : reply->readAll();
    const QNetworkReply::NetworkError error = reply->error();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString errorText = reply->errorString();
    reply->deleteLater();

    if (tooLarge) {
        fail(TtrssFailure::TooLarge,
             QStringLiteral("Odpowiedź serwera %1 jest za duża (ponad %2 MB).")
                 .arg(host)
                 .arg(m_maxAnswerBytes / (1024 * 1024)));
        return QJsonValue(QJsonValue::Undefined);
    }
    if (error != QNetworkReply::NoError && status == 0) {
        const QString why = timedOut || error == QNetworkReply::OperationCanceledError ||
                                    error == QNetworkReply::TimeoutError
                                ? QStringLiteral("serwer nie odpowiada")
                                : errorText;
        fail(TtrssFailure::Unreachable,
             QStringLiteral("Nie można połączyć się z serwerem %1: %2.").arg(host, why));
        return QJsonValue(QJsonValue::Undefined);
    }
    if (status != 200) {
        fail(TtrssFailure::Unreachable,
             QStringLiteral("Serwer %1 odpowiedział błędem HTTP %2 (czy to adres serwera Tiny "
                            "Tiny RSS?).")
                 .arg(host)
                 .arg(status));
        return QJsonValue(QJsonValue::Undefined);
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        // A database that is down answers 200 with an HTML page: the server is not usable now.
        fail(TtrssFailure::NotTtrss,
             QStringLiteral("Serwer %1 nie odpowiada jak serwer Tiny Tiny RSS (odpowiedź nie "
                            "jest w formacie JSON API); może być chwilowo niedostępny.")
                 .arg(host));
        return QJsonValue(QJsonValue::Undefined);
    }
    const QJsonObject answer = doc.object();
    const QJsonValue content = answer.value(QLatin1String("content"));
    if (JsonInt(answer.value(QLatin1String("status")), -1) != 0) {
        const QString code = JsonText(content.toObject().value(QLatin1String("error")));
        if (code == QLatin1String("LOGIN_ERROR"))
            fail(TtrssFailure::LoginError,
                 QStringLiteral("Serwer %1 odrzucił nazwę użytkownika lub hasło.").arg(host));
        else if (code == QLatin1String("API_DISABLED"))
            fail(TtrssFailure::ApiDisabled,
                 QStringLiteral("Konto na serwerze %1 nie ma włączonego dostępu przez API "
                                "(włącz „Enable API access” w ustawieniach Tiny Tiny RSS).")
                     .arg(host));
        else if (code == QLatin1String("NOT_LOGGED_IN"))
            fail(TtrssFailure::NotLoggedIn,
                 QStringLiteral("Sesja na serwerze %1 wygasła.").arg(host));
        else
            fail(TtrssFailure::Refused,
                 QStringLiteral("Serwer %1 odrzucił polecenie: %2.")
                     .arg(host, code.isEmpty() ? QStringLiteral("nieznany błąd") : code.left(200)));
        return QJsonValue(QJsonValue::Undefined);
    }
    if (content.isUndefined() || content.isNull()) {
        fail(TtrssFailure::NotTtrss,
             QStringLiteral("Serwer %1 przysłał odpowiedź bez treści.").arg(host));
        return QJsonValue(QJsonValue::Undefined);
    }
    return content;
}

QJsonValue TtrssApi::call(const QString &op, QJsonObject params)
{
    params.insert(QStringLiteral("op"), op);
    if (!m_sid.isEmpty())
        params.insert(QStringLiteral("sid"), m_sid);
    QJsonValue content = post(params);
    if (m_failure == TtrssFailure::NotLoggedIn && op != QLatin1String("login") && !m_sid.isEmpty()) {
        // The server dropped the session (a restart, a time-out): log in once more.
        m_sid.clear();
        if (!login())
            return QJsonValue(QJsonValue::Undefined);
        params.insert(QStringLiteral("sid"), m_sid);
        content = post(params);
    }
    return content;
}

bool TtrssApi::login()
{
    m_sid.clear();
    QJsonObject params{{QStringLiteral("op"), QStringLiteral("login")},
                       {QStringLiteral("user"), m_user},
                       {QStringLiteral("password"), m_password}};
    const QJsonValue content = post(params);
    if (m_failure != TtrssFailure::None)
        return false;
    const QJsonObject o = content.toObject();
    const QString sid = JsonText(o.value(QLatin1String("session_id")));
    // A session id goes back into every request: anything odd is refused.
    if (sid.isEmpty() || sid.size() > 256 ||
        !std::all_of(sid.begin(), sid.end(), [](QChar c) {
            return c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char(',');
        })) {
        fail(TtrssFailure::NotTtrss,
             QStringLiteral("Serwer %1 nie podał identyfikatora sesji.").arg(QUrl(m_endpoint).host()));
        return false;
    }
    m_sid = sid;
    int level = JsonInt(o.value(QLatin1String("api_level")), -1);
    if (level < 0)
        level = apiLevel();
    if (level < MinApiLevel) {
        m_sid.clear();
        fail(TtrssFailure::OldServer,
             QStringLiteral("Serwer %1 jest za stary: jego API ma poziom %2, a potrzebny jest co "
                            "najmniej %3.")
                 .arg(QUrl(m_endpoint).host())
                 .arg(level < 0 ? QStringLiteral("nieznany") : QString::number(level))
                 .arg(MinApiLevel));
        return false;
    }
    return true;
}

void TtrssApi::logout()
{
    if (m_sid.isEmpty())
        return;
    post(QJsonObject{{QStringLiteral("op"), QStringLiteral("logout")},
                     {QStringLiteral("sid"), m_sid}});
    m_sid.clear();
}

QString TtrssApi::version()
{
    return JsonText(call(QStringLiteral("getVersion")).toObject().value(QLatin1String("version")))
        .left(200);
}

int TtrssApi::apiLevel()
{
    const QJsonValue content = call(QStringLiteral("getApiLevel"));
    return content.isObject() ? JsonInt(content.toObject().value(QLatin1String("level")), -1) : -1;
}

QList<TtrssCategory> TtrssApi::categories(bool *ok)
{
    const QJsonValue content =
        call(QStringLiteral("getCategories"), {{QStringLiteral("include_empty"), true}});
    QList<TtrssCategory> result;
    *ok = m_failure == TtrssFailure::None && content.isArray();
    if (m_failure == TtrssFailure::None && !content.isArray())
        fail(TtrssFailure::NotTtrss, QStringLiteral("Serwer przysłał złą listę kategorii."));
    for (const QJsonValue &v : arrayOf(content)) {
        const QJsonObject o = v.toObject();
        TtrssCategory c;
        c.id = JsonInt(o.value(QLatin1String("id")), INT_MIN);
        c.title = JsonText(o.value(QLatin1String("title"))).left(1000);
        if (c.id != INT_MIN)
            result.append(c);
    }
    return result;
}

QList<TtrssFeed> TtrssApi::feeds(bool *ok)
{
    // -3: every feed of the account, virtual ones left out.
    const QJsonValue content = call(QStringLiteral("getFeeds"), {{QStringLiteral("cat_id"), -3}});
    QList<TtrssFeed> result;
    *ok = m_failure == TtrssFailure::None && content.isArray();
    if (m_failure == TtrssFailure::None && !content.isArray())
        fail(TtrssFailure::NotTtrss, QStringLiteral("Serwer przysłał złą listę kanałów."));
    for (const QJsonValue &v : arrayOf(content)) {
        const QJsonObject o = v.toObject();
        TtrssFeed f;
        f.id = JsonInt(o.value(QLatin1String("id")), 0);
        f.title = JsonText(o.value(QLatin1String("title"))).left(1000);
        f.url = JsonText(o.value(QLatin1String("feed_url"))).left(4000);
        f.categoryId = JsonInt(o.value(QLatin1String("cat_id")), 0);
        if (f.id > 0)
            result.append(f);
    }
    return result;
}

TtrssHeadline TtrssApi::readHeadline(const QJsonObject &o)
{
    TtrssHeadline h;
    h.id = JsonInt(o.value(QLatin1String("id")), 0);
    h.feedId = JsonInt(o.value(QLatin1String("feed_id")), 0);
    h.title = JsonText(o.value(QLatin1String("title")));
    h.link = JsonText(o.value(QLatin1String("link")));
    h.content = JsonText(o.value(QLatin1String("content")));
    h.author = JsonText(o.value(QLatin1String("author")));
    h.updated = JsonInt(o.value(QLatin1String("updated")), 0);
    h.unread = JsonInt(o.value(QLatin1String("unread")), 0) != 0;
    return h;
}

QList<TtrssHeadline> TtrssApi::headlines(int feedId, int sinceId, bool withContent,
                                         bool unreadOnly, int skip, bool *ok)
{
    QJsonObject params{{QStringLiteral("feed_id"), feedId},
                       {QStringLiteral("limit"), HeadlinesPage},
                       {QStringLiteral("skip"), skip},
                       {QStringLiteral("show_content"), withContent},
                       {QStringLiteral("view_mode"), unreadOnly ? QStringLiteral("unread")
                                                                : QStringLiteral("all_articles")}};
    if (sinceId > 0)
        params.insert(QStringLiteral("since_id"), sinceId);
    const QJsonValue content = call(QStringLiteral("getHeadlines"), params);
    QList<TtrssHeadline> result;
    *ok = m_failure == TtrssFailure::None && content.isArray();
    if (m_failure == TtrssFailure::None && !content.isArray())
        fail(TtrssFailure::NotTtrss, QStringLiteral("Serwer przysłał złą listę nagłówków."));
    for (const QJsonValue &v : arrayOf(content)) {
        const TtrssHeadline h = readHeadline(v.toObject());
        if (h.id > 0)
            result.append(h);
    }
    return result;
}

bool TtrssApi::setUnread(const QList<int> &ids, bool unread)
{
    if (ids.isEmpty())
        return true;
    QStringList text;
    for (int id : ids)
        text.append(QString::number(id));
    call(QStringLiteral("updateArticle"), {{QStringLiteral("article_ids"), text.join(QLatin1Char(','))},
                                           {QStringLiteral("mode"), unread ? 1 : 0},
                                           {QStringLiteral("field"), 2}});
    return m_failure == TtrssFailure::None;
}

int TtrssApi::subscribe(const QString &url, int categoryId)
{
    const QJsonValue content =
        call(QStringLiteral("subscribeToFeed"),
             {{QStringLiteral("feed_url"), url}, {QStringLiteral("category_id"), categoryId}});
    if (m_failure != TtrssFailure::None)
        return -1;
    const QJsonObject status = content.toObject().value(QLatin1String("status")).toObject();
    const int code = JsonInt(status.value(QLatin1String("code")), -1);
    const int feedId = JsonInt(status.value(QLatin1String("feed_id")), 0);
    if ((code == 0 || code == 1) && feedId > 0)
        return feedId;
    QString why;
    switch (code) {
    case 2: why = QStringLiteral("zły adres"); break;
    case 3: why = QStringLiteral("pod adresem jest strona bez kanału"); break;
    case 4: why = QStringLiteral("pod adresem jest kilka kanałów"); break;
    case 5: why = QStringLiteral("serwer nie mógł go pobrać"); break;
    default: why = QStringLiteral("nieznany błąd"); break;
    }
    fail(TtrssFailure::Refused,
         QStringLiteral("Serwer nie zaprenumerował kanału %1: %2.").arg(url.left(500), why));
    return -1;
}

bool TtrssApi::unsubscribe(int feedId)
{
    call(QStringLiteral("unsubscribeFeed"), {{QStringLiteral("feed_id"), feedId}});
    return m_failure == TtrssFailure::None;
}

bool TtrssApi::updateFeed(int feedId)
{
    call(QStringLiteral("updateFeed"), {{QStringLiteral("feed_id"), feedId}});
    return m_failure == TtrssFailure::None;
}
