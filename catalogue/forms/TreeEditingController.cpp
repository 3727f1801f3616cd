#include "catalogue/forms/TreeEditingController.h"

#include "base/FileReplace.h"
#include "base/UserFolder.h"
#include "kit/MessageBoxes.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeOps.h"
#include "catalogue/Opml.h"
#include "kit/ActionFacts.h"
#include "feed/MakerSite.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTreeView>
#include <QUrlQuery>

void PopupAtCursor(QMenu *menu)
{
    if (menu)
        menu->popup(QCursor::pos());
}

TreeEditingController::TreeEditingController(const Widgets &widgets, ChannelTree &tree,
                                             const UserFolder &folder, IMessageBoxes &boxes,
                                             Outside outside, QObject *parent)
    : QObject(parent), m_w(widgets), m_tree(tree), m_folder(folder),
      m_boxes(boxes), m_outside(std::move(outside))
{
    if (!m_outside.openUrl)
        m_outside.openUrl = [](const QUrl &url) { QDesktopServices::openUrl(url); };

    QTreeView *view = m_w.tvChannels;
    // The view's own click-to-rename would also open the editor after a double click.
    view->setEditTriggers(QAbstractItemView::EditKeyPressed);
    m_renameTimer.setSingleShot(true);
    connect(&m_renameTimer, &QTimer::timeout, this, &TreeEditingController::renameClicked);
    connect(view, &QAbstractItemView::doubleClicked, this,
            &TreeEditingController::tvChannelsDblClick);
    view->setDragDropMode(QAbstractItemView::InternalMove);
    view->setDefaultDropAction(Qt::MoveAction);
    // A drop in the middle of a node nests under it; near its top or bottom edge it lands
    // between two nodes.
    view->setDragDropOverwriteMode(false);
    view->installEventFilter(this);
    view->viewport()->installEventFilter(this);

    m_acImportOpml = new QAction(QStringLiteral("Importuj kanały z pliku OPML..."), this);
    m_acImportOpml->setObjectName(QStringLiteral("acImportOpml"));
    m_acExportOpml = new QAction(QStringLiteral("Eksportuj kanały do pliku OPML..."), this);
    m_acExportOpml->setObjectName(QStringLiteral("acExportOpml"));
    connect(m_acImportOpml, &QAction::triggered, this, &TreeEditingController::acImportOpmlExecute);
    connect(m_acExportOpml, &QAction::triggered, this, &TreeEditingController::acExportOpmlExecute);

    connect(&m_tree, &ChannelTree::renameRefused, this,
            &TreeEditingController::tvChannelsRenameRefused);
    connect(&m_tree, &ChannelTree::nodeDropped, this, &TreeEditingController::nodeDropped);
    connect(&m_tree, &ChannelTree::nodePlaced, this, [this](ChannelNode *node) {
        m_w.tvChannels->scrollTo(m_tree.indexOf(node));
        emit stateChanged();
    });
}

ChannelNode *TreeEditingController::selectedNode() const
{
    const QModelIndex current = m_w.tvChannels->currentIndex();
    if (!current.isValid() || !m_w.tvChannels->selectionModel()->isSelected(current))
        return nullptr;
    return m_tree.nodeFromIndex(current);
}

void TreeEditingController::updateActions(const ActionFacts &facts)
{
    const ChannelNode *node = facts.node;
    const bool running = facts.syncAllRunning;
    // acRemoveTreeItemUpdate, acChannelsEditUpdate, acChannelsEditChanelUpdate
    if (m_w.acRemoveTreeItem)
        m_w.acRemoveTreeItem->setEnabled(node && node->parent() && !running && !facts.updateBusy);
    if (m_w.acChannelsEdit)
        m_w.acChannelsEdit->setEnabled(node != nullptr);
    const bool channel = node && node->isChannel();
    if (m_w.acChannelsEditChanel)
        m_w.acChannelsEditChanel->setEnabled(channel);
    if (m_w.acChannelsSendChannel)
        m_w.acChannelsSendChannel->setEnabled(channel);
    // A run walks the tree; nothing is added to it meanwhile.
    if (m_w.acChannelsAdd)
        m_w.acChannelsAdd->setEnabled(!running);
    m_acImportOpml->setEnabled(!running);
}

void TreeEditingController::acChannelsAddExecute()
{
    if (m_outside.showWizard)
        m_outside.showWizard();
    emit stateChanged();
}

void TreeEditingController::sbChannelsAddClick()
{
    PopupAtCursor(m_w.mnChannelsAdd);
}

