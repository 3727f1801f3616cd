#include "reading/forms/ItemViewController.h"

#include "app/forms/ActionFacts.h"
#include "app/forms/MainStatusBar.h"
#include "app/forms/WebBrowser.h"
#include "catalogue/ChannelTree.h"
#include "feed/MakerSite.h"
#include "reading/ReadingLog.h"

#include <QDesktopServices>
#include <QToolButton>
#include <QUrl>

#include <exception>

ItemViewController::ItemViewController(const Widgets &widgets, ChannelTree &tree, QObject *parent)
    : QObject(parent), m_w(widgets), m_tree(tree)
{
    setObjectName(QStringLiteral("ItemViewController"));
    connect(m_w.wbContent, &WebBrowser::DocumentComplete, this,
            &ItemViewController::wbContentDocumentComplete);
    connect(m_w.wbContent, &WebBrowser::ProgressChange, this,
            &ItemViewController::wbContentProgressChange);
    connect(m_w.wbContent, &WebBrowser::StatusTextChange, this,
            &ItemViewController::wbContentStatusTextChange);
    m_w.wbContent->setBeforeNavigate2(
        [this](QString &address, bool &cancel) { wbContentBeforeNavigate2(address, cancel); });
    connect(m_w.spBack, &QToolButton::clicked, this, &ItemViewController::spBackClick);
    connect(m_w.spForward, &QToolButton::clicked, this, &ItemViewController::spForwardClick);
}

void ItemViewController::NavigateContent(const QString &address)
{
    try {
        m_w.wbContent->Navigate(address);
    } catch (const std::exception &e) {
        qCWarning(lcReading, "navigating the item view: %s", e.what());
    }
}

void ItemViewController::wbContentBeforeNavigate2(QString &address, bool &cancel)
{
    // Pages of the maker's site get the selected channel's credentials, when the channel
    // is the maker's own.
    const ChannelNode *node = SelectedNode(m_w.tvChannels, m_tree);
    if (const TtvChannel *channel = node ? node->channel() : nullptr) {
        const QString withCredentials =
            WithMakerSiteCredentials(address, channel->url, channel->username, channel->password);
        if (!withCredentials.isNull()) {
            address = withCredentials;
            cancel = true;
            NavigateContent(address);
        }
    }
    const bool itemOrNothing = address.contains(QLatin1Char('{')) ||
                               address.contains(QStringLiteral("arch_item.xml")) ||
                               address == QStringLiteral("about:blank");
    m_w.spBack->setEnabled(!itemOrNothing);
    m_w.spForward->setEnabled(!itemOrNothing);
}

void ItemViewController::wbContentDocumentComplete(const QString &address)
{
    m_currentLocation = address;
    m_w.sbStatus->hideProgress();
}

void ItemViewController::wbContentProgressChange(int progress, int maximum)
{
    m_w.sbStatus->showProgress(progress, maximum);
}

void ItemViewController::wbContentStatusTextChange(const QString &text)
{
    if (!text.contains(QStringLiteral("&Password")))
        m_w.sbStatus->setPanelText(0, text);
}

void ItemViewController::spBackClick()
{
    m_w.wbContent->GoBack();
}

void ItemViewController::spForwardClick()
{
    m_w.wbContent->GoForward();
}

void ItemViewController::acOpenInNewWindowExecute()
{
    if (m_currentLocation.contains(QStringLiteral(".xml")) ||
        m_currentLocation == QStringLiteral("about:blank"))
        emit openLinkRequested();
    else if (!m_currentLocation.isEmpty())
        QDesktopServices::openUrl(QUrl(m_currentLocation));
}
