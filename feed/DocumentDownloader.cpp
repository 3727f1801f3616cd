#include "feed/DocumentDownloader.h"

#include "feed/HttpClient.h"
#include "feed/RetryAfter.h"
#include "base/FileReplace.h"
#include "feed/ReportSink.h"

#include <QCoreApplication>
#include <QSslCertificate>
#include <QStringDecoder>

namespace {

// The port text of the settings dialog as a whole number (surrounding blanks allowed).
bool parsePort(const QString &text, quint16 &port)
{
    bool valid = false;
    const int value = text.trimmed().toInt(&valid, 10);
    if (!valid || value < 1 || value > 65535)
        return false;
    port = quint16(value);
    return true;
}

QString statusLineText(const QByteArray &line)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(line);
    return decoder.hasError() ? QString::fromLatin1(line) : text;
}

// The cause of a failed request as the user is told it.
QString failureText(const HttpResult &response)
{
    using Error = HttpResult::Error;
    switch (response.error) {
    case Error::None:
    case Error::Cancelled:
        return {};
    case Error::BadAddress:
        return QStringLiteral("niepoprawny adres");
    case Error::HostNotFound:
        return QStringLiteral("nie znaleziono serwera");
    case Error::ConnectFailed:
        return QStringLiteral("serwer nie przyjmuje połączeń lub nie odpowiada");
    case Error::ReadTimeout:
        return QStringLiteral("zbyt długi czas oczekiwania na odpowiedź");
    case Error::ConnectionClosed:
        return QStringLiteral("serwer zamknął połączenie");
    case Error::LineTooLong:
    case Error::ProtocolError:
        return QStringLiteral("niepoprawna odpowiedź serwera");
    case Error::StatusError:
        return QStringLiteral("serwer odpowiedział: ") + statusLineText(response.statusLine)
                                                              .section(QLatin1Char(' '), 1);
    case Error::CertificateError:
        return QStringLiteral("błąd certyfikatu serwera: ") + response.detail;
    case Error::TlsError:
        return QStringLiteral("błąd połączenia szyfrowanego: ") + response.detail;
    case Error::ProxyError:
        return QStringLiteral("serwer proxy odmówił połączenia");
    case Error::TooLarge:
        return response.contentEncoding.isEmpty()
                   ? QStringLiteral("zbyt duży dokument")
                   : QStringLiteral("zbyt duży dokument po rozpakowaniu");
    case Error::Damaged:
        return QStringLiteral("uszkodzona skompresowana odpowiedź serwera");
    }
    return {};
}

} // namespace

DocumentDownloader::DocumentDownloader(QObject *parent)
    : QObject(parent), m_client(new HttpClient(this))
{
    m_client->setProtectedAddress(QString::fromLatin1(makerSiteAddress));
    m_client->setMaxBodyBytes(MaxDocumentBytes);

    connect(m_client, &HttpClient::status, this, [this](const QString &text) {
        if (m_ui)
            m_ui->setStatusText(text);
    });
    connect(m_client, &HttpClient::workBegin, this, [this](qint64 expectedBytes) {
        m_progressMaximum = qMax<qint64>(1, expectedBytes);
        if (m_ui)
            m_ui->progressBegin(m_progressMaximum);
    });
    connect(m_client, &HttpClient::work, this, [this](qint64 bytesSoFar) {
        if (m_ui)
            m_ui->progressWork(qBound<qint64>(0, bytesSoFar, m_progressMaximum));
    });
    connect(m_client, &HttpClient::workEnd, this, [this] {
        if (m_ui)
            m_ui->progressEnd();
    });
}

DocumentDownloader::~DocumentDownloader() = default;

void DocumentDownloader::setProxyProvider(std::function<ProxySettings()> provider)
{
    m_proxyProvider = std::move(provider);
}

void DocumentDownloader::setMaxDocumentBytes(qint64 bytes)
{
    m_client->setMaxBodyBytes(bytes);
}

void DocumentDownloader::addTrustedCertificate(const QSslCertificate &certificate)
{
    m_client->addTrustedCertificate(certificate);
}

void DocumentDownloader::startAfresh()
{
    if (m_busy)
        return;
    m_client->setContentType(QString::fromLatin1(HttpClient::DefaultContentType));
    m_client->clearCookies();
}

void DocumentDownloader::cancel()
{
    if (m_busy)
        m_client->cancel();
}

int DocumentDownloader::DownloadDocument(const QString &address, const QString &targetFile,
                                         IDownloadUi *ui, const QString &user,
                                         const QString &password)
{
    return FetchChannel(address, targetFile, ui, user, password, HttpValidators()).result;
}

