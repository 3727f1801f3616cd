#pragma once


#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class ArchiveChannelsModel;
struct HeaderRow;
class ArchiveStore;
class ArchiveView;
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
class ArchiveController : public QObject
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
    // Archive rows are shown in `rows`; channel rows on show there are what is archived.
    ArchiveController(const Widgets &w, ChannelTree &tree, RowsOnShow &rows,
                      IDownloadUi &status, IMessageBoxes &boxes, QObject *parent);
    ~ArchiveController() override;

    // The archive is opened by the session; until then every handler does nothing.
    void setArchive(ArchiveStore *store, ArchiveView *view);
    // The message shown when the archive cannot be opened at start-up (the program ends).
    static QString openFailedMessage();
    // Runs `open` (the session's openArchive); when it raises, shows openFailedMessage()
    // with the error icon and gives false: the start-up ends.
    static bool OpenArchive(const std::function<void()> &open, IMessageBoxes &boxes,
                            QWidget *window);

    bool archiveViewShown() const;
    int lastCategoryRow() const { return m_lastCategoryRow; }

    void LoadArchiveChannels();
    // One channel's archived rows, or the whole archive for an empty GUID, narrowed by the
    // keyword edit's text whenever it holds one.
    void ShowArchive(const QString &channelGuid);
    // The filter button in the archive view: the whole archive or the selected channel.
    void applyFilter();
    // The find over the archive: the whole archive's rows whose field (the find dialog's:
    // description, author, title) holds the text, shown in the archive view. False when no
    // row does; the list stays as it was then.
    bool showMatching(int field, const QString &text);
    // acAddToArchiveUpdate and acArchiveDeleteUpdate, from the facts of the moment.
    void updateActions(int headerSelection);

public slots:
    // The find dialog's search in the archive: the rows found, or a word that there are none.
    void findInArchive(int field, const QString &text);
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
    void showRows(std::vector<HeaderRow> rows);
    void sourceChanged(bool archiveView);
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
    ArchiveStore *m_store = nullptr;
    ArchiveView *m_view = nullptr;
    ArchiveChannelsModel *m_channels = nullptr;
    int m_lastCategoryRow = -1;
};
