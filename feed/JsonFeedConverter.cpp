#include "feed/JsonFeedConverter.h"

#include "feed/FeedNormaliser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringList>

namespace FeedConversion {

namespace {

QString stringOf(const QJsonObject &object, const char *key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    return value.isString() ? value.toString() : QString();
}

// Ids of version 1 documents are sometimes numbers.
QString idOf(const QJsonObject &object)
{
    const QJsonValue value = object.value(QLatin1String("id"));
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', 17);
    return stringOf(object, "id").trimmed();
}

// Version 1.1 has "authors"; version 1 had one "author". Both are read, the list first.
QString authorsOf(const QJsonObject &object)
{
    QStringList names;
    for (const QJsonValue &author : object.value(QLatin1String("authors")).toArray())
        names.append(stringOf(author.toObject(), "name").simplified());
    if (names.isEmpty())
        names.append(
            stringOf(object.value(QLatin1String("author")).toObject(), "name").simplified());
    names.removeAll(QString());
    return names.join(QStringLiteral(", "));
}

QString htmlOfPlainText(const QString &text)
{
    QString html = text.toHtmlEscaped();
    html.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    html.replace(QLatin1Char('\n'), QStringLiteral("<br/>"));
    return html;
}

ConvertedItem readItem(const QJsonObject &object, const QString &address, const QString &feedAuthor)
{
    ConvertedItem item;
    item.title = stringOf(object, "title").simplified();
    item.link = resolveAddress(address, stringOf(object, "url"));
    if (item.link.isEmpty())
        item.link = resolveAddress(address, stringOf(object, "external_url"));
    const QString html = stringOf(object, "content_html");
    const QString text = stringOf(object, "content_text");
    const QString summary = stringOf(object, "summary");
    if (!html.trimmed().isEmpty())
        item.description = html;
    else if (!text.trimmed().isEmpty())
        item.description = htmlOfPlainText(text);
    else
        item.description = htmlOfPlainText(summary);
    item.guid = idOf(object);
    item.date = parseIsoDate(stringOf(object, "date_published"));
    if (!item.date.isValid())
        item.date = parseIsoDate(stringOf(object, "date_modified"));
    item.author = authorsOf(object);
    if (item.author.isEmpty())
        item.author = feedAuthor;
    for (const QJsonValue &value : object.value(QLatin1String("attachments")).toArray()) {
        const QJsonObject attachment = value.toObject();
        ConvertedEnclosure enclosure;
        enclosure.url = resolveAddress(address, stringOf(attachment, "url"));
        enclosure.type = stringOf(attachment, "mime_type").trimmed();
        const QJsonValue size = attachment.value(QLatin1String("size_in_bytes"));
        if (size.isDouble() && size.toDouble() >= 0 && size.toDouble() < 9e15)
            enclosure.length = qint64(size.toDouble());
        if (!enclosure.url.isEmpty())
            item.enclosures.append(enclosure);
    }
    return item;
}

} // namespace

bool looksLikeJson(const QByteArray &document)
{
    qsizetype i = document.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < document.size() && (document.at(i) == ' ' || document.at(i) == '\t' ||
                                   document.at(i) == '\r' || document.at(i) == '\n'))
        ++i;
    return i < document.size() && document.at(i) == '{';
}

ConvertedFeed readJsonFeed(const QByteArray &document, const QString &address)
{
    if (document.size() > MaxJsonFeedBytes)
        throw FeedFormatError(QStringLiteral("The JSON document is too large"));
    const QByteArray text = document.startsWith("\xEF\xBB\xBF") ? document.mid(3) : document;
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        throw FeedFormatError(QStringLiteral("Malformed JSON at offset %1: %2")
                                  .arg(error.offset)
                                  .arg(error.errorString()));
    const QJsonObject root = json.object();
    const QString version = stringOf(root, "version").trimmed();
    if (!json.isObject() || !version.contains(QLatin1String("jsonfeed.org/version/")))
        throw FeedFormatError(QStringLiteral("The JSON document is not a JSON Feed"));

    ConvertedFeed feed;
    feed.title = stringOf(root, "title").simplified();
    feed.link = resolveAddress(address, stringOf(root, "home_page_url"));
    feed.description = stringOf(root, "description").simplified();
    feed.imageUrl = resolveAddress(address, stringOf(root, "icon"));
    if (feed.imageUrl.isEmpty())
        feed.imageUrl = resolveAddress(address, stringOf(root, "favicon"));
    const QString feedAuthor = authorsOf(root);
    for (const QJsonValue &item : root.value(QLatin1String("items")).toArray())
        if (item.isObject())
            feed.items.append(readItem(item.toObject(), address, feedAuthor));
    return feed;
}

} // namespace FeedConversion