ChannelFetch DocumentDownloader::FetchChannel(const QString &address, const QString &targetFile,
                                              IDownloadUi *ui, const QString &user,
                                              const QString &password,
                                              const HttpValidators &conditions)
{
    ChannelFetch fetch;
    // Events keep being served during a download, so a timer or a click can get here again.
    if (m_busy || m_client->inProgress())
        return fetch;
    m_busy = true;
    m_ui = ui;
    QCoreApplication::processEvents();

    try {
        download(address, targetFile, user, password, conditions, fetch);
    } catch (...) {
        fetch = ChannelFetch();
    }

    m_client->clearCredentials();
    if (m_ui)
        m_ui->setStatusText(QStringLiteral("Gotowe."));
    m_ui = nullptr;
    m_busy = false;
    return fetch;
}

void DocumentDownloader::download(const QString &address, const QString &targetFile,
                                  const QString &user, const QString &password,
                                  const HttpValidators &conditions, ChannelFetch &fetch)
{
    if (!user.isEmpty() &&
        !address.contains(QString::fromLatin1(makerSiteAddress), Qt::CaseInsensitive)) {
        // From the first download with credentials on, requests carry no Content-Type.
        m_client->resetRequestDefaults();
        m_client->setCredentials(user, password);
        m_client->setBasicAuthentication(true);
    }

    const ProxySettings proxy = m_proxyProvider ? m_proxyProvider() : ProxySettings();
    if (proxy.enabled) {
        HttpProxy settings;
        if (!parsePort(proxy.port, settings.port)) {
            fetch.problem = QStringLiteral("niepoprawny port serwera proxy");
            return;
        }
        settings.host = proxy.server.trimmed();
        settings.user = proxy.user;
        settings.password = proxy.password;
        m_client->setProxy(settings);
    } else {
        m_client->clearProxy();
    }

    if (m_ui)
        m_ui->setStatusText(QStringLiteral("Pobieranie dokumentu ") + address);

    const HttpResult response = m_client->get(address, conditions);
    fetch.problem = failureText(response);
    switch (response.error) {
    case HttpResult::Error::None:
        break;
    case HttpResult::Error::ReadTimeout:
        report(QStringLiteral("Zbyt długi czas oczekiwania (") + address + QLatin1Char(')'));
        return;
    case HttpResult::Error::StatusError:
        if (response.statusCode == 401)
            report(QStringLiteral("Wymagana autoryzacja (") + statusLineText(response.statusLine) +
                   QLatin1Char(')'));
        else if (response.statusCode == 404)
            report(QStringLiteral("Niepoprawny adres URL (") + address + QLatin1Char(')'));
        else if (!response.retryAfter.isEmpty())
            reportRetryAfter(address, response, fetch);
        return;
    case HttpResult::Error::CertificateError:
        report(QStringLiteral("Błąd certyfikatu serwera ") + response.host + QStringLiteral(" (") +
               response.detail + QLatin1Char(')'));
        return;
    case HttpResult::Error::TooLarge:
        // A small compressed body that unpacks beyond the limit is refused the same way.
        report((response.contentEncoding.isEmpty()
                    ? QStringLiteral("Zbyt duży dokument (")
                    : QStringLiteral("Zbyt duży dokument po rozpakowaniu (")) +
               address + QLatin1Char(')'));
        return;
    case HttpResult::Error::Damaged:
        report(QStringLiteral("Uszkodzona skompresowana odpowiedź serwera (") + address +
               QLatin1Char(')'));
        return;
    default:
        return;
    }

    fetch.finalAddress = response.finalAddress;
    if (response.notModified) {
        fetch.notModified = true;
        fetch.validators = response.validators;
        fetch.result = 0;
        return;
    }

    try {
        // UTF-16 text is full of NUL bytes: the text rules would cut it to nothing.
        if (response.body.startsWith("\xFF\xFE") || response.body.startsWith("\xFE\xFF"))
            WriteFileAtomically(targetFile, response.body, Durability::Unsynced);
        else
            SaveTextToFile(targetFile, response.body, Durability::Unsynced);
    } catch (const FileError &) {
        fetch.writeFailed = true;
        fetch.problem = QStringLiteral("nie można zapisać pobranego dokumentu");
        return;
    }
    fetch.validators = response.validators;
    fetch.result = 0;
}

void DocumentDownloader::reportRetryAfter(const QString &address, const HttpResult &response,
                                          ChannelFetch &fetch)
{
    const QDateTime now = QDateTime::currentDateTime();
    fetch.retryNotBefore = RetryAfterTime(response.retryAfter, now);
    if (!fetch.retryNotBefore.isValid())
        return;
    report(QStringLiteral("Serwer prosi o przerwę do ") +
           fetch.retryNotBefore.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
           QStringLiteral(" (") + QString::number(response.statusCode) + QStringLiteral(", ") +
           address + QLatin1Char(')'));
}

void DocumentDownloader::report(const QString &line)
{
    if (m_reportSink)
        m_reportSink->ReportProblem(line);
}
