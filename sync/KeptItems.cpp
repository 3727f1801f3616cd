#include "sync/KeptItems.h"

#include "feed/TextOps.h"
#include "xml/XmlDocument.h"

#include <QDateTime>
#include <QFile>

namespace {

const QString DroppedAttribute = QStringLiteral("dropped");

// The element whose children are the items: `channel` in RSS 0.9x/2.0, the root in RDF.
XmlNode itemContainer(const XmlDocument &document)
{
    const XmlNode root = document.documentElement();
    if (!root || root.nodeName() != QLatin1String("rss"))
        return root;
    return root.findChild(QStringLiteral("channel"));
}

QString childText(const XmlNode &item, const QString &localName)
{
    for (XmlNode child = item.firstChild(); child; child = child.nextSibling()) {
        if (child.isElement() && child.localName() == localName) {
            try {
                return child.text().trimmed();
            } catch (const std::exception &) {
                return {};
            }
        }
    }
    return {};
}

// The item's own date: pubDate as an update leaves it (yyyy-MM-dd) or as the feed sent it,
// else dc:date (ISO 8601); invalid when it has none that reads.
QDate itemDate(const XmlNode &item)
{
    const QString pubDate = childText(item, QStringLiteral("pubDate"));
    if (!pubDate.isEmpty()) {
        QDate date = QDate::fromString(pubDate.left(10), Qt::ISODate);
        if (!date.isValid())
            date = QDateTime::fromString(pubDate, Qt::RFC2822Date).date();
        if (date.isValid())
            return date;
    }
    return QDate::fromString(childText(item, QStringLiteral("date")).left(10), Qt::ISODate);
}

} // namespace

int KeepDroppedItems(const QString &oldFile, XmlDocument &document,
                     const QSet<QString> &presentTitles, int days, const QDate &today)
{
    XmlNode container = itemContainer(document);
    if (days <= 0 || !container || !QFile::exists(oldFile))
        return 0;
    int kept = 0;
    try {
        XmlDocument old;
        old.loadFromFile(oldFile);
        const XmlNode from = itemContainer(old);
        for (XmlNode item = from ? from.firstChild() : XmlNode(); item; item = item.nextSibling()) {
            if (!item.isElement() || item.localName() != QLatin1String("item"))
                continue;
            if (presentTitles.contains(childText(item, QStringLiteral("title")).toCaseFolded()))
                continue;
            QDate since = itemDate(item);
            const bool undated = !since.isValid();
            if (undated) {
                since = QDate::fromString(item.attribute(DroppedAttribute), Qt::ISODate);
                if (!since.isValid())
                    since = today;
            }
            if (since.daysTo(today) >= days)
                continue;
            XmlNode copy = container.appendChild(item.cloneNode(true));
            copy.setAttribute(QStringLiteral("GUID"), NewGuidText());
            if (undated)
                copy.setAttribute(DroppedAttribute, since.toString(Qt::ISODate));
            ++kept;
        }
    } catch (const std::exception &) {
        // The marks of a file that cannot be read are lost already; its items go with them.
    }
    return kept;
}