void TreeEditingController::acChannelsGroupAddExecute()
{
    ChannelNode *parent = ParentForNewNode(m_tree, selectedNode());
    if (refusedForGroup(parent))
        return;
    ChannelNode *group = m_tree.addNode(parent, QStringLiteral("Nowy folder"), NodeKind::Group);
    if (!group)
        return;
    m_w.tvChannels->expand(m_tree.indexOf(parent));
    startRename(group);
    emit stateChanged();
}

bool TreeEditingController::refusedForGroup(const ChannelNode *node)
{
    const QString why = m_outside.groupRefusal ? m_outside.groupRefusal(node) : QString();
    if (why.isEmpty())
        return false;
    m_boxes.information(m_w.window, why, MessageCaptions::Information);
    return true;
}

void TreeEditingController::startRename(ChannelNode *node)
{
    if (node && node->isGroup() && refusedForGroup(node))
        return;
    const QModelIndex index = m_tree.indexOf(node);
    m_w.tvChannels->setCurrentIndex(index);
    m_w.tvChannels->edit(index);
}

void TreeEditingController::Zmienazw1Click()
{
    if (ChannelNode *node = selectedNode())
        startRename(node);
}

void TreeEditingController::tvChannelsRenameRefused()
{
    m_boxes.error(m_w.window, QStringLiteral("Maksymalna długość nazwy wynosi 250 znaków."),
                  MessageCaptions::Information);
}

void TreeEditingController::acChannelsEditExecute()
{
    ChannelNode *node = selectedNode();
    if (!node)
        return;
    if (node->isChannel())
        acChannelsEditChanelExecute();
    else
        startRename(node);
}

void TreeEditingController::acChannelsEditChanelExecute()
{
    ChannelNode *node = selectedNode();
    if (node && node->isChannel() && m_outside.editChannel && m_outside.editChannel(node))
        emit stateChanged();
}

void TreeEditingController::nodeDropped(ChannelNode *target)
{
    m_w.tvChannels->expandRecursively(m_tree.indexOf(target));
    emit stateChanged();
}

void TreeEditingController::deleteCacheFiles(ChannelNode *node)
{
    // Every channel below the node, not only its direct children: their files would
    // otherwise stay behind with no channel to name them.
    QList<ChannelNode *> pending{node};
    while (!pending.isEmpty()) {
        ChannelNode *current = pending.takeLast();
        pending.append(current->children());
        const TtvChannel *channel = current->channel();
        if (!channel || channel->GUID.isEmpty())
            continue;
        try {
            const QString path = m_folder.cacheFile(channel->GUID);
            emit releaseCacheFile(path);
            QFile::remove(path);
        } catch (const std::exception &) {
        }
    }
}

// A run walks the tree and an update uses its channel's record until it returns: nothing is
// deleted meanwhile.
bool TreeEditingController::removalRefused() const
{
    return (m_outside.syncAllRunning && m_outside.syncAllRunning()) ||
           (m_outside.channelUpdateBusy && m_outside.channelUpdateBusy());
}

void TreeEditingController::acRemoveTreeItemExecute()
{
    ChannelNode *node = selectedNode();
    if (!node || !node->parent() || removalRefused())
        return;
    const QString question =
        node->isChannel()
            ? QStringLiteral("Czy chcesz usunąć kanał ") + node->text() + QStringLiteral("?")
            : QStringLiteral("Czy chcesz usunąć grupę ") + node->text() +
                  QStringLiteral(" z całą zawartością?");
    if (!m_boxes.question(m_w.window, question, MessageCaptions::Question))
        return;
    deleteCacheFiles(node);
    m_tree.deleteNode(node); // frees the records of the whole subtree
    emit nodeRemoved();
    emit stateChanged();
}

bool TreeEditingController::tvChannelsKeyDown(int key)
{
    // Keys of a name being edited go to the editor, not to the view.
    if (key != Qt::Key_Delete)
        return false;
    acRemoveTreeItemExecute(); // it checks the rule of its action itself
    return true;
}

void TreeEditingController::tvChannelsMouseDown(const QPoint &position, Qt::MouseButton button)
{
    m_renameTimer.stop();
    m_pressedSelected = QPersistentModelIndex();
    const QModelIndex index = m_w.tvChannels->indexAt(position);
    if (!index.isValid())
        return;
    if (index == m_w.tvChannels->currentIndex() &&
        m_w.tvChannels->selectionModel()->isSelected(index)) {
        if (button == Qt::LeftButton)
            m_pressedSelected = index;
        emit tvChannelsChangeRequested();
        return;
    }
    // The view selects on the left button itself, and must see the node as not yet
    // selected, or the click would start renaming it.
    if (button != Qt::LeftButton)
        m_w.tvChannels->setCurrentIndex(index);
}

