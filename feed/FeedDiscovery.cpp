#include "feed/FeedDiscovery.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

namespace {

bool isFeedType(const QString &type)
{
    static const QStringList types = {
        QStringLiteral("application/rss+xml"),  QStringLiteral("application/rdf+xml"),
        QStringLiteral("application/atom+xml"), QStringLiteral("application/feed+json"),
        QStringLiteral("application/json"),
    };
    // A parameter such as "; charset=utf-8" does not change the kind.
    return types.contains(type.section(QLatin1Char(';'), 0, 0).trimmed().toLower());
}

QString decodeEntities(const QString &value)
{
    if (!value.contains(QLatin1Char('&')))
        return value;
    static const QHash<QString, QString> named = {
        {QStringLiteral("amp"), QStringLiteral("&")},  {QStringLiteral("lt"), QStringLiteral("<")},
        {QStringLiteral("gt"), QStringLiteral(">")},   {QStringLiteral("quot"), QStringLiteral("\"")},
        {QStringLiteral("apos"), QStringLiteral("'")},
    };
    QString out;
    out.reserve(value.size());
    for (int i = 0; i < value.size(); ++i) {
        const int semi = value.indexOf(QLatin1Char(';'), i);
        if (value[i] != QLatin1Char('&') || semi < 0 || semi - i > 10) {
            out += value[i];
            continue;
        }
        const QString name = value.mid(i + 1, semi - i - 1);
        bool ok = false;
        uint code = 0;
        if (name.startsWith(QLatin1String("#x")) || name.startsWith(QLatin1String("#X")))
            code = name.mid(2).toUInt(&ok, 16);
        else if (name.startsWith(QLatin1Char('#')))
            code = name.mid(1).toUInt(&ok, 10);
        if (ok && code > 0 && code <= 0x10FFFF) {
            const char32_t c = code;
            out += QString::fromUcs4(&c, 1);
        } else if (named.contains(name.toLower())) {
            out += named.value(name.toLower());
        } else {
            out += value.mid(i, semi - i + 1);
        }
        i = semi;
    }
    return out;
}

// A small tag reader: enough of HTML to find the attributes of <link> and <base>, stepping
// over comments and the bodies of scripts and styles, where markup is not markup.
class TagScanner
{
public:
    explicit TagScanner(const QString &text) : m_text(text) {}

    // Moves to the next start tag; false at the end of the text.
    bool next(QString *name, QHash<QString, QString> *attributes)
    {
        while (true) {
            m_pos = m_text.indexOf(QLatin1Char('<'), m_pos);
            if (m_pos < 0)
                return false;
            if (m_text.mid(m_pos, 4) == QLatin1String("<!--")) {
                const int end = m_text.indexOf(QLatin1String("-->"), m_pos + 4);
                if (end < 0)
                    return false;
                m_pos = end + 3;
                continue;
            }
            ++m_pos;
            int start = m_pos;
            while (m_pos < m_text.size() && (m_text[m_pos].isLetterOrNumber()))
                ++m_pos;
            if (m_pos == start)
                continue;
            *name = m_text.mid(start, m_pos - start).toLower();
            attributes->clear();
            if (!readAttributes(attributes))
                return false; // the text ends inside the tag
            if (*name == QLatin1String("script") || *name == QLatin1String("style")) {
                const int end =
                    m_text.indexOf(QLatin1String("</") + *name, m_pos, Qt::CaseInsensitive);
                if (end < 0)
                    return false;
                m_pos = end + 2;
            }
            return true;
        }
    }

private:
    void skipSpace()
    {
        while (m_pos < m_text.size() && m_text[m_pos].isSpace())
            ++m_pos;
    }

    bool readAttributes(QHash<QString, QString> *attributes)
    {
        while (true) {
            skipSpace();
            if (m_pos >= m_text.size())
                return false;
            const QChar c = m_text[m_pos];
            if (c == QLatin1Char('>')) {
                ++m_pos;
                return true;
            }
            if (c == QLatin1Char('/')) {
                ++m_pos;
                continue;
            }
            const int start = m_pos;
            while (m_pos < m_text.size() && !m_text[m_pos].isSpace() &&
                   m_text[m_pos] != QLatin1Char('=') && m_text[m_pos] != QLatin1Char('>') &&
                   m_text[m_pos] != QLatin1Char('/'))
                ++m_pos;
            if (m_pos == start) {
                ++m_pos; // a stray character
                continue;
            }
            const QString name = m_text.mid(start, m_pos - start).toLower();
            skipSpace();
            QString value;
            if (m_pos < m_text.size() && m_text[m_pos] == QLatin1Char('=')) {
                ++m_pos;
                skipSpace();
                value = readValue();
            }
            if (!attributes->contains(name))
                attributes->insert(name, decodeEntities(value));
        }
    }

