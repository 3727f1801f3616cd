#include "kit/WebBrowser.h"

#include "kit/ContentGuard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <QUrlQuery>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

#include <memory>

namespace {

// A local document shown twice in a row, for another item, differs from the last one only
// in its fragment; the engine would merely scroll. This query item makes every display a
// new load. It never reaches the handlers or the callers.
const QString ViewQueryItem = QStringLiteral("kvview");

QUrl withoutViewQuery(QUrl url)
{
    if (!url.hasQuery())
        return url;
    QUrlQuery query(url);
    if (!query.hasQueryItem(ViewQueryItem))
        return url;
    query.removeAllQueryItems(ViewQueryItem);
    if (query.isEmpty())
        url.setQuery(QString());
    else
        url.setQuery(query);
    return url;
}

// Local addresses are given back readable, as the program built them ("{" stays "{").
QString addressText(const QUrl &url)
{
    const QUrl clean = withoutViewQuery(url);
    if (!clean.isLocalFile())
        return clean.toString();
    QString text = QStringLiteral("file://") + clean.path(QUrl::FullyDecoded);
    if (clean.hasQuery())
        text += QLatin1Char('?') + clean.query(QUrl::FullyDecoded);
    if (clean.hasFragment())
        text += QLatin1Char('#') + clean.fragment(QUrl::FullyDecoded);
    return text;
}

} // namespace

WebPage::WebPage(QWebEngineProfile *profile, QObject *parent) : QWebEnginePage(profile, parent)
{
    QWebEngineSettings *s = settings();
    // A channel file must reach its style sheet beside it and the pictures of its items on
    // the web; LocalContentGuard allows exactly that and nothing more.
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    s->setAttribute(QWebEngineSettings::AllowRunningInsecureContent, false);
    s->setAttribute(QWebEngineSettings::AllowGeolocationOnInsecureOrigins, false);
    s->setAttribute(QWebEngineSettings::XSSAuditingEnabled, true);
    // A film or a sound of an item starts when the reader starts it.
    s->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, true);

    // Links meant for a new window open here, like every other link of an item, and only
    // where a link may lead: loaded from here they would pass the engine's own block, so a
    // data: or file: address would become a page of its own, outside the content policy.
    connect(this, &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest &request) {
                const QUrl url = request.requestedUrl();
                if (!isLinkTarget(url))
                    return;
                QTimer::singleShot(0, this, [this, url] { load(url); });
            });
}

bool WebPage::isLinkTarget(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("mailto"))
        return true;
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !url.host().isEmpty();
}

bool WebPage::scriptsAllowedFor(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

void WebPage::applySettingsFor(const QUrl &url)
{
    settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, scriptsAllowedFor(url));
    if (m_guard)
        m_guard->setDocument(url);
}

bool WebPage::confirmNavigation(QUrl &url)
{
    if (!m_beforeNavigate)
        return true;
    const QString original = addressText(url);
    QString address = original;
    bool cancel = false;
    m_beforeNavigate(address, cancel);
    if (cancel)
        return false;
    if (address != original) {
        url = WebBrowser::addressToUrl(address);
        if (!url.isValid())
            return false;
        approveOnce(url);
    }
    return true;
}

namespace {

QByteArray contentKey(const QUrl &dataUrl)
{
    return QCryptographicHash::hash(dataUrl.toEncoded(), QCryptographicHash::Sha1);
}

// The engine refuses addresses longer than this; a page goes over as a data: address.
constexpr qsizetype MaxContentAddress = 2 * 1024 * 1024 - 256;

} // namespace

void WebPage::showContent(const QByteArray &html, const QUrl &url)
{
    m_approved.clear();
    m_contentPending = true;
    m_contentAddress = url;
    if (m_guard)
        m_guard->startShowing(url);
    applySettingsFor(url);
    setContent(html, QStringLiteral("text/html;charset=UTF-8"), url);
}

