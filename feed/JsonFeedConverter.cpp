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

// Where the elements of the root object's "items" array lie in the text, found by a scan
// that knows only strings and nesting. Empty `items` and false when the array cannot be
// found or its brackets do not balance.
struct ItemSpans
{
    qsizetype arrayBegin = -1; // the "["
    qsizetype arrayEnd = -1;   // just after the "]"
    QList<QPair<qsizetype, qsizetype>> items; // [begin, end) of every element
};

bool findItemSpans(const QByteArray &text, ItemSpans &spans)
{
    int depth = 0;
    bool inString = false;
    qsizetype stringBegin = -1;
    QByteArray lastKey;
    qsizetype elementBegin = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"') {
                inString = false;
                if (depth == 1)
                    lastKey = text.mid(stringBegin + 1, i - stringBegin - 1);
            }
            continue;
        }
        switch (c) {
        case '"':
            inString = true;
            stringBegin = i;
            break;
        case '{':
        case '[':
            if (depth == 1 && c == '[' && lastKey == "items" && spans.arrayBegin < 0) {
                spans.arrayBegin = i;
                elementBegin = i + 1;
            }
            ++depth;
            break;
        case '}':
        case ']':
            --depth;
            if (depth < 0)
                return false;
            if (depth == 1 && spans.arrayBegin >= 0 && spans.arrayEnd < 0) {
                if (!text.mid(elementBegin, i - elementBegin).trimmed().isEmpty())
                    spans.items.append({elementBegin, i});
                spans.arrayEnd = i + 1;
            }
            break;
        case ',':
            if (depth == 2 && spans.arrayBegin >= 0 && spans.arrayEnd < 0) {
                spans.items.append({elementBegin, i});
                elementBegin = i + 1;
            }
            break;
        case ':':
            break; // between a key and its value: the key still counts
        default:
            if (depth == 1 && c != ' ' && c != '\t' && c != '\r' && c != '\n')
                lastKey.clear(); // a value, not a key, came last
            break;
        }
    }
    return depth == 0 && !inString && spans.arrayEnd > spans.arrayBegin;
}

// A document whose only fault lies inside some items (a number out of range, a missing
// comma): the channel with those items left out. Null when the fault is elsewhere.
QJsonObject rootWithoutBadItems(const QByteArray &text, QJsonArray &items)
{
    ItemSpans spans;
    if (!findItemSpans(text, spans))
        return QJsonObject();
    const QByteArray rest = text.left(spans.arrayBegin) + "[]" + text.mid(spans.arrayEnd);
    QJsonParseError error;
    const QJsonDocument root = QJsonDocument::fromJson(rest, &error);
    if (error.error != QJsonParseError::NoError || !root.isObject())
        return QJsonObject();
    for (const auto &span : spans.items) {
        const QJsonDocument one = QJsonDocument::fromJson(
            '[' + text.mid(span.first, span.second - span.first) + ']', &error);
        if (error.error == QJsonParseError::NoError)
            items.append(one.array().at(0));
    }
    return root.object();
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
    QJsonObject root = json.object();
    QJsonArray items = root.value(QLatin1String("items")).toArray();
    if (error.error != QJsonParseError::NoError) {
        root = rootWithoutBadItems(text, items);
        if (root.isEmpty())
            throw FeedFormatError(QStringLiteral("Malformed JSON at offset %1: %2")
                                      .arg(error.offset)
                                      .arg(error.errorString()));
    } else if (!json.isObject()) {
        throw FeedFormatError(QStringLiteral("The JSON document is not a JSON Feed"));
    }
    const QString version = stringOf(root, "version").trimmed();
    if (!version.contains(QLatin1String("jsonfeed.org/version/")))
        throw FeedFormatError(QStringLiteral("The JSON document is not a JSON Feed"));

    ConvertedFeed feed;
    feed.title = stringOf(root, "title").simplified();
    feed.link = resolveAddress(address, stringOf(root, "home_page_url"));
    feed.description = stringOf(root, "description").simplified();
    feed.imageUrl = resolveAddress(address, stringOf(root, "icon"));
    if (feed.imageUrl.isEmpty())
        feed.imageUrl = resolveAddress(address, stringOf(root, "favicon"));
    const QString feedAuthor = authorsOf(root);
    for (const QJsonValue &item : std::as_const(items))
        if (item.isObject())
            feed.items.append(readItem(item.toObject(), address, feedAuthor));
    return feed;
}

} // namespace FeedConversion
