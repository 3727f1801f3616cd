#pragma once

#include <QColor>
#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <functional>
#include <memory>

class ContentGuard;
class QPrinter;
class QWebEngineProfile;

// The page behind the embedded browser. It reports every navigation before it happens and
// keeps local documents (channel files, item views) apart from the web: no script runs in a
// local page and a local page reads no other local file; a web page reached by a link runs
// as it would in any browser.
class WebPage : public QWebEnginePage
{
    Q_OBJECT
public:
    // Called before every navigation with the address; the handler may change the address
    // or cancel. Returns the decision through the two references.
    using BeforeNavigateHandler = std::function<void(QString &address, bool &cancel)>;

    WebPage(QWebEngineProfile *profile, QObject *parent);

    void setBeforeNavigateHandler(BeforeNavigateHandler handler)
    {
        m_beforeNavigate = std::move(handler);
    }
    // The next main-frame navigation to exactly this address passes without asking the
    // handler: it is the address the handler itself chose.
    void approveOnce(const QUrl &url) { m_approved = url; }
    // Told of every main document the page opens.
    void setContentGuard(ContentGuard *guard) { m_guard = guard; }

    // Asks the handler about an address the engine opens without a navigation request
    // (about: pages). False when the handler cancelled; `url` becomes the address to open.
    bool confirmNavigation(QUrl &url);
    // Shows `html` as the document at the local address `url`, under that address's content
    // policy. The engine takes the page as a data: address; the handler has been asked
    // about `url` already.
    void showContent(const QByteArray &html, const QUrl &url);

    // Scripts only for web pages; local documents stay inert.
    static bool scriptsAllowedFor(const QUrl &url);
    // Where a link of an item and a page's new window may lead: an http or https address
    // with a host, or a mailto address.
    static bool isLinkTarget(const QUrl &url);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    // Messages of web pages are no concern of the program's user.
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &, int,
                                  const QString &) override
    {
    }

private:
    void applySettingsFor(const QUrl &url);

    BeforeNavigateHandler m_beforeNavigate;
    QUrl m_approved;
    ContentGuard *m_guard = nullptr;
    bool m_contentPending = false;
    QUrl m_contentAddress;
    // The addresses pages given as content were shown under, by their data: address, so
    // that going back to one tells the handler where it goes. The last few only.
    QHash<QByteArray, QUrl> m_contentAddresses;
    QList<QByteArray> m_contentOrder;
};

// The embedded browser `wbContent`: loads local XML documents, renders them through the
// style sheet named in their xml-stylesheet instruction, and follows links like a browser.
// Every display reads the document and its style sheet from disk as they are at that
// moment; nothing is cached.
class WebBrowser : public QWebEngineView
{
    Q_OBJECT
public:
    explicit WebBrowser(QWidget *parent = nullptr);
    ~WebBrowser() override;

    // The page, made with the engine's start at the first call that needs it.
    WebPage *webPage();

    // `address` is a local path (a fragment after "#" is kept), a file:, http(s): or
    // about: address. Returns false when the address cannot be used.
    bool Navigate(const QString &address);
    // Shows a page the program made (UTF-8 HTML) as the document at the local `address`,
    // with that address's content policy, history entry and events, without reading a file.
    // False when the address cannot be used or the page is too large to hand over; the
    // caller then navigates to the address instead.
    bool ShowPage(const QString &address, const QByteArray &html);
    // False when there is no page to go to.
    bool GoBack();
    bool GoForward();
    // Reloads the current document and its style sheet.
    void Refresh();
    // Copies the page's selection to the clipboard.
    void CopySelection();
    // Asks for a printer with the print dialog and prints the page shown.
    void PrintPage();
    // Prints the page shown on that printer (the print dialog's choice, or a PDF file);
    // printFinished tells when it is done.
    void PrintTo(const std::shared_ptr<QPrinter> &printer);

    // The address the browser shows now, as text.
    QString LocationURL() const;

    // Whether items load their pictures, films and sounds from the web (the user's setting;
    // on until set). Applies from the next document on.
    void setRemoteContentAllowed(bool allowed);
    bool remoteContentAllowed() const;
    // The link of the item about to be shown: the one site its fonts may come from.
    void setItemSite(const QUrl &site);
    // Shows the item on show again with its remote content, this once.
    void loadRemoteContentOnce();

    // How large pages are drawn (1.0 as they come); kept across navigations, which would
    // otherwise take the engine's own zoom for each new site.
    void setZoom(qreal factor);
    qreal zoom() const { return m_zoom; }
    // What shows where a page paints nothing (before the first page, between pages).
    void setPageBackground(const QColor &colour);

    // Handler of BeforeNavigate2 (address in and out, cancel out).
    void setBeforeNavigate2(WebPage::BeforeNavigateHandler handler);

    // A local path or address as the browser's address.
    static QUrl addressToUrl(const QString &address);

signals:
    void DocumentComplete(const QString &address);
    void ProgressChange(int progress, int maximum);
    void StatusTextChange(const QString &text);
    // Remote content of the item on show was held back (true), or no longer is (false: another
    // document, or the content was allowed).
    void remoteContentBlockedChanged(bool blocked);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void ensurePage();
    void loadUrl(QUrl url);
    void applyZoom();

    QWebEngineProfile *m_profile = nullptr;
    WebPage::BeforeNavigateHandler m_beforeNavigate; // until the page is made
    ContentGuard *m_guard = nullptr;
    WebPage *m_page = nullptr;
    bool m_printing = false;
    qreal m_zoom = 1.0;
    QColor m_background;
};
