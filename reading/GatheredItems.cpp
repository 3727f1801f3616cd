#include "reading/GatheredItems.h"

#include "reading/ItemLook.h"

#include "feed/FeedNormaliser.h"
#include "reading/HeaderRow.h"
#include "reading/ItemDisplay.h"
#include "reading/ItemExport.h"
#include "reading/ItemLook.h"
#include "reading/ItemPage.h"
#include "reading/ReadingLog.h"
#include "xml/XmlDocument.h"

#include <exception>

namespace {

const QString GuidAttribute = QStringLiteral("GUID");

// The item nodes by ID: every sibling from the first item, as the list counted them.
std::vector<XmlNode> itemNodesOf(XmlDocument &document)
{
    std::vector<XmlNode> nodes;
    const NormalisedFeed feed = NormaliseFeedFile(document);
    for (XmlNode node = feed.firstItem; node; node = node.nextSibling())
        nodes.push_back(node);
    return nodes;
}

} // namespace

struct GatheredItems::Loaded
{
    QString chGuid;
    XmlDocument document;
    std::vector<XmlNode> items;
    QString sheet; // the working sheet of the item shown last from it

    XmlNode item(const HeaderRow &row) const
    {
        if (row.id < 0 || size_t(row.id) >= items.size())
            return XmlNode();
        const XmlNode node = items[size_t(row.id)];
        return node.isElement() && node.attribute(GuidAttribute) == row.guid ? node : XmlNode();
    }
};

GatheredItems::GatheredItems(QObject *parent)
    : QObject(parent), m_pages(std::make_unique<ItemPageRenderer>())
{
}

GatheredItems::~GatheredItems() = default;

GatheredItems::Loaded *GatheredItems::load(const QString &chGuid)
{
    if (m_loaded && m_loaded->chGuid == chGuid)
        return m_loaded.get();
    m_loaded.reset();
    if (chGuid.isEmpty())
        return nullptr;
    auto loaded = std::make_unique<Loaded>();
    loaded->chGuid = chGuid;
    try {
        loaded->document.loadFromFile(m_folder.cacheFile(chGuid));
        loaded->items = itemNodesOf(loaded->document);
    } catch (const std::exception &e) {
        qCWarning(lcReading, "reading the cache file of %s: %s", qPrintable(chGuid), e.what());
        return nullptr;
    }
    m_loaded = std::move(loaded);
    return m_loaded.get();
}

XmlNode GatheredItems::itemNode(const HeaderRow &row)
{
    const Loaded *loaded = load(row.chGuid);
    return loaded ? loaded->item(row) : XmlNode();
}

bool GatheredItems::setUnread(const HeaderRow &row, bool unread)
{
    if (row.chGuid.isEmpty() || row.guid.isEmpty())
        return false;
    m_pending[row.chGuid].insert(row.guid, unread);
    return true;
}

MarksStored GatheredItems::storeMarks()
{
    MarksStored stored;
    const QHash<QString, QHash<QString, bool>> pending = std::exchange(m_pending, {});
    for (auto channel = pending.cbegin(); channel != pending.cend(); ++channel) {
        QHash<QString, bool> marks = channel.value();
        // The document read last is the file as it is: marks go into it, so it stays so.
        std::unique_ptr<Loaded> own;
        Loaded *target = m_loaded && m_loaded->chGuid == channel.key() ? m_loaded.get() : nullptr;
        try {
            if (!target) {
                own = std::make_unique<Loaded>();
                own->document.loadFromFile(m_folder.cacheFile(channel.key()));
                own->items = itemNodesOf(own->document);
                target = own.get();
            }
            for (XmlNode &node : target->items) {
                if (!node.isElement())
                    continue;
                const auto mark = marks.find(node.attribute(GuidAttribute));
                if (mark == marks.end())
                    continue;
                node.child(QStringLiteral("unread"))
                    .setText(mark.value() ? QStringLiteral("1") : QStringLiteral("0"));
                marks.erase(mark);
            }
            target->document.save();
        } catch (const std::exception &e) {
            qCWarning(lcReading, "storing marks in %s: %s", qPrintable(channel.key()), e.what());
            if (stored.problem.isEmpty())
                stored.problem = QString::fromUtf8(e.what());
            // What is in memory no longer matches the file.
            if (target == m_loaded.get())
                m_loaded.reset();
            marks = channel.value();
        }
        // Items the file no longer holds, or a file that was not written.
        for (auto left = marks.cbegin(); left != marks.cend(); ++left)
            stored.failed.insert(left.key());
    }
    return stored;
}

QString GatheredItems::showItem(const HeaderRow &row)
{
    if (itemNode(row).isNull())
        return QString();
    if (!ItemDisplay::WriteWorkingSheet(m_folder, ItemDisplay::StyleSheetFor(false, row.version),
                                        row.guid, dark()))
        qCWarning(lcReading, "the working style sheet could not be written");
    return ItemDisplay::ChannelItemAddress(m_folder, row.chGuid, row.guid);
}

ItemView GatheredItems::viewItem(const HeaderRow &row)
{
    const XmlNode item = itemNode(row);
    if (item.isNull())
        return {};
    const QString sheet = ItemDisplay::WorkingSheetText(
        m_folder, ItemDisplay::StyleSheetFor(false, row.version), row.guid, dark());
    // Kept on disk for the export and for a browser that opens the cache file.
    if (!ItemDisplay::WriteWorkingSheetText(m_folder, sheet))
        qCWarning(lcReading, "the working style sheet could not be written");
    m_loaded->sheet = sheet;
    ItemView view{ItemDisplay::ChannelItemAddress(m_folder, row.chGuid, row.guid), {}};
    try {
        view.page = m_pages->render(sheet, item);
    } catch (const std::exception &e) {
        qCWarning(lcReading, "making the item page: %s", e.what());
    }
    return view;
}

void GatheredItems::exportItem(const HeaderRow &row, const QString &exportName)
{
    // Marks are stored as each command ends: the file on disk is the item as listed.
    ExportChannelItem(m_folder.cacheFile(row.chGuid), row.guid, exportName);
}

void GatheredItems::rowsLeft()
{
    if (!m_pending.isEmpty())
        storeMarks();
    m_loaded.reset();
}

bool GatheredItems::dark() const
{
    return m_look && m_look->dark;
}

void GatheredItems::forgetChannel(const QString &chGuid)
{
    m_pending.remove(chGuid);
    if (m_loaded && m_loaded->chGuid == chGuid)
        m_loaded.reset();
}