void TreeEditingController::tvChannelsMouseUp(const QPoint &position, Qt::MouseButton button)
{
    if (button == Qt::LeftButton && m_pressedSelected.isValid() &&
        m_w.tvChannels->indexAt(position) == m_pressedSelected)
        m_renameTimer.start(QApplication::doubleClickInterval());
    m_pressedSelected = QPersistentModelIndex();
}

void TreeEditingController::tvChannelsDblClick()
{
    m_renameTimer.stop();
    m_pressedSelected = QPersistentModelIndex();
    if (!m_w.acChannelsEdit || m_w.acChannelsEdit->isEnabled())
        acChannelsEditExecute();
}

void TreeEditingController::renameClicked()
{
    ChannelNode *node = selectedNode();
    // Not behind a dialog that opened meanwhile.
    if (node && !QApplication::activeModalWidget())
        startRename(node);
}

void TreeEditingController::acChannelsSendChannelExecute()
{
    const ChannelNode *node = selectedNode();
    const TtvChannel *channel = node ? node->channel() : nullptr;
    if (!channel)
        return;
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"), QStringLiteral("Ciekawy kanał RSS: ") + node->text());
    query.addQueryItem(QStringLiteral("body"), channel->url + QStringLiteral("\r\n\r\n") +
                                                   QStringLiteral("Wysłano z program RSS Saltrino (") +
                                                   QLatin1String(makerSiteAddress) + QStringLiteral(")"));
    QUrl mail(QStringLiteral("mailto:"));
    mail.setQuery(query.query(QUrl::FullyEncoded), QUrl::StrictMode);
    try {
        m_outside.openUrl(mail);
    } catch (const std::exception &) {
        // A missing mail program is not reported.
    }
}

void TreeEditingController::acImportOpmlExecute()
{
    if (m_outside.syncAllRunning && m_outside.syncAllRunning())
        return;
    const QString file = m_outside.openOpmlFile ? m_outside.openOpmlFile() : QString();
    if (file.isEmpty())
        return;
    try {
        ChannelNode *parent = ParentForNewNode(m_tree, selectedNode());
        const OpmlImportResult result = ImportOpml(file, m_tree, parent);
        m_w.tvChannels->expand(m_tree.indexOf(parent));
        // The count is said once the channels are in the tree file, not before.
        if (result.channels + result.groups > 0 && m_outside.saveTree)
            m_outside.saveTree();
        m_boxes.information(m_w.window, OpmlImportSummary(result), MessageCaptions::Information);
    } catch (const OpmlError &e) {
        m_boxes.error(m_w.window, e.message(), MessageCaptions::Error);
    } catch (const FileError &e) {
        // The channels stay in the list; the next write of the tree tries again.
        m_boxes.error(m_w.window,
                      QStringLiteral("Nie można zapisać listy kanałów: ") +
                          QString::fromUtf8(e.what()),
                      MessageCaptions::Error);
    }
    emit stateChanged();
}

void TreeEditingController::acExportOpmlExecute()
{
    const QString file = m_outside.saveOpmlFile ? m_outside.saveOpmlFile() : QString();
    if (file.isEmpty())
        return;
    try {
        ExportOpml(m_tree, file);
    } catch (const std::exception &e) {
        m_boxes.error(m_w.window,
                      QStringLiteral("Nie można zapisać pliku ") + file + QStringLiteral(" (") +
                          QString::fromStdString(e.what()) + QStringLiteral(")."),
                      MessageCaptions::Error);
        return;
    }
    int channels = 0;
    for (const ChannelNode *node : m_tree.nodesInPreOrder())
        channels += node->channel() != nullptr;
    if (m_outside.showStatus)
        m_outside.showStatus(QStringLiteral("Gotowe. Kanały (%1) zapisane w pliku %2.")
                                 .arg(channels)
                                 .arg(QDir::toNativeSeparators(file)));
}

bool TreeEditingController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_w.tvChannels->viewport()) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            tvChannelsMouseDown(mouse->position().toPoint(), mouse->button());
            break;
        case QEvent::MouseButtonRelease:
            tvChannelsMouseUp(mouse->position().toPoint(), mouse->button());
            break;
        case QEvent::MouseButtonDblClick:
            // Before the view tells of it: no rename is pending once the properties open.
            m_renameTimer.stop();
            m_pressedSelected = QPersistentModelIndex();
            break;
        default:
            break;
        }
    }
    if (watched == m_w.tvChannels && event->type() == QEvent::KeyPress &&
        tvChannelsKeyDown(static_cast<QKeyEvent *>(event)->key()))
        return true;
    return QObject::eventFilter(watched, event);
}
