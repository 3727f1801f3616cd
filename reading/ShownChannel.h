#pragma once

#include "reading/HeaderRow.h"
#include "sync/ShownDocument.h"
#include "xml/XmlDocument.h"

#include <QObject>

#include <memory>
#include <vector>

class IChannelFiles;
class IReportSink;

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
class ShownChannel : public QObject, public IShownDocument
{
    Q_OBJECT
public:
    explicit ShownChannel(QObject *parent = nullptr);
    ~ShownChannel() override;

    XmlDocument &document() override { return *m_document; }
    const XmlDocument &document() const { return *m_document; }
    // True when `cacheFile` is the file on show.
    bool shows(const QString &cacheFile) const;

    void writeBack() override;
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
    XmlNode firstItemNode() const { return m_firstItemNode; }
    // The version text of the document on show, e.g. "1.0" or "2.0".
    const QString &shownVersion() const { return m_shownVersion; }

signals:
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
};
