#include "feed/AtomConverter.h"

#include "feed/FeedNormaliser.h"
#include "feed/HtmlText.h"
#include "xml/XmlDocument.h"

#include <QStringList>

#include <libxml/tree.h>

#include <cstring>

namespace FeedConversion {

const char *const Atom10Namespace = "http://www.w3.org/2005/Atom";
const char *const Atom03Namespace = "http://purl.org/atom/ns#";

namespace {

const char *const XhtmlNamespace = "http://www.w3.org/1999/xhtml";

QString fromXml(const xmlChar *text)
{
    return text ? QString::fromUtf8(reinterpret_cast<const char *>(text)) : QString();
}

bool named(const xmlNode *node, const char *local)
{
    return node && node->type == XML_ELEMENT_NODE && node->name &&
           std::strcmp(reinterpret_cast<const char *>(node->name), local) == 0;
}

bool inNamespace(const xmlNode *node, const char *uri)
{
    return node && node->ns && node->ns->href &&
           std::strcmp(reinterpret_cast<const char *>(node->ns->href), uri) == 0;
}

// Atom elements of one document: both versions' namespaces are accepted everywhere, as
// documents in the wild mix them.
bool isAtom(const xmlNode *node, const char *local)
{
    return named(node, local) &&
           (inNamespace(node, Atom10Namespace) || inNamespace(node, Atom03Namespace));
}

xmlNodePtr firstAtomChild(const xmlNode *parent, const char *local)
{
    for (xmlNodePtr child = parent ? parent->children : nullptr; child; child = child->next)
        if (isAtom(child, local))
            return child;
    return nullptr;
}

// The first present of several names, in order of preference.
xmlNodePtr firstAtomChild(const xmlNode *parent, std::initializer_list<const char *> names)
{
    for (const char *name : names)
        if (xmlNodePtr found = firstAtomChild(parent, name))
            return found;
    return nullptr;
}

QString attribute(const xmlNode *node, const char *name)
{
    xmlChar *value = xmlGetNoNsProp(node, reinterpret_cast<const xmlChar *>(name));
    const QString text = fromXml(value);
    xmlFree(value);
    return text;
}

QString textContent(const xmlNode *node)
{
    xmlChar *value = xmlNodeGetContent(node);
    const QString text = fromXml(value);
    xmlFree(value);
    return text;
}

// The base address in effect at `node`: the document's address, then every xml:base from
// the root down to the node.
QString baseOf(const xmlNode *node, const QString &address)
{
    QStringList bases;
    for (const xmlNode *n = node; n && n->type == XML_ELEMENT_NODE; n = n->parent) {
        xmlChar *value = xmlGetNsProp(n, reinterpret_cast<const xmlChar *>("base"),
                                      reinterpret_cast<const xmlChar *>(XML_XML_NAMESPACE));
        if (value)
            bases.prepend(fromXml(value));
        xmlFree(value);
    }
    QString base = address;
    for (const QString &step : bases) {
        const QString next = resolveAddress(base, step);
        if (!next.isEmpty())
            base = next;
    }
    return base;
}

bool isVoidHtmlElement(const QByteArray &name)
{
    static const char *const voids[] = {"area",  "base", "br",   "col",    "embed", "hr", "img",
                                        "input", "link", "meta", "source", "track", "wbr"};
    for (const char *v : voids)
        if (name == v)
            return true;
    return false;
}

// XHTML content written as HTML: local names only (no prefixes or namespace
// declarations the browser would not understand), addresses resolved.
void writeHtml(const xmlNode *node, const QString &address, QString &out)
{
    for (; node; node = node->next) {
        switch (node->type) {
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
            out += fromXml(node->content).toHtmlEscaped();
            break;
        case XML_ENTITY_REF_NODE:
            out += textContent(node).toHtmlEscaped();
            break;
        case XML_ELEMENT_NODE: {
            const QByteArray name = reinterpret_cast<const char *>(node->name);
            out += QLatin1Char('<') + QString::fromUtf8(name);
            for (const xmlAttr *a = node->properties; a; a = a->next) {
                if (a->ns && a->ns->href &&
                    std::strcmp(reinterpret_cast<const char *>(a->ns->href),
                                reinterpret_cast<const char *>(XML_XML_NAMESPACE)) == 0)
                    continue; // xml:base and xml:lang are ours to apply, not the page's
                const QByteArray attrName = reinterpret_cast<const char *>(a->name);
                xmlChar *raw = xmlNodeListGetString(node->doc, a->children, 1);
                QString value = fromXml(raw);
                xmlFree(raw);
                if (attrName == "href" || attrName == "src")
                    value = resolveAddress(baseOf(node, address), value);
                out += QLatin1Char(' ') + QString::fromUtf8(attrName) + QStringLiteral("=\"") +
                       value.toHtmlEscaped() + QLatin1Char('"');
            }
            if (isVoidHtmlElement(name) && !node->children) {
                out += QStringLiteral("/>");
                break;
            }
            out += QLatin1Char('>');
            writeHtml(node->children, address, out);
            out += QStringLiteral("</") + QString::fromUtf8(name) + QLatin1Char('>');
            break;
        }
        default:
            break; // comments and processing instructions are not content
        }
    }
}

// What a text construct (title, subtitle, rights, summary, content) holds, in both
// versions' terms: Atom 1.0 names "text", "html" and "xhtml"; Atom 0.3 gives a MIME type
// and a mode ("xml", "escaped" or "base64").
struct TextConstruct
{
    QString html;
    QString plain;
    bool usable = false;
};

TextConstruct readText(const xmlNode *node, const QString &address)
{
    TextConstruct result;
    if (!node)
        return result;
    if (!attribute(node, "src").isEmpty())
        return result; // content held elsewhere: the summary stands in

    QString type = attribute(node, "type").trimmed().toLower();
    const QString mode = attribute(node, "mode").trimmed().toLower();
    if (type.isEmpty() || type == QLatin1String("text/plain"))
        type = QStringLiteral("text");
    else if (type == QLatin1String("text/html"))
        type = QStringLiteral("html");
    else if (type == QLatin1String("application/xhtml+xml"))
        type = QStringLiteral("xhtml");

    QString value;
    if (mode == QLatin1String("base64")) {
        value = QString::fromUtf8(QByteArray::fromBase64(textContent(node).toLatin1()));
        if (type == QLatin1String("xhtml"))
            type = QStringLiteral("html");
    } else if (mode == QLatin1String("escaped") && type == QLatin1String("xhtml")) {
        type = QStringLiteral("html");
    }

    if (type == QLatin1String("xhtml") && mode != QLatin1String("base64")) {
        // The content of the wrapping div (Atom 1.0), or the elements as they stand (0.3).
        const xmlNode *inner = node->children;
        const xmlNode *element = nullptr;
        int elements = 0;
        for (const xmlNode *c = node->children; c; c = c->next)
            if (c->type == XML_ELEMENT_NODE) {
                element = c;
                ++elements;
            }
        if (elements == 1 && named(element, "div") &&
            (inNamespace(element, XhtmlNamespace) || !element->ns))
            inner = element->children;
        writeHtml(inner, address, result.html);
        QString plain;
        for (const xmlNode *c = inner; c; c = c->next)
            plain += textContent(c) + QLatin1Char(' ');
        result.plain = plain.simplified();
        result.usable = true;
        return result;
    }

    if (mode != QLatin1String("base64"))
        value = textContent(node);
    if (type == QLatin1String("html")) {
        // The page shows it under its own address: relative addresses are resolved here,
        // against the xml:base in effect (RFC 4287), as they are for XHTML content.
        result.html = HtmlText::ResolveAddresses(value, baseOf(node, address));
        result.plain = plainTextOfHtml(value);
    } else if (type == QLatin1String("text") || type.startsWith(QLatin1String("text/")) ||
               type.contains(QLatin1String("xml"))) {
        result.html = value.toHtmlEscaped();
        result.plain = value.simplified();
    } else {
        return result; // binary content (images and the like) has no text to show
    }
    result.usable = !value.trimmed().isEmpty();
    return result;
}

struct Link
{
    QString rel;
    QString href;
    QString type;
    qint64 length = -1;
};

QList<Link> linksOf(const xmlNode *parent, const QString &address)
{
    QList<Link> links;
    for (xmlNodePtr child = parent->children; child; child = child->next) {
        if (!isAtom(child, "link"))
            continue;
        Link link;
        link.rel = attribute(child, "rel").trimmed();
        if (link.rel.isEmpty())
            link.rel = QStringLiteral("alternate");
        link.href = resolveAddress(baseOf(child, address), attribute(child, "href"));
        link.type = attribute(child, "type").trimmed();
        bool ok = false;
        link.length = attribute(child, "length").trimmed().toLongLong(&ok);
        if (!ok)
            link.length = -1;
        if (!link.href.isEmpty())
            links.append(link);
    }
    return links;
}

// The alternate link, else the first one of any kind.
QString mainLink(const QList<Link> &links)
{
    for (const Link &link : links)
        if (link.rel == QLatin1String("alternate") ||
            link.rel == QLatin1String("http://www.iana.org/assignments/relation/alternate"))
            return link.href;
    return links.isEmpty() ? QString() : links.first().href;
}

QString authorsOf(const xmlNode *parent)
{
    QStringList names;
    for (xmlNodePtr child = parent ? parent->children : nullptr; child; child = child->next) {
        if (!isAtom(child, "author"))
            continue;
        const QString name = textContent(firstAtomChild(child, "name")).simplified();
        if (!name.isEmpty())
            names.append(name);
    }
    return names.join(QStringLiteral(", "));
}

ConvertedItem readEntry(const xmlNode *entry, const QString &address, const QString &feedAuthor)
{
    ConvertedItem item;
    item.title = readText(firstAtomChild(entry, "title"), address).plain;
    const QList<Link> links = linksOf(entry, address);
    item.link = mainLink(links);
    for (const Link &link : links)
        if (link.rel == QLatin1String("enclosure"))
            item.enclosures.append({link.href, link.type, link.length});

    const TextConstruct content = readText(firstAtomChild(entry, "content"), address);
    item.description =
        content.usable ? content.html : readText(firstAtomChild(entry, "summary"), address).html;
    item.guid = textContent(firstAtomChild(entry, "id")).trimmed();
    for (const xmlNode *date : {firstAtomChild(entry, {"published", "issued", "created"}),
                                firstAtomChild(entry, {"updated", "modified"})}) {
        if (!date)
            continue;
        item.date = parseIsoDate(textContent(date));
        if (item.date.isValid())
            break;
    }
    item.author = authorsOf(entry);
    if (item.author.isEmpty())
        item.author = authorsOf(firstAtomChild(entry, "source"));
    if (item.author.isEmpty())
        item.author = feedAuthor;
    return item;
}

} // namespace

bool isAtomDocument(const XmlDocument &document)
{
    const auto *root = static_cast<const xmlNode *>(document.documentElement().handle());
    return isAtom(root, "feed");
}

ConvertedFeed readAtom(const XmlDocument &document, const QString &address)
{
    const auto *root = static_cast<const xmlNode *>(document.documentElement().handle());
    if (!isAtom(root, "feed"))
        throw FeedFormatError(QStringLiteral("The document is not an Atom feed"));

    ConvertedFeed feed;
    feed.title = readText(firstAtomChild(root, "title"), address).plain;
    feed.link = mainLink(linksOf(root, address));
    feed.description = readText(firstAtomChild(root, {"subtitle", "tagline"}), address).plain;
    feed.copyright = readText(firstAtomChild(root, {"rights", "copyright"}), address).plain;
    for (const char *image : {"logo", "icon"}) {
        const xmlNode *node = firstAtomChild(root, image);
        const QString url =
            node ? resolveAddress(baseOf(node, address), textContent(node)) : QString();
        if (!url.isEmpty()) {
            feed.imageUrl = url;
            break;
        }
    }
    const QString feedAuthor = authorsOf(root);
    for (xmlNodePtr child = root->children; child; child = child->next)
        if (isAtom(child, "entry"))
            feed.items.append(readEntry(child, address, feedAuthor));
    return feed;
}

} // namespace FeedConversion
