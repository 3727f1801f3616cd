#include "reading/forms/ItemViewController.h"

#include "kit/ActionFacts.h"
#include "kit/MainStatusBar.h"
#include "kit/WebBrowser.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/forms/SelectedNode.h"
#include "feed/MakerSite.h"
#include "reading/ItemDisplay.h"
#include "reading/ItemLinks.h"
#include "reading/ItemSource.h"
#include "reading/RowsOnShow.h"
#include "reading/ReadingLog.h"

#include <QAbstractItemView>
#include <QDesktopServices>
#include <QItemSelectionModel>
#include <QScopedValueRollback>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <exception>

ItemViewController::ItemViewController(const Widgets &widgets, ChannelTree &tree,
                                       RowsOnShow &rows, QObject *parent)
    : QObject(parent), m_w(widgets), m_tree(tree), m_rows(rows)
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
    attachHeaderList();
}

void ItemViewController::attachHeaderList()
{
    for (const QMetaObject::Connection &c : qAsConst(m_listConnections))
        disconnect(c);
    m_listConnections.clear();
    m_lastShownRow = -1;
    m_model = m_w.lvHeaders ? m_w.lvHeaders->model() : nullptr;
    if (!m_model)
        return;
    QItemSelectionModel *selection = m_w.lvHeaders->selectionModel();
    m_listConnections
        << connect(selection, &QItemSelectionModel::selectionChanged, this,
                   &ItemViewController::lvHeadersChange)
        << connect(selection, &QItemSelectionModel::currentChanged, this,
                   &ItemViewController::lvHeadersChange)
        << connect(m_model, &QAbstractItemModel::dataChanged, this,
                   &ItemViewController::lvHeadersChange)
        << connect(m_model, &QAbstractItemModel::modelReset, this,
                   &ItemViewController::forgetShownRow);
}

void ItemViewController::lvHeadersChange()
{
    emit stateChanged();
    // The recovery below refills the list, which reports changes of its own.
    if (!m_recovering) {
        const int row = FirstSelectedRow(m_w.lvHeaders->selectionModel());
        if (row >= 0 && row != m_lastShownRow)
            show(row);
    }
    emit delayedMarkDue();
}

void ItemViewController::showAgain()
{
    const int row = m_recovering ? -1 : FirstSelectedRow(m_w.lvHeaders->selectionModel());
    if (row >= 0)
        show(row);
}

void ItemViewController::show(int row)
{
    m_lastShownRow = row;
    bool shown = false;
    try {
        shown = showRow(row);
    } catch (const std::exception &e) {
        qCWarning(lcReading, "showing an item: %s", e.what());
    }
    if (!shown)
        recover();
}

bool ItemViewController::showRow(int row)
{
    const HeaderRow *shown = m_rows.rowAt(m_w.lvHeaders->model()->index(row, 0));
    IItemSource *source = m_rows.source();
    if (!shown || !source)
        return false;
    const ItemView view = source->viewItem(*shown);
    if (view.address.isEmpty())
        return false;
    // The item's fonts may come from its own site only.
    const XmlNode item = source->itemNode(*shown);
    const XmlNode link = item ? item.findChild(QStringLiteral("link")) : XmlNode();
    m_w.wbContent->setItemSite(QUrl(link ? link.text().trimmed() : QString()));
    // The page made in the program shows at once; the file is loaded only when there is
    // none (or it is too large to hand over).
    if (!view.page.isEmpty() && m_w.wbContent->ShowPage(view.address, view.page)) {
        m_madePageAddress = view.address;
        return true;
    }
    m_madePageAddress.clear();
    NavigateContent(view.address);
    return true;
}

bool ItemViewController::showingMadePage() const
{
    if (m_madePageAddress.isEmpty())
        return false;
    return m_w.wbContent->url().toString(QUrl::FullyDecoded) ==
           WebBrowser::addressToUrl(m_madePageAddress).toString(QUrl::FullyDecoded);
}

void ItemViewController::Refresh()
{
    try {
        IItemSource *source = m_rows.source();
        if (showingMadePage() && source) {
            const QByteArray page = source->pageAgain();
            if (!page.isEmpty() && m_w.wbContent->ShowPage(m_madePageAddress, page))
                return;
        }
        m_w.wbContent->Refresh();
    } catch (const std::exception &e) {
        qCWarning(lcReading, "refreshing the item view: %s", e.what());
    }
}

void ItemViewController::recover()
{
    QScopedValueRollback<bool> guard(m_recovering, true);
    try {
        ChannelNode *node = SelectedNode(m_w.tvChannels, m_tree);
        if (!node)
            emit firstChannelRequested();
        else if (node->channel())
            emit channelRefillRequested(node);
        const int row = FirstSelectedRow(m_w.lvHeaders->selectionModel());
        if (row >= 0 && m_w.lvHeaders->model())
            m_w.lvHeaders->selectionModel()->setCurrentIndex(
                m_w.lvHeaders->model()->index(row, 0), QItemSelectionModel::NoUpdate);
        m_w.lvHeaders->setFocus();
    } catch (const std::exception &e) {
        qCWarning(lcReading, "recovering the item view: %s", e.what());
    }
}

void ItemViewController::showBlank()
{
    m_madePageAddress.clear();
    NavigateContent(QStringLiteral("about:blank"));
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
    const bool itemOrNothing = ItemDisplay::IsItemOrBlankAddress(address);
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
    else if (!m_currentLocation.isEmpty() &&
             // Only a web page or a mail address leaves for the desktop.
             (!IsOpenableLink(QUrl(m_currentLocation)) ||
              !QDesktopServices::openUrl(QUrl(m_currentLocation))))
        emit linkNotOpened(m_currentLocation);
}
