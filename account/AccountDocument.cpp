#include "account/AccountDocument.h"

#include "account/TtrssApi.h"
#include "feed/ConvertedFeed.h"

#include <QDateTime>
#include <QFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

const QString GuidPrefix = QStringLiteral("tt-rss:");

// Characters XML 1.0 cannot carry are dropped: a server's text is untrusted.
QString xmlSafe(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const ushort u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
        } else if (u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u < 0xD800) ||
                   (u >= 0xE000 && u <= 0xFFFD)) {
            out += c;
        }
    }
    return out;
}

} // namespace

AccountItem AccountItemFromHeadline(const TtrssHeadline &h)
{
    AccountItem item;
    item.id = h.id;
    item.title = h.title;
    item.link = h.link;
    item.description = h.content;
    item.author = h.author;
    item.unread = h.unread;
    if (h.updated > 0)
        item.pubDate = FeedConversion::rfc822Date(QDateTime::fromSecsSinceEpoch(h.updated).toUTC());
    return item;
}

QList<AccountItem> ReadAccountItems(const QString &cacheFile, bool *ok)
{
    QList<AccountItem> items;
    *ok = false;
    QFile file(cacheFile);
    if (!file.open(QIODevice::ReadOnly))
        return items;
    QXmlStreamReader xml(&file);
    AccountItem item;
    bool inItem = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QStringView name = xml.name();
            if (name == QLatin1String("item")) {
                inItem = true;
                item = AccountItem();
            } else if (inItem) {
                const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                if (name == QLatin1String("title"))
                    item.title = text;
                else if (name == QLatin1String("link"))
                    item.link = text;
                else if (name == QLatin1String("description"))
                    item.description = text;
                else if (name == QLatin1String("pubDate"))
                    item.pubDate = text;
                else if (name == QLatin1String("author"))
                    item.author = text;
                else if (name == QLatin1String("unread"))
                    item.unread = text.trimmed() != QLatin1String("0");
                else if (name == QLatin1String("guid") && text.startsWith(GuidPrefix))
                    item.id = text.mid(GuidPrefix.size()).toInt();
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("item")) {
            inItem = false;
            if (item.id > 0)
                items.append(item);
        }
    }
    if (xml.hasError()) {
        items.clear();
        return items;
    }
    *ok = true;
    return items;
}

QByteArray WriteAccountDocument(const QString &title, const QList<AccountItem> &items)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("rss"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("2.0"));
    xml.writeStartElement(QStringLiteral("channel"));
    xml.writeTextElement(QStringLiteral("title"), xmlSafe(title));
    xml.writeTextElement(QStringLiteral("link"), QString());
    xml.writeTextElement(QStringLiteral("description"), QString());
    for (const AccountItem &item : items) {
        xml.writeStartElement(QStringLiteral("item"));
        xml.writeTextElement(QStringLiteral("title"), xmlSafe(item.title));
        xml.writeTextElement(QStringLiteral("link"), xmlSafe(item.link));
        xml.writeTextElement(QStringLiteral("description"), xmlSafe(item.description));
        if (!item.pubDate.isEmpty())
            xml.writeTextElement(QStringLiteral("pubDate"), xmlSafe(item.pubDate));
        if (!item.author.isEmpty())
            xml.writeTextElement(QStringLiteral("author"), xmlSafe(item.author));
        xml.writeStartElement(QStringLiteral("guid"));
        xml.writeAttribute(QStringLiteral("isPermaLink"), QStringLiteral("false"));
        xml.writeCharacters(GuidPrefix + QString::number(item.id));
        xml.writeEndElement();
        xml.writeTextElement(QStringLiteral("unread"), item.unread ? QStringLiteral("1")
                                                                  : QStringLiteral("0"));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return bytes;
}
