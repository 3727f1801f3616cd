#include "kit/ContentGuard.h"

#include <QDir>
#include <QFileInfo>
#include <QWebEngineUrlRequestInfo>

namespace {

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

QString withoutWww(QString host)
{
    host = host.toLower();
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    return host.startsWith(QLatin1String("www.")) ? host.mid(4) : host;
}

} // namespace

ContentGuard::ContentGuard(QObject *parent) : QWebEngineUrlRequestInterceptor(parent) {}

void ContentGuard::setDocument(const QUrl &document)
{
    if (document == m_document)
        return;
    m_document = document;
    if (m_allowedOnce != document)
        m_allowedOnce.clear();
    setBlocked(false);
}

void ContentGuard::startShowing(const QUrl &document)
{
    m_document = document;
    m_allowedOnce.clear();
    setBlocked(false);
}

void ContentGuard::allowRemoteForDocument()
{
    m_allowedOnce = m_document;
    setBlocked(false);
}

void ContentGuard::setBlocked(bool blocked)
{
    if (blocked == m_blocked)
        return;
    m_blocked = blocked;
    emit remoteContentBlockedChanged(blocked);
}

bool ContentGuard::sameSite(const QUrl &site, const QString &host)
{
    const QString siteHost = withoutWww(site.host());
    return isWebAddress(site) && !siteHost.isEmpty() && siteHost == withoutWww(host);
}

bool ContentGuard::remoteAllowedNow() const
{
    return m_remoteAllowed || (!m_allowedOnce.isEmpty() && m_allowedOnce == m_document);
}

void ContentGuard::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    if (!allowed(info))
        info.block(true);
}

bool ContentGuard::allowed(const QWebEngineUrlRequestInfo &info)
{
    const QUrl target = info.requestUrl();
    const auto type = info.resourceType();
    if (type == QWebEngineUrlRequestInfo::ResourceTypeMainFrame)
        return true;
    // The item's text sits in a frame of its own whose requests may name no page.
    QUrl page = info.firstPartyUrl();
    if (!page.isLocalFile() && m_document.isLocalFile())
        page = m_document;
    if (!page.isLocalFile())
        return !target.isLocalFile();

    switch (type) {
    case QWebEngineUrlRequestInfo::ResourceTypeStylesheet:
    case QWebEngineUrlRequestInfo::ResourceTypeImage:
    case QWebEngineUrlRequestInfo::ResourceTypeFavicon:
        break;
    case QWebEngineUrlRequestInfo::ResourceTypeFontResource:
        // Fonts of other hosts are refused whatever the setting: loading them would not
        // change how the item reads.
        if (isWebAddress(target) && !sameSite(m_itemSite, target.host()))
            return false;
        break;
    case QWebEngineUrlRequestInfo::ResourceTypeMedia:
        if (target.isLocalFile())
            return false;
        break;
    default:
        return false;
    }
    if (isWebAddress(target)) {
        if (remoteAllowedNow())
            return true;
        setBlocked(true);
        return false;
    }
    // data: and the like carry their content in the item itself.
    if (!target.isLocalFile())
        return true;
    const QString folder = QFileInfo(page.toLocalFile()).absolutePath() + QLatin1Char('/');
    const QString file = QDir::cleanPath(target.toLocalFile());
    return file.startsWith(folder);
}
