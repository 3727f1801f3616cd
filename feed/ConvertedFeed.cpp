#include "feed/ConvertedFeed.h"

#include <QHash>
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

const QHash<QString, char16_t> &namedEntities()
{
    static const QHash<QString, char16_t> entities = {
        {QStringLiteral("amp"), u'&'},      {QStringLiteral("lt"), u'<'},
        {QStringLiteral("gt"), u'>'},       {QStringLiteral("quot"), u'"'},
        {QStringLiteral("apos"), u'\''},    {QStringLiteral("nbsp"), 0xA0},
        {QStringLiteral("hellip"), 0x2026}, {QStringLiteral("ndash"), 0x2013},
        {QStringLiteral("mdash"), 0x2014},  {QStringLiteral("lsquo"), 0x2018},
        {QStringLiteral("rsquo"), 0x2019},  {QStringLiteral("ldquo"), 0x201C},
        {QStringLiteral("rdquo"), 0x201D},  {QStringLiteral("bdquo"), 0x201E},
        {QStringLiteral("laquo"), 0xAB},    {QStringLiteral("raquo"), 0xBB},
        {QStringLiteral("copy"), 0xA9},     {QStringLiteral("reg"), 0xAE},
        {QStringLiteral("trade"), 0x2122},  {QStringLiteral("euro"), 0x20AC},
    };
    return entities;
}

// The reference starting at `at` ("&...;"), appended decoded; false when it is none.
bool decodeReference(const QString &text, qsizetype at, QString &out, qsizetype &end)
{
    const qsizetype semicolon = text.indexOf(QLatin1Char(';'), at + 1);
    if (semicolon < 0 || semicolon - at > 12)
        return false;
    const QString name = text.mid(at + 1, semicolon - at - 1);
    char32_t code = 0;
    if (name.startsWith(QLatin1Char('#'))) {
        bool ok = false;
        const bool hex =
            name.size() > 1 && (name.at(1) == QLatin1Char('x') || name.at(1) == QLatin1Char('X'));
        code = name.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
        if (!ok || code == 0 || code > 0x10FFFF)
            return false;
    } else {
        const auto found = namedEntities().constFind(name);
        if (found == namedEntities().constEnd())
            return false;
        code = found.value();
    }
    out.append(QString::fromUcs4(&code, 1));
    end = semicolon + 1;
    return true;
}

} // namespace

QString plainTextOfHtml(const QString &html)
{
    QString out;
    out.reserve(html.size());
    for (qsizetype i = 0; i < html.size();) {
        const QChar c = html.at(i);
        if (c == QLatin1Char('<')) {
            const qsizetype close = html.indexOf(QLatin1Char('>'), i + 1);
            if (close < 0)
                break; // a tag cut short hides the rest
            out.append(QLatin1Char(' '));
            i = close + 1;
            continue;
        }
        qsizetype end = 0;
        if (c == QLatin1Char('&') && decodeReference(html, i, out, end)) {
            i = end;
            continue;
        }
        out.append(c);
        ++i;
    }
    return out.simplified();
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
