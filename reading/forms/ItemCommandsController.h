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
class ShownChannel;
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
    // The item node of a row (GetItemNode); a null node when there is none.
    using ItemNodeSource = std::function<XmlNode(const HeaderRow &row)>;
    // Stores an archive row's read mark at once; raises on a database error.
    using ArchiveMarker = std::function<void(const QString &guid, bool unread)>;
    // Shows the archive rows whose field holds the text; false when none does.
    using ArchiveFinder = std::function<bool(int field, const QString &text)>;
    // The name the export writes to; empty when the user cancelled.
    using ExportNameAsker = std::function<QString()>;
    // Hands an address to the desktop (the web browser or the mail program).
    using DesktopOpener = std::function<bool(const QUrl &url)>;

    ItemCommandsController(const Widgets &widgets, const Actions &actions, HeaderListModel &rows,
                           ShownChannel &shown, const UserFolder &folder, IMessageBoxes &boxes,
                           QObject *parent);

    void setItemNodeSource(ItemNodeSource source) { m_itemNode = std::move(source); }
    void setArchiveMarker(ArchiveMarker marker) { m_archiveMark = std::move(marker); }
    void setArchiveFinder(ArchiveFinder finder) { m_archiveFind = std::move(finder); }
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

signals:
    // Read marks changed in the shown document (it is written back at the usual moments).
    void marksChanged();

private:
    void markRows(bool unread);
    // True when `file` is missing or the user lets it be replaced.
    bool mayReplace(const QString &file);
    int firstSelectedRow() const;
    QString firstSelectedLink();
    // Selects the rows where `field` holds `text`; false when none does.
    bool findInList(int field, const QString &text);

    Widgets m_w;
    Actions m_a;
    HeaderListModel &m_rows;
    ShownChannel &m_shown;
    const UserFolder &m_folder;
    IMessageBoxes &m_boxes;
    QTimer *m_tmMarkAsUnread = nullptr;
    ItemNodeSource m_itemNode;
    ArchiveMarker m_archiveMark;
    ArchiveFinder m_archiveFind;
    ExportNameAsker m_askExportName;
    QPointer<QFileDialog> m_sdExportXML;
    DesktopOpener m_open;
};
