#include "feed/HtmlText.h"

#include "feed/ConvertedFeed.h"

#include <QStringList>

#include <libxml/HTMLparser.h>

namespace HtmlText {

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

bool isTagStart(const QString &text, qsizetype at)
{
    if (at + 1 >= text.size() || text.at(at) != QLatin1Char('<'))
        return false;
    const QChar next = text.at(at + 1);
    return isAsciiLetter(next) || next == QLatin1Char('/') || next == QLatin1Char('!') ||
           next == QLatin1Char('?');
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r') || c == QLatin1Char('\f');
}

// Browsers read references to the C1 controls as Windows-1252, as the pages that wrote
// them meant ("&#150;" is a dash).
char32_t fromC1(char32_t code)
{
    static const char16_t table[32] = {
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    return code >= 0x80 && code <= 0x9F ? table[code - 0x80] : code;
}

// The reference at `at` ("&...;"), appended decoded; false when there is none.
bool decodeAt(const QString &text, qsizetype at, QString &out, qsizetype &end)
{
    const qsizetype semicolon = text.indexOf(QLatin1Char(';'), at + 1);
    if (semicolon < 0 || semicolon - at > 32 || semicolon == at + 1)
        return false;
    const QString name = text.mid(at + 1, semicolon - at - 1);
    char32_t code = 0;
    if (name.startsWith(QLatin1Char('#'))) {
        const bool hex =
            name.size() > 1 && (name.at(1) == QLatin1Char('x') || name.at(1) == QLatin1Char('X'));
        const QString digits = name.mid(hex ? 2 : 1);
        if (digits.isEmpty() || digits.size() > 8)
            return false;
        bool ok = false;
        code = digits.toUInt(&ok, hex ? 16 : 10);
        if (!ok || digits.startsWith(QLatin1Char('+')) || digits.startsWith(QLatin1Char('-')))
            return false;
        code = fromC1(code);
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            code = 0xFFFD;
    } else if (name == QLatin1String("apos")) {
        code = U'\'';
    } else {
        const htmlEntityDesc *entity = htmlEntityLookup(
            reinterpret_cast<const xmlChar *>(name.toLatin1().constData()));
        if (!entity)
            return false;
        code = entity->value;
    }
    out.append(QString::fromUcs4(&code, 1));
    end = semicolon + 1;
    return true;
}

// Elements whose content is never shown as text.
bool hidesContent(const QString &tag)
{
    return tag == QLatin1String("script") || tag == QLatin1String("style") ||
           tag == QLatin1String("template") || tag == QLatin1String("noscript") ||
           tag == QLatin1String("title");
}

// Elements that break the flow of text: a word never runs on across them.
bool breaksText(const QString &tag)
{
    static const QStringList blocks = {
        QStringLiteral("p"),       QStringLiteral("br"),      QStringLiteral("div"),
        QStringLiteral("li"),      QStringLiteral("ul"),      QStringLiteral("ol"),
        QStringLiteral("dt"),      QStringLiteral("dd"),      QStringLiteral("tr"),
        QStringLiteral("td"),      QStringLiteral("th"),      QStringLiteral("table"),
        QStringLiteral("h1"),      QStringLiteral("h2"),      QStringLiteral("h3"),
        QStringLiteral("h4"),      QStringLiteral("h5"),      QStringLiteral("h6"),
        QStringLiteral("hr"),      QStringLiteral("img"),     QStringLiteral("pre"),
        QStringLiteral("section"), QStringLiteral("article"), QStringLiteral("figure"),
        QStringLiteral("header"),  QStringLiteral("footer"),  QStringLiteral("blockquote"),
        QStringLiteral("figcaption")};
    return blocks.contains(tag);
}

// The lower-case name of the tag opening at `at` ("<p ...>" and "</p>" both give "p").
QString tagName(const QString &html, qsizetype at)
{
    qsizetype p = at + 1;
    if (p < html.size() && html.at(p) == QLatin1Char('/'))
        ++p;
    const qsizetype begin = p;
    while (p < html.size() && (isAsciiLetter(html.at(p)) || html.at(p).isDigit()))
        ++p;
    return html.mid(begin, p - begin).toLower();
}

// Where the tag opening at `at` ends (just after its ">"), reading quoted attribute values
// as values; the text's end when the tag is cut short.
qsizetype tagEnd(const QString &html, qsizetype at)
{
    QChar quote;
    for (qsizetype p = at + 1; p < html.size(); ++p) {
        const QChar c = html.at(p);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            // Only a quote that opens a value counts; "a'b" in a name does not.
            if (p > at + 1 && (html.at(p - 1) == QLatin1Char('=') || isBlank(html.at(p - 1))))
                quote = c;
        } else if (c == QLatin1Char('>')) {
            return p + 1;
        }
    }
    return html.size();
}

// Just after the end tag of `tag` from `from`, or the text's end.
qsizetype afterEndTag(const QString &html, qsizetype from, const QString &tag)
{
    const qsizetype close =
        html.indexOf(QStringLiteral("</") + tag, from, Qt::CaseInsensitive);
    return close < 0 ? html.size() : tagEnd(html, close);
}

// Just after a comment or other declaration opening at `at`.
qsizetype declarationEnd(const QString &html, qsizetype at)
{
    if (html.mid(at, 4) == QLatin1String("<!--")) {
        const qsizetype close = html.indexOf(QStringLiteral("-->"), at + 4);
        return close < 0 ? html.size() : close + 3;
    }
    const qsizetype close = html.indexOf(QLatin1Char('>'), at);
    return close < 0 ? html.size() : close + 1;
}

QString resolvedSrcset(const QString &value, const QString &base)
{
    QStringList candidates = value.split(QLatin1Char(','));
    for (QString &candidate : candidates) {
        const QString trimmed = candidate.trimmed();
        const qsizetype space = trimmed.indexOf(QLatin1Char(' '));
        const QString url = space < 0 ? trimmed : trimmed.left(space);
        const QString rest = space < 0 ? QString() : trimmed.mid(space);
        candidate = FeedConversion::resolveAddress(base, url) + rest;
    }
    return candidates.join(QStringLiteral(", "));
}

} // namespace

