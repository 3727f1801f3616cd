#include "reading/ItemPage.h"

#include "feed/HtmlText.h"
#include "reading/ItemDisplay.h"
#include "xml/XmlDocument.h"

#include <libxml/HTMLparser.h>
#include <libxml/HTMLtree.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <QSet>

#include <cstring>

namespace {

const char TextMarker[] = "data-kv-text";

QString fromXml(const xmlChar *text)
{
    return text ? QString::fromUtf8(reinterpret_cast<const char *>(text)) : QString();
}

bool nameIs(const xmlNode *node, const char *name)
{
    return node->name && std::strcmp(reinterpret_cast<const char *>(node->name), name) == 0;
}

// Elements that go with everything inside them: they run, load, send, restyle or move the
// page, or they are controls of a form.
const QSet<QByteArray> &droppedElements()
{
    static const QSet<QByteArray> names = {
        "script", "style",  "link",     "meta",    "base",     "title",    "head",   "iframe",
        "frame",  "frameset", "object", "embed",   "applet",   "param",    "input",  "button",
        "select", "textarea", "option", "optgroup", "datalist", "output",  "keygen", "template",
        "svg",    "math",   "canvas",   "noembed", "noframes", "portal",   "dialog", "slot"};
    return names;
}

// Elements that stay as they are; any other one gives way to its content.
const QSet<QByteArray> &keptElements()
{
    static const QSet<QByteArray> names = {
        "a",      "abbr",   "address", "article", "aside",  "audio",   "b",       "bdi",
        "bdo",    "big",    "blockquote", "br",   "caption", "center", "cite",    "code",
        "col",    "colgroup", "dd",    "del",     "details", "dfn",    "div",     "dl",
        "dt",     "em",     "figcaption", "figure", "font", "footer",  "h1",      "h2",
        "h3",     "h4",     "h5",      "h6",      "header", "hr",      "i",       "img",
        "ins",    "kbd",    "li",      "main",    "mark",   "nav",     "ol",      "p",
        "picture", "pre",   "q",       "rp",      "rt",     "ruby",    "s",       "samp",
        "section", "small", "source",  "span",    "strike", "strong",  "sub",     "summary",
        "sup",    "table",  "tbody",   "td",      "tfoot",  "th",      "thead",   "time",
        "tr",     "track",  "tt",      "u",       "ul",     "var",     "video",   "wbr"};
    return names;
}

// Attributes that describe content. Event handlers, ids and classes (which would pick up the
// program's own styles), names, pings and downloads are left out.
const QSet<QByteArray> &keptAttributes()
{
    static const QSet<QByteArray> names = {
        "href",   "src",     "srcset",  "sizes",   "alt",     "title",   "lang",    "dir",
        "style",  "align",   "valign",  "width",   "height",  "colspan", "rowspan", "span",
        "headers", "scope",  "abbr",    "cite",    "datetime", "poster", "controls", "loop",
        "muted",  "type",    "start",   "reversed", "value",  "border",  "cellpadding",
        "cellspacing", "bgcolor", "color", "face", "size",    "open",    "media",   "kind",
        "srclang", "label",  "target",  "hspace",  "vspace",  "nowrap",  "clear"};
    return names;
}

// Addresses that would run script when followed or loaded.
bool runsScript(const QString &address)
{
    QString compact;
    compact.reserve(address.size());
    for (const QChar c : address)
        if (c.unicode() > 0x20)
            compact += c.toLower();
    return compact.startsWith(QLatin1String("javascript:")) ||
           compact.startsWith(QLatin1String("vbscript:"));
}

bool keepAttribute(const xmlAttr *attribute)
{
    if (attribute->ns)
        return false;
    const QByteArray name(reinterpret_cast<const char *>(attribute->name));
    if (!keptAttributes().contains(name))
        return false;
    if (name == "href" || name == "src" || name == "srcset" || name == "poster" ||
        name == "cite") {
        xmlChar *value = xmlNodeListGetString(attribute->doc, attribute->children, 1);
        const bool safe = !runsScript(fromXml(value));
        xmlFree(value);
        return safe;
    }
    return true;
}

void cleanAttributes(xmlNode *element)
{
    xmlAttr *attribute = element->properties;
    while (attribute) {
        xmlAttr *next = attribute->next;
        if (!keepAttribute(attribute))
            xmlRemoveProp(attribute);
        attribute = next;
    }
}

// Empty elements that libxml2's HTML parser does not know as empty: what follows one of them
// lands inside it, and belongs after it.
bool isVoidUnknownToParser(const QByteArray &name)
{
    return name == "embed" || name == "source" || name == "track" || name == "wbr" ||
           name == "keygen";
}

void cleanChildren(xmlNode *parent);

// Cleans `node` (which may go) and gives the node to go on with.
xmlNode *cleanNode(xmlNode *node)
{
    xmlNode *next = node->next;
    switch (node->type) {
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_ENTITY_REF_NODE:
        return next;
    case XML_ELEMENT_NODE: {
        const QByteArray name = QByteArray(reinterpret_cast<const char *>(node->name)).toLower();
        if (isVoidUnknownToParser(name) && node->children) {
            xmlNode *after = node;
            for (xmlNode *child = node->children; child;) {
                xmlNode *following = child->next;
                xmlUnlinkNode(child);
                after = xmlAddNextSibling(after, child);
                child = following;
            }
            next = node->next;
        }
        if (node->ns || droppedElements().contains(name)) {
            xmlUnlinkNode(node);
            xmlFreeNode(node);
            return next;
        }
        cleanChildren(node);
        if (!keptElements().contains(name)) {
            // Unknown or structural (html, body, form, noscript): its content stays in place.
            for (xmlNode *child = node->children; child;) {
                xmlNode *following = child->next;
                xmlUnlinkNode(child);
                xmlAddPrevSibling(node, child);
                child = following;
            }
            xmlUnlinkNode(node);
            xmlFreeNode(node);
            return next;
        }
        cleanAttributes(node);
        return next;
    }
    default:
        // Comments, processing instructions, declarations.
        xmlUnlinkNode(node);
        xmlFreeNode(node);
        return next;
    }
}

void cleanChildren(xmlNode *parent)
{
    for (xmlNode *child = parent->children; child;)
        child = cleanNode(child);
}

struct DocFree
{
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

// The markup parsed on its own, so that no end tag in it can close an element of the page,
// then cleaned. Its top-level nodes are the children of the returned document's root.
DocPtr parseClean(const QByteArray &html)
{
    const QByteArray wrapped = "<html><body>" + html + "</body></html>";
    DocPtr doc(htmlReadMemory(wrapped.constData(), int(wrapped.size()), nullptr, "UTF-8",
                              HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                                  HTML_PARSE_NONET | HTML_PARSE_NODEFDTD));
    if (!doc)
        return nullptr;
    xmlNode *root = xmlDocGetRootElement(doc.get());
    if (!root)
        return doc;
    cleanChildren(root);
    return doc;
}

xmlNode *findMarked(xmlNode *node)
{
    for (; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        if (xmlHasProp(node, BAD_CAST TextMarker))
            return node;
        if (xmlNode *found = findMarked(node->children))
            return found;
    }
    return nullptr;
}

// The text element the sheet left holds the item's text as text: its markup goes in as
// cleaned nodes, plain text with its references decoded.
void layTextIn(xmlDoc *page)
{
    xmlNode *marked = findMarked(page->children);
    if (!marked)
        return;
    xmlChar *kind = xmlGetProp(marked, BAD_CAST TextMarker);
    const bool markup = kind && xmlStrEqual(kind, BAD_CAST "markup");
    xmlFree(kind);
    xmlUnsetProp(marked, BAD_CAST TextMarker);
    xmlChar *content = xmlNodeGetContent(marked);
    const QString text = fromXml(content);
    xmlFree(content);
    xmlNodeSetContent(marked, nullptr);

    if (!markup) {
        const QByteArray plain = HtmlText::DecodeReferences(text).toUtf8();
        xmlNodeAddContentLen(marked, BAD_CAST plain.constData(), int(plain.size()));
        return;
    }
    const DocPtr cleaned = parseClean(text.toUtf8());
    xmlNode *root = cleaned ? xmlDocGetRootElement(cleaned.get()) : nullptr;
    if (!root)
        return;
    for (xmlNode *child = root->children; child; child = child->next)
        xmlAddChild(marked, xmlDocCopyNode(child, page, 1));
}

bool isItemElement(const xmlNode *node)
{
    return node->type == XML_ELEMENT_NODE && nameIs(node, "item");
}

bool isAncestorOf(const xmlNode *node, const xmlNode *item)
{
    for (const xmlNode *up = item->parent; up; up = up->parent)
        if (up == node)
            return true;
    return false;
}

// The children of `from` into `to`: the item itself and the way to it, everything else that
// is not an item (the channel's title, link, picture).
void copyWithoutOtherItems(const xmlNode *from, xmlNode *to, const xmlNode *item, xmlDoc *doc)
{
    for (const xmlNode *child = from->children; child; child = child->next) {
        xmlNode *copy = nullptr;
        if (child == item)
            copy = xmlDocCopyNode(const_cast<xmlNode *>(child), doc, 1);
        else if (isItemElement(child))
            continue;
        else if (child->type == XML_ELEMENT_NODE && isAncestorOf(child, item))
            copy = xmlDocCopyNode(const_cast<xmlNode *>(child), doc, 2);
        else
            copy = xmlDocCopyNode(const_cast<xmlNode *>(child), doc, 1);
        if (!copy)
            continue;
        xmlAddChild(to, copy);
        if (child != item && child->type == XML_ELEMENT_NODE && isAncestorOf(child, item))
            copyWithoutOtherItems(child, copy, item, doc);
    }
}

// A channel's document with the one item to show and none of the others: what the sheets
// read of it (the channel's fields, the item found by its GUID) is all there, and a channel
// of 10,000 items is transformed as fast as one of ten.
DocPtr documentOfOneItem(const xmlNode *item)
{
    const xmlNode *root = xmlDocGetRootElement(item->doc);
    if (!root || !isAncestorOf(root, item))
        return nullptr;
    DocPtr doc(xmlNewDoc(BAD_CAST "1.0"));
    xmlNode *top = xmlDocCopyNode(const_cast<xmlNode *>(root), doc.get(), 2);
    if (!top)
        return nullptr;
    xmlDocSetRootElement(doc.get(), top);
    copyWithoutOtherItems(root, top, item, doc.get());
    return doc;
}

void ignoreMessage(void *, const char *, ...) {}

struct SecurityPrefs
{
    xsltSecurityPrefsPtr prefs = xsltNewSecurityPrefs();
    SecurityPrefs()
    {
        for (const xsltSecurityOption option :
             {XSLT_SECPREF_READ_FILE, XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY,
              XSLT_SECPREF_READ_NETWORK, XSLT_SECPREF_WRITE_NETWORK})
            xsltSetSecurityPrefs(prefs, option, xsltSecurityForbid);
    }
    ~SecurityPrefs() { xsltFreeSecurityPrefs(prefs); }
};

} // namespace

struct ItemPageRenderer::Private
{
    QString sheetText;
    xsltStylesheetPtr sheet = nullptr;
    SecurityPrefs security;

