// The main window's side of the item browser: navigation, its events and its buttons.

#include "app/forms/MainFrmUnit.h"
#include "app/forms/WebBrowser.h"
#include "catalogue/ChannelTree.h"

#include <QProgressBar>
#include <QToolButton>
#include <QUrl>

#include <exception>

void TfmMainFrm::NavigateContent(const QString &address)
{
    try {
        wbContent->Navigate(address);
    } catch (const std::exception &) {
    }
}

bool TfmMainFrm::IsMakerSiteAddress(const QString &address)
{
    // The host itself decides, not a mention of the name anywhere in the address: a
    // channel's password must not go to another site whose link merely names ours.
    const QString host = QUrl(address).host().toLower();
    return host == MakerSiteHost || host.endsWith(QLatin1Char('.') + MakerSiteHost);
}

void TfmMainFrm::wbContentBeforeNavigate2(QString &address, bool &cancel)
{
    // Pages of the maker's site get the selected channel's credentials.
    try {
        if (IsMakerSiteAddress(address) && !address.contains(QStringLiteral("&Password"))) {
            const ChannelNode *node = selectedNode();
            const TtvChannel *channel = node ? node->channel() : nullptr;
            if (channel) {
                address += address.contains(QLatin1Char('?')) ? QStringLiteral("&UserName=")
                                                              : QStringLiteral("?UserName=");
                address += channel->username + QStringLiteral("&Password=") + channel->password;
                cancel = true;
                NavigateContent(address);
            }
            // Without a selected channel there is nothing to add; the page loads as asked.
        }
    } catch (const std::exception &) {
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
