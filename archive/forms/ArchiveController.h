#pragma once

#include "reading/HeaderListArchiveSide.h"
#include "xml/XmlDocument.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class ArchiveChannelsModel;
class ArchiveItemDocument;
class ArchiveStore;
class ChannelTree;
class HeaderListModel;
class IDownloadUi;
class IMessageBoxes;
class QAction;
class QCheckBox;
class QLineEdit;
class QTreeView;
class QToolButton;
class QWidget;
class RowsOnShow;

// The archive on screen: the archive page of the left panel, the archive view of the header
// list, adding and deleting archived rows and showing one. Owns no widget.
class ArchiveController : public QObject, public IHeaderListArchiveSide
{
    Q_OBJECT

public:
    struct Widgets
    {
        QWidget *window;                 // parent of the messages
        QToolButton *sbShowAllArchive;
        QTreeView *lvArchiveCategories;
        QCheckBox *cbAllArchiveFilter;
        QLineEdit *edKeyWord;
        QTreeView *lvHeaders;
        QAction *acAddToArchive;
        QAction *acArchiveDelete;
        QToolButton *sbAddToArchive;     // these two share one place on the item tool bar
        QToolButton *sbArchiveDelete;
    };
    // The item node of a channel row by its ID (the channel side of GetItemNode); a null
    // node when there is none.
    using ChannelItemNode = std::function<XmlNode(int id)>;

    // `itemFile` is where an archived item is written to be shown (data/arch_item.xml).
    ArchiveController(const Widgets &w, ChannelTree &tree, RowsOnShow &rows,
                      IDownloadUi &status, IMessageBoxes &boxes, const QString &itemFile,
                      QObject *parent);
    ~ArchiveController() override;

    // The archive is opened by the session; until then every handler does nothing.
    void setArchive(ArchiveStore *store, ArchiveItemDocument *items);
    void setChannelItemNode(ChannelItemNode itemNode) { m_channelItemNode = std::move(itemNode); }
    // The message shown when the archive cannot be opened at start-up (the program ends).
    static QString openFailedMessage();
    // Runs `open` (the session's openArchive); when it raises, shows openFailedMessage()
    // with the error icon and gives false: the start-up ends.
    static bool OpenArchive(const std::function<void()> &open, IMessageBoxes &boxes,
                            QWidget *window);

    bool archiveViewShown() const override;
    int lastCategoryRow() const { return m_lastCategoryRow; }

    void LoadArchiveChannels();
    // One channel's archived rows, or the whole archive for an empty GUID, narrowed by the
    // keyword edit's text whenever it holds one.
    void ShowArchive(const QString &channelGuid);
    // The archive side of GetItemNode: the template filled from the row at that position.
    XmlNode GetItemNode(int id);
    // Writes the archive item document for the row and gives its path; empty when the row
    // cannot be read (the message has been shown).
    QString writeItemDocument(int id);
    // Puts `item` (from GetItemNode) into the archive item document and writes it to the
    // item file. Raises XmlError.
    void writeItemDocument(XmlNode item);
    // A channel is shown in the header list: the archive view ends.
    void closeArchiveView() override;
    // The filter button in the archive view: the whole archive or the selected channel.
    void applyFilter();
    // The header list's filter changed in the archive view: the same as applyFilter().
    void refillArchive() override { applyFilter(); }
    // The find over the archive: the whole archive's rows whose field (the find dialog's:
    // description, author, title) holds the text, shown in the archive view. False when no
    // row does; the list stays as it was then.
    bool showMatching(int field, const QString &text);
    // A read mark made in the archive view, stored at once. Raises ArchiveError.
    void setUnreadMark(const QString &guid, bool unread);
    // acAddToArchiveUpdate and acArchiveDeleteUpdate, from the facts of the moment.
    void updateActions(int headerSelection);

public slots:
    void acAddToArchiveExecute();
    void acArchiveDeleteExecute();
    void lvArchiveCategoriesChange();
    void sbShowAllArchiveClick();
    void cbAllArchiveFilterClick();
    // The archive page became active.
    void pcLeftPanelChange();

signals:
    // The archive view began or ended, or rows changed: the frame recomputes the actions.
    void stateChanged();

private:
    void showQueryRows();
    QString selectedChannelGuid() const;
    int selectedChannelRow() const;
    void showSelectedOrFirstChannel();
    void reportError(const QString &message);

    Widgets m_w;
    ChannelTree &m_tree;
    RowsOnShow &m_onShow;
    HeaderListModel &m_rows;
    IDownloadUi &m_status;
    IMessageBoxes &m_boxes;
    QString m_itemFile;
    ArchiveStore *m_store = nullptr;
    ArchiveItemDocument *m_items = nullptr;
    ArchiveChannelsModel *m_channels = nullptr;
    ChannelItemNode m_channelItemNode;
    int m_lastCategoryRow = -1;
};
