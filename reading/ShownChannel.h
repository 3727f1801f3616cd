#pragma once

#include "base/UserFolder.h"
#include "reading/HeaderRow.h"
#include "reading/ItemSource.h"
#include "sync/ShownDocument.h"
#include "xml/XmlDocument.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class IChannelFiles;
class IReportSink;
class ItemPageRenderer;
struct ItemLook;

// What a fill of the header list gives.
struct HeaderFill
{
    enum class Outcome {
        Filled,      // the document was read, perhaps only in part (formatError)
        NoCacheFile, // nothing to show: the browser goes blank
        Unreadable,  // the file cannot be parsed; reported, nothing written back
    };
    Outcome outcome = Outcome::Filled;
    std::vector<HeaderRow> rows; // in document order
    int unreadCount = 0;         // of the whole document, filtered or not
    bool formatError = false;    // reported as "Zły format kanału <name>"
};

// The channel on show: the one shared document `xmlDocument` that holds its cache file
// while the header list and the item view read it and the read marks change it. It is
// written back when another channel is shown, at the end of a fill, before an update and
// at closing. It also reads the tree file once at start-up.
class ShownChannel : public QObject, public IShownDocument, public IItemSource
{
    Q_OBJECT
public:
    explicit ShownChannel(QObject *parent = nullptr);
    ~ShownChannel() override;

    // Where items are shown from (the working style sheet, the cache files).
    void setFolder(const UserFolder &folder) { m_folder = folder; }
    // Which variant of the style sheets items are shown with; the light one without it.
    void setLook(const ItemLook *look) { m_look = look; }
    // True while an update or a run may own the channels' download files: a fill then
    // leaves the download copy of the channel on show where it is.
    void setDownloadsInUse(std::function<bool()> inUse) { m_downloadsInUse = std::move(inUse); }

    // Whoever holds the document may change it: it is written back at the next occasion.
    XmlDocument &document() override
    {
        m_unsaved = true;
        return *m_document;
    }
    const XmlDocument &document() const { return *m_document; }
    // True when `cacheFile` is the file on show.
    bool shows(const QString &cacheFile) const;

    // Saves the document to its file when it may differ from it: an update of every channel
    // of a run writes the channel on show once, not once per channel.
    void writeBack() override;
    // `cacheFile` is about to be deleted: when it is the file on show, the rows on show go
    // first (closing), then the document lets go of it unsaved.
    void closeFile(const QString &cacheFile);
    // Rows from elsewhere take the list (a group's items): the marks go back to the file and
    // the document lets go of it, so that no later write-back brings back what the file
    // held before others wrote to it.
    void release();
    void beginReplace(const QString &cacheFile) override;
    void endReplace(const QString &cacheFile) override;

    // The header list's fill without the widgets: writes the channel on show back (and
    // removes its leftover download copy), reads the channel's cache file unless
    // `reuseDocument` (then the document in memory is read as it is), walks its items with
    // the keyword filter, and writes the document back when the walk added elements to it.
    // Problems go to `report`; nothing is raised.
    HeaderFill fillHeaders(const QString &guid, const QString &name, const QString &keyword,
                           bool reuseDocument, const IChannelFiles &files, IReportSink &report);
    // The node a walk of `id` steps from the first item reaches (GetItemNode): the live
    // element, so changes to it are written back. Null when the id leads nowhere, and after
    // the document has been let go or read anew, until the next fill.
    XmlNode itemNode(int id) const;

    // IItemSource over the items of the last fill. A row whose GUID is not that of the item
    // its ID leads to (a row from before an update) leads nowhere.
    XmlNode itemNode(const HeaderRow &row) override;
    bool setUnread(const HeaderRow &row, bool unread) override;
    QString showItem(const HeaderRow &row) override;
    // The page is made from the document in memory; when it cannot be, the address alone
    // is given and the browser renders the cache file.
    ItemView viewItem(const HeaderRow &row) override;
    QByteArray pageAgain() override;
    void exportItem(const HeaderRow &row, const QString &exportName) override;
    XmlNode firstItemNode() const { return m_firstItemNode; }
    // Every item of the document on show marked read in memory, filtered out of the list or
    // not; gives the number changed. Raises XmlError.
    int markAllRead();
    // The version text of the document on show, e.g. "1.0" or "2.0".
    const QString &shownVersion() const { return m_shownVersion; }

signals:
    // The document is about to let go of its file and its nodes: rows pointing into it go.
    void closing();
    // True while the file on show is being replaced (the header list is disabled), false
    // once it has been read again.
    void replacing(bool replacing);
    // The file on show was read again: the item view refreshes.
    void reloaded();
    // An update has finished with `cacheFile` (replaced or not), whether it is on show or
    // not: counts read from it follow.
    void cacheFileReplaced(const QString &cacheFile);

private:
    void forgetItems();
    void writeBackBeforeShowing(const IChannelFiles &files);

    std::unique_ptr<XmlDocument> m_document;
    std::vector<XmlNode> m_itemNodes; // by ID, gaps included
    XmlNode m_firstItemNode;
    QString m_shownVersion;
    UserFolder m_folder;
    const ItemLook *m_look = nullptr;
    std::function<bool()> m_downloadsInUse;
    std::unique_ptr<ItemPageRenderer> m_pages;
    QString m_shownSheet; // the working sheet of the item shown last
    // The document may hold changes its file does not: set by every way into its nodes.
    mutable bool m_unsaved = false;
};