bool WebPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    // Pages the program made arrive as data: addresses: the one just handed over, or one
    // of them again from the history. No other data: page is opened.
    if (isMainFrame && url.scheme() == QLatin1String("data")) {
        if (type == NavigationTypeTyped && m_contentPending) {
            m_contentPending = false;
            const QByteArray key = contentKey(url);
            if (!m_contentAddresses.contains(key)) {
                m_contentOrder.append(key);
                if (m_contentOrder.size() > 50)
                    m_contentAddresses.remove(m_contentOrder.takeFirst());
            }
            m_contentAddresses.insert(key, m_contentAddress);
            return true;
        }
        if (type == NavigationTypeBackForward || type == NavigationTypeReload) {
            QUrl address = m_contentAddresses.value(contentKey(url));
            if (address.isEmpty())
                return false;
            if (type == NavigationTypeBackForward) {
                const QUrl original = address;
                if (!confirmNavigation(address) || address != original)
                    return false;
            }
            applySettingsFor(address);
            return true;
        }
        return false;
    }
    // Local documents hold items from the web: nothing in them may send a form anywhere.
    if (type == NavigationTypeFormSubmitted && this->url().isLocalFile())
        return false;
    if (!isMainFrame) {
        // Frames inside a local document are not given a way into the file system.
        return url.scheme() != QLatin1String("file") || !this->url().isLocalFile();
    }
    // A reload shows the same document again; it is not a new navigation.
    if (type == NavigationTypeReload) {
        applySettingsFor(url);
        return true;
    }
    if (!m_approved.isEmpty() && url == m_approved) {
        m_approved.clear();
        applySettingsFor(url);
        return true;
    }
    m_approved.clear();

    QUrl changed = url;
    if (!confirmNavigation(changed))
        return false;
    // The watch sees every navigation, but a link in an item leads to the web or to a mail
    // program and nowhere else: the engine would hand any other scheme to the desktop.
    if (type == NavigationTypeLinkClicked && this->url().isLocalFile() && !isLinkTarget(changed))
        return false;
    if (changed != url) {
        // The handler chose another address: go there instead, without asking again.
        QPointer<WebPage> self(this);
        QTimer::singleShot(0, this, [self, changed] {
            if (!self)
                return;
            self->approveOnce(changed);
            self->applySettingsFor(changed);
            self->load(changed);
        });
        return false;
    }
    applySettingsFor(url);
    return true;
}

WebBrowser::WebBrowser(QWidget *parent) : QWebEngineView(parent)
{
    // The user's choices reach the guard before the engine starts.
    m_guard = new ContentGuard(this);
    // Queued: the guard tells from inside the engine's request handling.
    connect(m_guard, &ContentGuard::remoteContentBlockedChanged, this,
            &WebBrowser::remoteContentBlockedChanged, Qt::QueuedConnection);
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(this, &QWebEngineView::printRequested, this, &WebBrowser::PrintPage);
}

void WebBrowser::showEvent(QShowEvent *event)
{
    // Shown without a page, the view would start the engine for an empty page of its own.
    if (!m_page) {
        QWidget::showEvent(event);
        return;
    }
    QWebEngineView::showEvent(event);
}

WebPage *WebBrowser::webPage()
{
    ensurePage();
    return m_page;
}

