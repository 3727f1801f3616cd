// The main window's side of the item browser: navigation, its events and its buttons.

#include "app/forms/MainFrmUnit.h"
#include "app/forms/WebBrowser.h"
#include "catalogue/ChannelTree.h"
#include "feed/MakerSite.h"

#include <QProgressBar>
#include <QToolButton>

#include <exception>

void TfmMainFrm::NavigateContent(const QString &address)
{
    try {
        wbContent->Navigate(address);
    } catch (const std::exception &) {
    }
}

void TfmMainFrm::wbContentBeforeNavigate2(QString &address, bool &cancel)
{
    // Pages of the maker's site get the selected channel's credentials, when the channel
    // is the maker's own.
    const ChannelNode *node = selectedNode();
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
    spBack->setEnabled(!itemOrNothing);
    spForward->setEnabled(!itemOrNothing);
}

void TfmMainFrm::wbContentDocumentComplete(const QString &address)
{
    currentLocation = address;
    pbDownloadProgress->setValue(pbDownloadProgress->minimum());
    pbDownloadProgress->hide();
}

void TfmMainFrm::wbContentProgressChange(int progress, int maximum)
{
    if (maximum <= 0) {
        pbDownloadProgress->hide();
        return;
    }
    pbDownloadProgress->setMaximum(maximum);
    placeProgressBar();
    pbDownloadProgress->show();
    if (progress < pbDownloadProgress->maximum())
        pbDownloadProgress->setValue(qMax(progress, pbDownloadProgress->minimum()));
}

void TfmMainFrm::wbContentStatusTextChange(const QString &text)
{
    if (!text.contains(QStringLiteral("&Password")))
        setStatusPanelText(0, text);
}

void TfmMainFrm::spBackClick()
{
    wbContent->GoBack();
}

void TfmMainFrm::spForwardClick()
{
    wbContent->GoForward();
}

void TfmMainFrm::acOpenInNewWindowExecute()
{
    if (currentLocation.contains(QStringLiteral(".xml")) ||
        currentLocation == QStringLiteral("about:blank"))
        acOpenLinkExecute();
    else if (!currentLocation.isEmpty())
        openAddress(currentLocation);
}
