#pragma once

#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>

// What a page of the item browser may load. A local document (an item) gets its style sheets,
// pictures and fonts from its own folder and nothing from another local file; from the web it
// gets pictures and media only while the user allows remote content (or asked for it once for
// the document on show), and fonts only from the item's own site, since a tracking picture or
// font tells its sender that the item was read. Nothing made by script or a form, no frames.
// A web page reached by a link loads as in any browser, but never a local file.
class ContentGuard : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT
public:
    explicit ContentGuard(QObject *parent = nullptr);

    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

    // The user's choice; pictures are on until the settings say otherwise.
    void setRemoteContentAllowed(bool allowed) { m_remoteAllowed = allowed; }
    bool remoteContentAllowed() const { return m_remoteAllowed; }
    // The item's own site (its link): where its fonts may come from. Empty: no site.
    void setItemSite(const QUrl &site) { m_itemSite = site; }
    // The main document the page opens now; requests that name no local page of their own
    // belong to it. A document other than the one allowed once ends that allowance.
    void setDocument(const QUrl &document);
    // A page handed over anew is a new showing even under the same address: what was held
    // back, and an allowance for it, start afresh. A reload is no new showing.
    void startShowing(const QUrl &document);
    // Remote content for the document on show, until another document is opened.
    void allowRemoteForDocument();

    // True when `host` belongs to the site whose address is `site`: the same host, "www."
    // aside.
    static bool sameSite(const QUrl &site, const QString &host);

signals:
    // True once a remote picture, film, sound or font of the local document was held back;
    // false again when another document is opened or the held content is allowed.
    void remoteContentBlockedChanged(bool blocked);

private:
    bool allowed(const QWebEngineUrlRequestInfo &info);
    bool remoteAllowedNow() const;
    void setBlocked(bool blocked);

    bool m_remoteAllowed = true;
    bool m_blocked = false;
    QUrl m_itemSite;
    QUrl m_document;
    QUrl m_allowedOnce;
};