// The engine starts with its first profile: that waits for the first page the window shows,
// so that the window appears without it.
void WebBrowser::ensurePage()
{
    if (m_page)
        return;
    // Off the record: no disk cache, no cookies or history kept between runs.
    m_profile = new QWebEngineProfile(this);
    m_profile->setHttpCacheType(QWebEngineProfile::NoCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_profile->setUrlRequestInterceptor(m_guard);
    m_page = new WebPage(m_profile, this);
    m_page->setBeforeNavigateHandler(std::move(m_beforeNavigate));
    m_page->setContentGuard(m_guard);
    setPage(m_page);
    if (m_background.isValid())
        m_page->setBackgroundColor(m_background);
    applyZoom();
    // The engine lets a muted film start by itself; in an item nothing plays until the reader
    // starts it. Item pages are local files or the program's own data: pages; the program's
    // own world sees their elements whatever their settings, and leaves web pages reached by
    // a link as they are.
    QWebEngineScript noAutoplay;
    noAutoplay.setName(QStringLiteral("kolvani-no-autoplay"));
    noAutoplay.setWorldId(QWebEngineScript::ApplicationWorld);
    noAutoplay.setInjectionPoint(QWebEngineScript::DocumentCreation);
    noAutoplay.setRunsOnSubFrames(true);
    noAutoplay.setSourceCode(QStringLiteral(
        "if (location.protocol === 'file:' || location.protocol === 'about:' ||"
        "    location.protocol === 'data:') {"
        " new MutationObserver(function () {"
        "  document.querySelectorAll('[autoplay]').forEach(function (e) {"
        "   e.removeAttribute('autoplay'); });"
        " }).observe(document, {childList: true, subtree: true, attributes: true,"
        "  attributeFilter: ['autoplay']});"
        " document.addEventListener('play', function (e) {"
        "  var a = navigator.userActivation; if (!a || !a.isActive) e.target.pause(); }, true);"
        "}"));
    m_page->scripts().insert(noAutoplay);

    connect(m_page, &QWebEnginePage::loadProgress, this,
            [this](int progress) { emit ProgressChange(progress, 100); });
    connect(m_page, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo &info) {
                switch (info.status()) {
                case QWebEngineLoadingInfo::LoadStartedStatus:
                    applyZoom();
                    emit ProgressChange(0, 100);
                    break;
                case QWebEngineLoadingInfo::LoadStoppedStatus:
                    // A navigation that was cancelled or replaced completes nothing.
                    emit ProgressChange(0, 0);
                    break;
                case QWebEngineLoadingInfo::LoadSucceededStatus:
                case QWebEngineLoadingInfo::LoadFailedStatus:
                    applyZoom();
                    emit ProgressChange(0, 0);
                    emit DocumentComplete(addressText(info.url()));
                    break;
                }
            });
    connect(m_page, &QWebEnginePage::linkHovered, this,
            [this](const QString &url) { emit StatusTextChange(addressText(QUrl(url))); });
}

void WebBrowser::setZoom(qreal factor)
{
    m_zoom = factor;
    applyZoom();
}

void WebBrowser::applyZoom()
{
    if (m_page && !qFuzzyCompare(m_page->zoomFactor(), m_zoom))
        m_page->setZoomFactor(m_zoom);
}

void WebBrowser::setPageBackground(const QColor &colour)
{
    m_background = colour;
    if (m_page)
        m_page->setBackgroundColor(colour);
}

WebBrowser::~WebBrowser()
{
    // The page must go before its profile.
    if (!m_page)
        return;
    setPage(nullptr);
    delete m_page;
    m_page = nullptr;
    // The profile goes before the guard it asks.
    delete m_profile;
    m_profile = nullptr;
}

QUrl WebBrowser::addressToUrl(const QString &address)
{
    if (address.startsWith(QLatin1Char('/'))) {
        const int hash = address.indexOf(QLatin1Char('#'));
        QUrl url = QUrl::fromLocalFile(hash < 0 ? address : address.left(hash));
        if (hash >= 0)
            url.setFragment(address.mid(hash + 1), QUrl::TolerantMode);
        return url;
    }
    QUrl url(address, QUrl::TolerantMode);
    if (url.scheme().isEmpty())
        return QUrl();
    return url;
}

void WebBrowser::setBeforeNavigate2(WebPage::BeforeNavigateHandler handler)
{
    if (m_page)
        m_page->setBeforeNavigateHandler(std::move(handler));
    else
        m_beforeNavigate = std::move(handler);
}

