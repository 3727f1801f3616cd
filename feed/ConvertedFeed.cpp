#include "feed/ConvertedFeed.h"

#include "feed/HtmlText.h"

#include <QUrl>
#include <QXmlStreamWriter>

namespace FeedConversion {

namespace {

const char *const DublinCoreNamespace = "http://purl.org/dc/elements/1.1/";
const int DerivedTitleLength = 80;

// Characters XML 1.0 cannot carry at all (JSON strings may hold them) are dropped, and
// so are lone surrogates, which no encoder can write.
QString xmlSafe(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 < text.size() && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
                out.append(text.at(i));
                out.append(text.at(++i));
            }
            continue;
        }
        if (QChar::isLowSurrogate(c))
            continue;
        if (c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c != 0xFFFE && c != 0xFFFF))
            out.append(QChar(c));
    }
    return out;
}

void textElement(QXmlStreamWriter &xml, const QString &name, const QString &value)
{
    xml.writeTextElement(name, xmlSafe(value));
}

QString derivedTitle(const QString &description)
{
    const QString text = plainTextOfHtml(description);
    if (text.size() <= DerivedTitleLength)
        return text;
    qsizetype cut = text.lastIndexOf(QLatin1Char(' '), DerivedTitleLength);
    if (cut < DerivedTitleLength / 2)
        cut = DerivedTitleLength;
    return text.left(cut) + QChar(0x2026);
}

void writeItem(QXmlStreamWriter &xml, const ConvertedItem &item)
{
    xml.writeStartElement(QStringLiteral("item"));
    textElement(xml, QStringLiteral("title"),
                item.title.isEmpty() ? derivedTitle(item.description) : item.title);
    if (!item.link.isEmpty())
        textElement(xml, QStringLiteral("link"), item.link);
    if (!item.description.isEmpty())
        textElement(xml, QStringLiteral("description"), item.description);
    if (!item.guid.isEmpty()) {
        xml.writeStartElement(QStringLiteral("guid"));
        xml.writeAttribute(QStringLiteral("isPermaLink"), QStringLiteral("false"));
        xml.writeCharacters(xmlSafe(item.guid));
        xml.writeEndElement();
    }
    if (item.date.isValid())
        textElement(xml, QStringLiteral("pubDate"), rfc822Date(item.date));
    if (!item.author.isEmpty())
        xml.writeTextElement(QString::fromLatin1(DublinCoreNamespace), QStringLiteral("creator"),
                             xmlSafe(item.author));
    for (const ConvertedEnclosure &enclosure : item.enclosures) {
        if (enclosure.url.isEmpty())
            continue;
        xml.writeEmptyElement(QStringLiteral("enclosure"));
        xml.writeAttribute(QStringLiteral("url"), xmlSafe(enclosure.url));
        xml.writeAttribute(QStringLiteral("length"),
                           QString::number(qMax<qint64>(0, enclosure.length)));
        if (!enclosure.type.isEmpty())
            xml.writeAttribute(QStringLiteral("type"), xmlSafe(enclosure.type));
    }
    xml.writeEndElement();
}

} // namespace

QString plainTextOfHtml(const QString &html)
{
    return HtmlText::VisibleText(html);
}

QString rfc822Date(const QDateTime &date)
{
    static const char *const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate day = date.date();
    const QTime time = date.time();
    const int offset = date.offsetFromUtc() / 60;
    const QString zone = offset == 0 ? QStringLiteral("GMT")
                                     : QStringLiteral("%1%2%3")
                                           .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                                           .arg(qAbs(offset) / 60, 2, 10, QLatin1Char('0'))
                                           .arg(qAbs(offset) % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1, %2 %3 %4 %5 %6")
        .arg(QLatin1String(days[day.dayOfWeek() - 1]))
        .arg(day.day(), 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(months[day.month() - 1]))
        .arg(day.year(), 4, 10, QLatin1Char('0'))
        .arg(time.toString(QStringLiteral("HH:mm:ss")), zone);
}

QDateTime parseIsoDate(const QString &text)
{
    QString value = text.trimmed().toUpper(); // RFC 3339 allows "t" and "z"
    if (value.size() > 10 && value.at(10) == QLatin1Char(' '))
        value[10] = QLatin1Char('T');
    QDateTime date = QDateTime::fromString(value, Qt::ISODateWithMs);
    if (!date.isValid())
        date = QDateTime::fromString(value, Qt::ISODate);
    if (date.isValid() && date.timeSpec() == Qt::LocalTime)
        date.setTimeSpec(Qt::UTC); // a date without an offset is taken as UTC
    return date.isValid() && date.date().year() > 0 ? date : QDateTime();
}

QString resolveAddress(const QString &base, const QString &address)
{
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty() || base.isEmpty())
        return trimmed;
    const QUrl relative(trimmed, QUrl::TolerantMode);
    if (!relative.isValid() || !relative.isRelative())
        return trimmed;
    const QUrl from(base, QUrl::TolerantMode);
    if (!from.isValid())
        return trimmed;
    return from.resolved(relative).toString();
}

QByteArray writeRss(const ConvertedFeed &feed)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();
    xml.writeNamespace(QString::fromLatin1(DublinCoreNamespace), QStringLiteral("dc"));
    xml.writeStartElement(QStringLiteral("rss"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("2.0"));
    xml.writeStartElement(QStringLiteral("channel"));
    textElement(xml, QStringLiteral("title"), feed.title);
    textElement(xml, QStringLiteral("link"), feed.link);
    textElement(xml, QStringLiteral("description"), feed.description);
    if (!feed.copyright.isEmpty())
        textElement(xml, QStringLiteral("copyright"), feed.copyright);
    if (!feed.imageUrl.isEmpty()) {
        xml.writeStartElement(QStringLiteral("image"));
        textElement(xml, QStringLiteral("url"), feed.imageUrl);
        textElement(xml, QStringLiteral("title"), feed.title);
        textElement(xml, QStringLiteral("link"), feed.link);
        xml.writeEndElement();
    }
    for (const ConvertedItem &item : feed.items)
        writeItem(xml, item);
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}

} // namespace FeedConversion