    ~Private() { dropSheet(); }
    void dropSheet()
    {
        if (sheet)
            xsltFreeStylesheet(sheet);
        sheet = nullptr;
        sheetText.clear();
    }
    void compile(const QString &text)
    {
        if (sheet && text == sheetText)
            return;
        dropSheet();
        xsltSetGenericErrorFunc(nullptr, ignoreMessage);
        const QByteArray bytes = text.toUtf8();
        xmlDoc *doc = xmlReadMemory(bytes.constData(), int(bytes.size()), "rss_xslt.xsl", "UTF-8",
                                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        if (!doc)
            throw ItemDisplayError(QStringLiteral("the working style sheet is not well-formed"));
        sheet = xsltParseStylesheetDoc(doc);
        if (!sheet) {
            xmlFreeDoc(doc);
            throw ItemDisplayError(QStringLiteral("the working style sheet does not compile"));
        }
        sheetText = text;
    }
};

ItemPageRenderer::ItemPageRenderer() : d(std::make_unique<Private>()) {}

ItemPageRenderer::~ItemPageRenderer() = default;

QByteArray ItemPageRenderer::render(const QString &sheet, const XmlNode &itemOrDocument)
{
    auto *node = static_cast<xmlNode *>(itemOrDocument.handle());
    if (!node || !node->doc)
        throw ItemDisplayError(QStringLiteral("no document to show the item from"));
    d->compile(sheet);
    DocPtr oneItem;
    if (isItemElement(node))
        oneItem = documentOfOneItem(node);
    xmlDoc *source = oneItem ? oneItem.get() : node->doc;

    xsltTransformContextPtr context = xsltNewTransformContext(d->sheet, source);
    if (!context)
        throw ItemDisplayError(QStringLiteral("the item page cannot be made"));
    xsltSetCtxtSecurityPrefs(d->security.prefs, context);
    xsltSetTransformErrorFunc(context, nullptr, ignoreMessage);
    const char *params[] = {"inPage", "'1'", nullptr};
    DocPtr page(xsltApplyStylesheetUser(d->sheet, source, params, nullptr, nullptr, context));
    const bool failed = context->state != XSLT_STATE_OK;
    xsltFreeTransformContext(context);
    if (!page || failed)
        throw ItemDisplayError(QStringLiteral("the working style sheet failed on the item"));

    layTextIn(page.get());
    xmlChar *bytes = nullptr;
    int size = 0;
    if (xsltSaveResultToString(&bytes, &size, page.get(), d->sheet) != 0 || !bytes)
        throw ItemDisplayError(QStringLiteral("the item page cannot be written out"));
    QByteArray html(reinterpret_cast<const char *>(bytes), size);
    xmlFree(bytes);
    return html;
}

namespace ItemPage {

QByteArray CleanMarkup(const QByteArray &html)
{
    const DocPtr cleaned = parseClean(html);
    xmlNode *root = cleaned ? xmlDocGetRootElement(cleaned.get()) : nullptr;
    QByteArray out;
    if (!root)
        return out;
    xmlBuffer *buffer = xmlBufferCreate();
    for (xmlNode *child = root->children; child; child = child->next)
        htmlNodeDump(buffer, cleaned.get(), child);
    out = QByteArray(reinterpret_cast<const char *>(xmlBufferContent(buffer)),
                     xmlBufferLength(buffer));
    xmlBufferFree(buffer);
    return out;
}

} // namespace ItemPage