bool WebBrowser::Navigate(const QString &address)
{
    QUrl url = addressToUrl(address);
    if (!url.isValid() || url.isEmpty())
        return false;
    loadUrl(url);
    return true;
}

bool WebBrowser::ShowPage(const QString &address, const QByteArray &html)
{
    QUrl url = addressToUrl(address);
    if (!url.isLocalFile() || html.toPercentEncoding().size() > MaxContentAddress)
        return false;
    ensurePage();
    const QUrl original = url;
    if (!m_page->confirmNavigation(url))
        return true;
    if (url != original) {
        loadUrl(url);
        return true;
    }
    m_page->showContent(html, url);
    return true;
}

void WebBrowser::loadUrl(QUrl url)
{
    ensurePage();
    if (url.scheme() == QLatin1String("about")) {
        // The engine opens empty pages without asking; the watch sees them all the same.
        if (!m_page->confirmNavigation(url))
            return;
        if (url.scheme() == QLatin1String("about")) {
            m_guard->setDocument(url);
            m_page->load(url);
            return;
        }
    }
    if (!url.isLocalFile()) {
        m_page->load(url);
        return;
    }
    static quint64 counter = 0;
    QUrl fresh = url;
    QUrlQuery query(fresh);
    query.removeAllQueryItems(ViewQueryItem);
    query.addQueryItem(ViewQueryItem, QString::number(++counter));
    fresh.setQuery(query);
    m_page->load(fresh);
}

bool WebBrowser::GoBack()
{
    if (!m_page || !m_page->history()->canGoBack())
        return false;
    m_page->triggerAction(QWebEnginePage::Back);
    return true;
}

bool WebBrowser::GoForward()
{
    if (!m_page || !m_page->history()->canGoForward())
        return false;
    m_page->triggerAction(QWebEnginePage::Forward);
    return true;
}

void WebBrowser::Refresh()
{
    if (m_page)
        m_page->triggerAction(QWebEnginePage::ReloadAndBypassCache);
}

void WebBrowser::CopySelection()
{
    if (m_page)
        m_page->triggerAction(QWebEnginePage::Copy);
}

void WebBrowser::PrintPage()
{
    if (m_printing)
        return;
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer.get(), this);
    dialog.setWindowTitle(QStringLiteral("Drukuj"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    PrintTo(printer);
}

void WebBrowser::PrintTo(const std::shared_ptr<QPrinter> &printer)
{
    if (m_printing)
        return;
    ensurePage();
    m_printing = true;
    // A PDF goes straight from the engine: every page, text kept as text. Printing to a
    // QPrinter would draw each page as one big picture.
    if (printer->outputFormat() == QPrinter::PdfFormat && !printer->outputFileName().isEmpty()) {
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = connect(m_page, &QWebEnginePage::pdfPrintingFinished, this,
                              [this, connection](const QString &, bool ok) {
                                  m_printing = false;
                                  disconnect(*connection);
                                  emit printFinished(ok);
                              });
        m_page->printToPdf(printer->outputFileName(), printer->pageLayout(),
                           printer->pageRanges());
        return;
    }
    // The printer must outlive the asynchronous print job.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection =
        connect(this, &QWebEngineView::printFinished, this, [this, printer, connection](bool) {
            m_printing = false;
            disconnect(*connection);
        });
    print(printer.get());
}

void WebBrowser::setRemoteContentAllowed(bool allowed)
{
    m_guard->setRemoteContentAllowed(allowed);
}

bool WebBrowser::remoteContentAllowed() const
{
    return m_guard->remoteContentAllowed();
}

void WebBrowser::setItemSite(const QUrl &site)
{
    m_guard->setItemSite(site);
}

void WebBrowser::loadRemoteContentOnce()
{
    m_guard->allowRemoteForDocument();
    Refresh();
}

QString WebBrowser::LocationURL() const
{
    return m_page ? addressText(m_page->url()) : QString();
}
