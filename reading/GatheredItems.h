#pragma once

#include "base/UserFolder.h"
#include "reading/ItemSource.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class ItemPageRenderer;
struct ItemLook;
class XmlDocument;

// Where the items of a list gathered from several channels live (a group's items, search
// results): each row's own channel's cache file. Nothing is held between commands: a read
// mark is kept back until its command ends, then each channel's file is written once, in
// full or not at all; the document of the item shown last is kept for the item view, and
// let go whenever its file changes.
class GatheredItems : public QObject, public IItemSource
{
    Q_OBJECT
public:
    explicit GatheredItems(QObject *parent = nullptr);
    ~GatheredItems() override;

    void setFolder(const UserFolder &folder) { m_folder = folder; }
    // Which sheets items are shown with (dark ones on a dark desktop).
    void setLook(const ItemLook *look) { m_look = look; }

    // The item of the row in its channel's cache file; null when the file is gone or no
    // longer holds the item (an update gave every item a new GUID).
    XmlNode itemNode(const HeaderRow &row) override;
    // Kept back until storeMarks(); false when the row names no channel.
    bool setUnread(const HeaderRow &row, bool unread) override;
    MarksStored storeMarks() override;
    QString showItem(const HeaderRow &row) override;
    ItemView viewItem(const HeaderRow &row) override;
    void exportItem(const HeaderRow &row, const QString &exportName) override;
    // Marks still kept back are stored; the document is let go.
    void rowsLeft() override;

    // The channel's cache file was replaced or deleted: what was read of it is let go, and
    // marks kept back for it are dropped (their items are gone).
    void forgetChannel(const QString &chGuid);
    // True while marks wait for storeMarks().
    bool marksPending() const { return !m_pending.isEmpty(); }

private:
    struct Loaded;
    Loaded *load(const QString &chGuid);

    bool dark() const;

    UserFolder m_folder;
    const ItemLook *m_look = nullptr;
    std::unique_ptr<Loaded> m_loaded; // the channel read last
    std::unique_ptr<ItemPageRenderer> m_pages;
    // Channel GUID -> item GUID -> unread.
    QHash<QString, QHash<QString, bool>> m_pending;
};
