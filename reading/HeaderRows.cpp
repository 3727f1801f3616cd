#include "reading/HeaderRows.h"

#include "feed/FeedNormaliser.h"

QString headerColumnText(const HeaderRow &row, int column)
{
    switch (column) {
    case ColTitle:
        return row.title;
    case ColDate:
        return row.date;
    case ColAuthor:
        return row.author;
    case ColId:
        return QString::number(row.id);
    case ColGuid:
        return row.guid;
    case ColChGuid:
        return row.chGuid;
    case ColVersion:
        return row.version;
    case ColChName:
        return row.chName;
    default:
        return QString();
    }
}

namespace {

const QString NoValue = QStringLiteral("b.d.");

bool isItem(const XmlNode &node)
{
    return node.isElement() && node.localName() == QLatin1String("item");
}

// A plain substring test after lower-casing both sides.
bool passesFilter(XmlNode item, const QString &keywordLower)
{
    if (keywordLower.isEmpty())
        return true;
    if (item.child(QStringLiteral("title")).text().toLower().contains(keywordLower))
        return true;
    return item.child(QStringLiteral("description")).text().toLower().contains(keywordLower);
}

// Dublin Core date and creator; the last of each name wins. A child that cannot be read ends
// this walk only.
void readDublinCore(const XmlNode &item, HeaderRow &row)
{
    try {
        for (XmlNode child = item.firstChild(); child; child = child.nextSibling()) {
            if (!child.isElement())
                continue;
            const QString name = child.localName();
            if (name == QLatin1String("date"))
                row.date = child.text();
            else if (name == QLatin1String("creator"))
                row.author = child.text();
        }
    } catch (const XmlError &) {
    }
}

bool isUnreadMark(const XmlNode &unread)
{
    return unread && unread.text() == QLatin1String("1");
}

} // namespace

HeaderRowsResult ReadHeaderRows(const NormalisedFeed &feed, const XmlDocument &document,
                                const QString &chGuid, const QString &chName,
                                const QString &keyword)
{
    HeaderRowsResult result;
    if (feed.firstItem.isNull())
        return result;
    const QString keywordLower = keyword.toLower();
    const XmlNode root = document.documentElement();
    const bool dublinCore =
        (feed.version == QLatin1String("1.0") || feed.version == QLatin1String("2.0")) &&
        !root.lookupNamespaceURI(QStringLiteral("dc")).isNull();

    int id = 0;
    try {
        for (XmlNode node = feed.firstItem; node; node = node.nextSibling(), ++id) {
            result.itemNodes.push_back(node);
            if (!isItem(node))
                continue;
            if (!passesFilter(node, keywordLower)) {
                result.unreadCount += isUnreadMark(node.findChild(QStringLiteral("unread")));
                continue;
            }
            HeaderRow row;
            row.title = node.child(QStringLiteral("title")).text();
            row.date = NoValue;
            row.author = NoValue;
            const QString pubDate = node.child(QStringLiteral("pubDate")).text();
            if (!pubDate.isEmpty())
                row.date = pubDate;
            if (dublinCore)
                readDublinCore(node, row);
            row.unread = isUnreadMark(node.child(QStringLiteral("unread")));
            row.id = id;
            row.guid = node.attribute(QStringLiteral("GUID"));
            if (row.guid.isNull())
                row.guid = QStringLiteral("");
            row.chGuid = chGuid;
            row.version = feed.version;
            row.chName = chName;
            result.unreadCount += row.unread;
            result.rows.push_back(std::move(row));
        }
    } catch (const XmlError &) {
        result.formatError = true;
    }
    return result;
}