bool HasMarkup(const QString &text)
{
    for (qsizetype at = text.indexOf(QLatin1Char('<')); at >= 0;
         at = text.indexOf(QLatin1Char('<'), at + 1))
        if (isTagStart(text, at))
            return true;
    return false;
}

QString DecodeReferences(const QString &text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        qsizetype end = 0;
        if (text.at(i) == QLatin1Char('&') && decodeAt(text, i, out, end)) {
            i = end;
            continue;
        }
        out.append(text.at(i++));
    }
    return out;
}

QString VisibleText(const QString &description)
{
    if (!HasMarkup(description))
        return DecodeReferences(description).simplified();
    QString text;
    text.reserve(description.size());
    for (qsizetype i = 0; i < description.size();) {
        if (!isTagStart(description, i)) {
            const qsizetype next = description.indexOf(QLatin1Char('<'), i + 1);
            const qsizetype stop = next < 0 ? description.size() : next;
            text += description.mid(i, stop - i);
            i = stop;
            continue;
        }
        const QChar second = description.at(i + 1);
        if (second == QLatin1Char('!') || second == QLatin1Char('?')) {
            i = declarationEnd(description, i);
            continue;
        }
        const QString tag = tagName(description, i);
        const qsizetype end = tagEnd(description, i);
        if (breaksText(tag))
            text += QLatin1Char(' ');
        i = second != QLatin1Char('/') && hidesContent(tag) ? afterEndTag(description, end, tag)
                                                            : end;
    }
    return DecodeReferences(text).simplified();
}

bool VisibleTextContains(const QString &description, const QString &keyword)
{
    // Blanks are folded in the visible text, so they are in the keyword too.
    const QString wanted = keyword.simplified();
    if (wanted.isEmpty())
        return true;
    return VisibleText(description).contains(wanted, Qt::CaseInsensitive);
}

QString ResolveAddresses(const QString &html, const QString &base)
{
    if (base.isEmpty() || !html.contains(QLatin1Char('<')))
        return html;
    QString out;
    out.reserve(html.size() + 64);
    qsizetype copied = 0;
    for (qsizetype i = html.indexOf(QLatin1Char('<')); i >= 0 && i < html.size();
         i = html.indexOf(QLatin1Char('<'), i)) {
        if (!isTagStart(html, i)) {
            ++i;
            continue;
        }
        const QChar second = html.at(i + 1);
        if (second == QLatin1Char('!') || second == QLatin1Char('?') ||
            second == QLatin1Char('/')) {
            i = second == QLatin1Char('/') ? tagEnd(html, i) : declarationEnd(html, i);
            continue;
        }
        const QString tag = tagName(html, i);
        const qsizetype end = tagEnd(html, i);
        // Attributes: name, optional "=" and a value, quoted or not.
        qsizetype p = i + 1 + tag.size();
        while (p < end) {
            while (p < end && (isBlank(html.at(p)) || html.at(p) == QLatin1Char('/')))
                ++p;
            const qsizetype nameBegin = p;
            while (p < end && !isBlank(html.at(p)) && html.at(p) != QLatin1Char('=') &&
                   html.at(p) != QLatin1Char('>') && html.at(p) != QLatin1Char('/'))
                ++p;
            const QString name = html.mid(nameBegin, p - nameBegin).toLower();
            if (name.isEmpty()) {
                ++p;
                continue;
            }
            while (p < end && isBlank(html.at(p)))
                ++p;
            if (p >= end || html.at(p) != QLatin1Char('='))
                continue;
            ++p;
            while (p < end && isBlank(html.at(p)))
                ++p;
            const qsizetype valueBegin = p;
            qsizetype textBegin = p, textEnd = p;
            if (p < end && (html.at(p) == QLatin1Char('"') || html.at(p) == QLatin1Char('\''))) {
                const QChar quote = html.at(p);
                textBegin = p + 1;
                textEnd = html.indexOf(quote, textBegin);
                if (textEnd < 0 || textEnd >= end)
                    break; // cut short: leave the rest alone
                p = textEnd + 1;
            } else {
                while (p < end && !isBlank(html.at(p)) && html.at(p) != QLatin1Char('>'))
                    ++p;
                textEnd = p;
            }
            const bool address = name == QLatin1String("href") || name == QLatin1String("src") ||
                                 name == QLatin1String("poster");
            if (!address && name != QLatin1String("srcset"))
                continue;
            const QString value = DecodeReferences(html.mid(textBegin, textEnd - textBegin));
            const QString resolved = address ? FeedConversion::resolveAddress(base, value)
                                             : resolvedSrcset(value, base);
            if (resolved == value.trimmed())
                continue;
            out += html.mid(copied, valueBegin - copied);
            out += QLatin1Char('"') + resolved.toHtmlEscaped() + QLatin1Char('"');
            copied = p;
        }
        i = hidesContent(tag) ? afterEndTag(html, end, tag) : end;
    }
    out += html.mid(copied);
    return out;
}

QString PlainToolTip(const QString &text)
{
    if (text.isEmpty())
        return text; // no tool tip at all
    return QStringLiteral("<p style=\"white-space:pre\">") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

} // namespace HtmlText
