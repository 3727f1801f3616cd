#pragma once

#include <QObject>
#include <QPersistentModelIndex>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <functional>

class ChannelNode;
class ChannelTree;
class IMessageBoxes;
class QAction;
class QMenu;
class QTreeView;
class QWidget;
struct ActionFacts;
class UserFolder;

// Opens a popup menu where the mouse is.
void PopupAtCursor(QMenu *menu);

// The user's commands on the channel tree: groups, names, drag and drop, deletion, the
// properties dialog, recommending a channel, OPML import and export. Drives the tree view
// it is handed; the tree model holds the drop rules.
class TreeEditingController : public QObject
{
    Q_OBJECT
public:
    struct Widgets
    {
        QWidget *window = nullptr;       // parent of the messages
        QTreeView *tvChannels = nullptr;
        QMenu *mnChannelsAdd = nullptr;
        QAction *acChannelsAdd = nullptr;
        QAction *acRemoveTreeItem = nullptr;
        QAction *acChannelsEdit = nullptr;
        QAction *acChannelsEditChanel = nullptr;
        QAction *acChannelsSendChannel = nullptr;
    };
    // What the controller cannot know by itself; tests give their own.
    struct Outside
    {
        std::function<void()> showWizard;                   // the new channel wizard, modal
        std::function<bool(ChannelNode *)> editChannel;     // the properties dialog; true on OK
        std::function<bool()> syncAllRunning;               // a run over all channels
        std::function<bool()> channelUpdateBusy;            // an update uses its record
        std::function<void(const QUrl &)> openUrl;          // mail and links
        std::function<QString()> openOpmlFile, saveOpmlFile; // file choosers; empty: cancelled
        std::function<void()> saveTree; // the tree file now; raises FileError
        std::function<void(const QString &)> showStatus; // status panel 0
        // Why a group may not be made in, or renamed at, this group (a synchronisation
        // server's group the server cannot follow); empty when it may.
        std::function<QString(const ChannelNode *)> groupRefusal;
    };

    TreeEditingController(const Widgets &widgets, ChannelTree &tree, const UserFolder &folder,
                          IMessageBoxes &boxes, Outside outside,
                          QObject *parent = nullptr);

    // "Importuj kanały z pliku OPML..." and "Eksportuj kanały do pliku OPML...".
    QAction *acImportOpml() const { return m_acImportOpml; }
    QAction *acExportOpml() const { return m_acExportOpml; }

    ChannelNode *selectedNode() const;

public slots:
    void acChannelsAddExecute();
    void acChannelsGroupAddExecute();
    void Zmienazw1Click();
    void sbChannelsAddClick();
    void acRemoveTreeItemExecute();
    void acChannelsEditExecute();
    void acChannelsEditChanelExecute();
    void acChannelsSendChannelExecute();
    void acImportOpmlExecute();
    void acExportOpmlExecute();
    // The enabled states, from the facts the frame gathered.
    void updateActions(const ActionFacts &facts);

signals:
    // The cache file is about to be deleted: whoever holds it open closes it now.
    void releaseCacheFile(const QString &path);
    // A node was deleted: the header list and the browser start again from the selection.
    void nodeRemoved();
    // A click on the node already selected: its headers are shown again.
    void tvChannelsChangeRequested();
    // The tree changed in a way the action states depend on.
    void stateChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void tvChannelsMouseDown(const QPoint &position, Qt::MouseButton button);
    // A click on the node already selected renames it once the double-click time has passed
    // without a second click; a double click opens the properties instead.
    void tvChannelsMouseUp(const QPoint &position, Qt::MouseButton button);
    void tvChannelsDblClick();
    void renameClicked();
    bool tvChannelsKeyDown(int key);
    void tvChannelsRenameRefused();
    void nodeDropped(ChannelNode *target);
    void startRename(ChannelNode *node);
    bool refusedForGroup(const ChannelNode *node);
    void deleteCacheFiles(ChannelNode *node);
    bool removalRefused() const;

    Widgets m_w;
    ChannelTree &m_tree;
    const UserFolder &m_folder;
    IMessageBoxes &m_boxes;
    Outside m_outside;
    QAction *m_acImportOpml = nullptr;
    QAction *m_acExportOpml = nullptr;
    bool m_syncAllRunning = false;
    QTimer m_renameTimer;
    QPersistentModelIndex m_pressedSelected; // a left press on the node already selected
};