    QString readValue()
    {
        if (m_pos >= m_text.size())
            return QString();
        const QChar quote = m_text[m_pos];
        if (quote == QLatin1Char('"') || quote == QLatin1Char('\'')) {
            const int end = m_text.indexOf(quote, m_pos + 1);
            const int stop = end < 0 ? m_text.size() : end;
            const QString value = m_text.mid(m_pos + 1, stop - m_pos - 1);
            m_pos = end < 0 ? m_text.size() : end + 1;
            return value;
        }
        const int start = m_pos;
        while (m_pos < m_text.size() && !m_text[m_pos].isSpace() &&
               m_text[m_pos] != QLatin1Char('>'))
            ++m_pos;
        return m_text.mid(start, m_pos - start);
    }

    const QString &m_text;
    int m_pos = 0;
};

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

} // namespace

QString DiscoverFeedAddress(const QByteArray &page, const QString &pageAddress)
{
    const QString text = QString::fromUtf8(page);
    QUrl base(pageAddress.trimmed());
    bool baseSeen = false;
    TagScanner scanner(text);
    QString name;
    QHash<QString, QString> attributes;
    while (scanner.next(&name, &attributes)) {
        if (name == QLatin1String("base") && !baseSeen && attributes.contains("href")) {
            baseSeen = true;
            const QUrl declared = base.resolved(QUrl(attributes.value("href").trimmed()));
            if (isWebAddress(declared))
                base = declared;
            continue;
        }
        if (name != QLatin1String("link"))
            continue;
        const QStringList rel = attributes.value("rel").toLower().split(
            QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        if (!rel.contains(QLatin1String("alternate")) || !isFeedType(attributes.value("type")))
            continue;
        const QString href = attributes.value("href").trimmed();
        if (href.isEmpty())
            continue;
        const QUrl resolved = base.resolved(QUrl(href));
        if (!isWebAddress(resolved))
            continue;
        const QString address = resolved.toString(QUrl::FullyEncoded);
        if (address == QUrl(pageAddress.trimmed()).toString(QUrl::FullyEncoded))
            continue;
        return address;
    }
    return QString();
}

QStringList DiscoverIconAddresses(const QByteArray &page, const QString &pageAddress)
{
    const QString text = QString::fromUtf8(page);
    QUrl base(pageAddress.trimmed());
    bool baseSeen = false;
    TagScanner scanner(text);
    QString name;
    QHash<QString, QString> attributes;
    QStringList icons, touchIcons;
    while (scanner.next(&name, &attributes)) {
        if (name == QLatin1String("base") && !baseSeen && attributes.contains("href")) {
            baseSeen = true;
            const QUrl declared = base.resolved(QUrl(attributes.value("href").trimmed()));
            if (isWebAddress(declared))
                base = declared;
            continue;
        }
        if (name == QLatin1String("body"))
            break; // the head is over
        if (name != QLatin1String("link"))
            continue;
        const QStringList rel = attributes.value("rel").toLower().split(
            QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        const bool icon = rel.contains(QLatin1String("icon"));
        const bool touch = rel.contains(QLatin1String("apple-touch-icon")) ||
                           rel.contains(QLatin1String("apple-touch-icon-precomposed"));
        if (!icon && !touch)
            continue;
        const QString href = attributes.value("href").trimmed();
        const QUrl resolved = base.resolved(QUrl(href));
        if (href.isEmpty() || !isWebAddress(resolved) ||
            attributes.value("type").toLower().contains(QLatin1String("svg")) ||
            resolved.path().toLower().endsWith(QLatin1String(".svg")))
            continue;
        QStringList &into = icon ? icons : touchIcons;
        const QString address = resolved.toString(QUrl::FullyEncoded);
        if (!into.contains(address))
            into.append(address);
    }
    return icons + touchIcons;
}
