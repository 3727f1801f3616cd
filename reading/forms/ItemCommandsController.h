#pragma once

#include "xml/XmlDocument.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

struct ActionFacts;
struct HeaderRow;
class HeaderListModel;
class IMessageBoxes;
class MainStatusBar;
class QAction;
class QFileDialog;
class QTimer;
class QTreeView;
class RowsOnShow;
class TfmFindFrm;
class UserFolder;
class WebBrowser;

// The commands on the rows of the header list and on the item shown: read marks (also the
// delayed one), links, mail, copy, select all, print, export and find. Owns the delayed
// mark's timer tmMarkAsUnread. Owns no widget.
class ItemCommandsController : public QObject
{
    Q_OBJECT
public:
    struct Widgets
    {
        QTreeView *lvHeaders = nullptr;
        WebBrowser *wbContent = nullptr;
        MainStatusBar *sbStatus = nullptr;
        TfmFindFrm *fmFindFrm = nullptr;
        QWidget *window = nullptr; // parent of the dialogs and repainted during marks
    };
    struct Actions
    {
        QAction *acMarkAsRead = nullptr, *acMarkAsUnread = nullptr, *acCopyLink = nullptr;
        QAction *acOpenLink = nullptr, *acSendAsMail = nullptr, *acSaveToFile = nullptr;
        QAction *acPrintHeader = nullptr, *acOpenInNewWindow = nullptr;
        QAction *acCopyToClipBoard = nullptr, *acSelectAll = nullptr, *acFind = nullptr;
    };
    // The name the export writes to; empty when the user cancelled.
    using ExportNameAsker = std::function<QString()>;
    // Hands an address to the desktop (the web browser or the mail program).
    using DesktopOpener = std::function<bool(const QUrl &url)>;

    // The rows the commands work on, and where their items live, come from `rows`.
    ItemCommandsController(const Widgets &widgets, const Actions &actions, RowsOnShow &rows,
                           const UserFolder &folder, IMessageBoxes &boxes, QObject *parent);

    void setExportNameAsker(ExportNameAsker asker) { m_askExportName = std::move(asker); }
    void setDesktopOpener(DesktopOpener opener) { m_open = std::move(opener); }

    QTimer *tmMarkAsUnread() const { return m_tmMarkAsUnread; }
    // The export's save dialog, made at its first use.
    QFileDialog *sdExportXML();
    // The enabled states of the item commands from the facts of the moment.
    void updateActions(const ActionFacts &facts);

public slots:
    void acMarkAsReadExecute();
    void acMarkAsUnreadExecute();
    void tmMarkAsUnreadTimer();
    // A change of the header list: starts the delayed mark unless a count runs already.
    void startDelayedMark();
    // Leaving the program: no mark is due any more (interval 0).
    void stopDelayedMark();
    void acCopyLinkExecute();
    void acOpenLinkExecute();
    void acSendAsMailExecute();
    void acSaveToFileExecute();
    void acPrintHeaderExecute();
    void acCopyToClipBoardExecute();
    void acSelectAllExecute();
    void acFindExecute();
    // The find dialog opened for a search across all channels.
    void acFindInChannelsExecute();

signals:
    // Read marks changed in the shown document (it is written back at the usual moments).
    void marksChanged();
    // The find asked for the archive: its rows whose field holds the text are to be shown.
    void archiveFindRequested(int field, const QString &text);
    // The same for every channel's items, shown as one list.
    void channelsFindRequested(int field, const QString &text);

private:
    void markRows(bool unread);
    // True when `file` is missing or the user lets it be replaced.
    bool mayReplace(const QString &file);
    int firstSelectedRow() const;
    QString firstSelectedLink();
    // The item node of a row on show; a null node when it leads to no item.
    XmlNode itemNode(const HeaderRow &row);
    // Selects the rows where `field` holds `text`; false when none does.
    bool findInList(int field, const QString &text);

    Widgets m_w;
    Actions m_a;
    RowsOnShow &m_onShow;
    HeaderListModel &m_rows;
    const UserFolder &m_folder;
    IMessageBoxes &m_boxes;
    QTimer *m_tmMarkAsUnread = nullptr;
    ExportNameAsker m_askExportName;
    QPointer<QFileDialog> m_sdExportXML;
    DesktopOpener m_open;
};
