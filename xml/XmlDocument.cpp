#include "xml/XmlDocument.h"

#include "base/FileReplace.h"

#include "xml/XmlParse.h"

#include <QFile>
#include <QFileInfo>

#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <cstring>

namespace {

xmlNodePtr asNode(void *handle)
{
    return static_cast<xmlNodePtr>(handle);
}

const char NotSingleText[] = "Element does not contain a single text node";

QString fromXml(const xmlChar *text)
{
    if (!text)
        return QString();
    return QString::fromUtf8(reinterpret_cast<const char *>(text));
}

// A non-null QString even for an empty value, so that "present but empty" differs from absent.
QString presentValue(const xmlChar *text)
{
    if (!text || !*text)
        return QStringLiteral("");
    return QString::fromUtf8(reinterpret_cast<const char *>(text));
}

const xmlChar *asXml(const QByteArray &bytes)
{
    return reinterpret_cast<const xmlChar *>(bytes.constData());
}

xmlNodePtr requireNode(void *handle)
{
    if (!handle)
        throw XmlError(QStringLiteral("Operation on a null XML node"));
    return asNode(handle);
}

// Compares "prefix:local" (or "local") with the node's qualified name without building it.
bool hasQualifiedName(xmlNodePtr node, const QByteArray &name)
{
    const char *local = reinterpret_cast<const char *>(node->name);
    if (!local)
        return false;
    const size_t localLength = std::strlen(local);
    if (node->ns && node->ns->prefix) {
        const char *prefix = reinterpret_cast<const char *>(node->ns->prefix);
        const size_t prefixLength = std::strlen(prefix);
        return size_t(name.size()) == prefixLength + 1 + localLength &&
               std::memcmp(name.constData(), prefix, prefixLength) == 0 &&
               name.at(int(prefixLength)) == ':' &&
               std::memcmp(name.constData() + prefixLength + 1, local, localLength) == 0;
    }
    return size_t(name.size()) == localLength &&
           std::memcmp(name.constData(), local, localLength) == 0;
}

QString qualifiedName(xmlNodePtr node)
{
    if (node->ns && node->ns->prefix)
        return fromXml(node->ns->prefix) + QLatin1Char(':') + fromXml(node->name);
    return fromXml(node->name);
}

// A new element named exactly `name`, in the namespace of `parent`, appended to it. The name is
// kept as given so that a later lookup by the same name finds it again.
xmlNodePtr appendNewElement(xmlNodePtr parent, const QString &name)
{
    const QByteArray qname = name.toUtf8();
    xmlDocPtr doc = parent->doc;
    const xmlNsPtr parentNs = parent->type == XML_ELEMENT_NODE ? parent->ns : nullptr;
    const xmlChar *href = parentNs ? parentNs->href : nullptr;

    xmlNodePtr node = nullptr;
    const int colon = qname.indexOf(':');
    if (colon > 0 && colon < qname.size() - 1) {
        const QByteArray prefix = qname.left(colon);
        const QByteArray local = qname.mid(colon + 1);
        if (xmlNsPtr ns = xmlSearchNs(doc, parent, asXml(prefix))) {
            node = xmlNewDocNode(doc, ns, asXml(local), nullptr);
        } else if (href) {
            node = xmlNewDocNode(doc, nullptr, asXml(local), nullptr);
            if (node)
                xmlSetNs(node, xmlNewNs(node, href, asXml(prefix)));
        } else {
            node = xmlNewDocNode(doc, nullptr, asXml(qname), nullptr);
        }
    } else if (!href) {
        node = xmlNewDocNode(doc, nullptr, asXml(qname), nullptr);
    } else if (!parentNs->prefix) {
        node = xmlNewDocNode(doc, parentNs, asXml(qname), nullptr);
    } else {
        xmlNsPtr defaultNs = xmlSearchNs(doc, parent, nullptr);
        if (defaultNs && xmlStrEqual(defaultNs->href, href)) {
            node = xmlNewDocNode(doc, defaultNs, asXml(qname), nullptr);
        } else {
            node = xmlNewDocNode(doc, nullptr, asXml(qname), nullptr);
            if (node)
                xmlSetNs(node, xmlNewNs(node, href, nullptr));
        }
    }
    if (!node)
        throw XmlError(QStringLiteral("Cannot create element \"%1\"").arg(name));
    return xmlAddChild(parent, node);
}

void freeChildren(xmlNodePtr node)
{
    xmlNodePtr child = node->children;
    while (child) {
        xmlNodePtr next = child->next;
        xmlUnlinkNode(child);
        xmlFreeNode(child);
        child = next;
    }
}

} // namespace

bool XmlNode::isElement() const
{
    return m_node && asNode(m_node)->type == XML_ELEMENT_NODE;
}

bool XmlNode::isText() const
{
    if (!m_node)
        return false;
    const auto type = asNode(m_node)->type;
    return type == XML_TEXT_NODE || type == XML_CDATA_SECTION_NODE;
}

QString XmlNode::nodeName() const
{
    if (!m_node)
        return QString();
    xmlNodePtr node = asNode(m_node);
    switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
        return qualifiedName(node);
    case XML_TEXT_NODE:
        return QStringLiteral("#text");
    case XML_CDATA_SECTION_NODE:
        return QStringLiteral("#cdata-section");
    case XML_COMMENT_NODE:
        return QStringLiteral("#comment");
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE:
        return QStringLiteral("#document");
    default:
        return fromXml(node->name);
    }
}

QString XmlNode::localName() const
{
    if (!m_node)
        return QString();
    xmlNodePtr node = asNode(m_node);
    if (node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE)
        return fromXml(node->name);
    return QString();
}

QString XmlNode::namespaceURI() const
{
    if (!m_node)
        return QString();
    xmlNodePtr node = asNode(m_node);
    if ((node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE) && node->ns)
        return fromXml(node->ns->href);
    return QString();
}

XmlNode XmlNode::parentNode() const
{
    return m_node ? XmlNode(asNode(m_node)->parent) : XmlNode();
}

XmlNode XmlNode::firstChild() const
{
    return m_node ? XmlNode(asNode(m_node)->children) : XmlNode();
}

XmlNode XmlNode::lastChild() const
{
    return m_node ? XmlNode(asNode(m_node)->last) : XmlNode();
}

XmlNode XmlNode::nextSibling() const
{
    return m_node ? XmlNode(asNode(m_node)->next) : XmlNode();
}

XmlNode XmlNode::previousSibling() const
{
    return m_node ? XmlNode(asNode(m_node)->prev) : XmlNode();
}

QList<XmlNode> XmlNode::childNodes() const
{
    QList<XmlNode> result;
    if (!m_node)
        return result;
    for (xmlNodePtr child = asNode(m_node)->children; child; child = child->next)
        result.append(XmlNode(child));
    return result;
}

int XmlNode::childCount() const
{
    int count = 0;
    if (m_node) {
        for (xmlNodePtr child = asNode(m_node)->children; child; child = child->next)
            ++count;
    }
    return count;
}

XmlNode XmlNode::findChild(const QString &name) const
{
    if (!m_node)
        return XmlNode();
    const QByteArray qname = name.toUtf8();
    for (xmlNodePtr child = asNode(m_node)->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && hasQualifiedName(child, qname))
            return XmlNode(child);
    }
    return XmlNode();
}

XmlNode XmlNode::child(const QString &name)
{
    requireNode(m_node);
    if (XmlNode found = findChild(name))
        return found;
    return XmlNode(appendNewElement(asNode(m_node), name));
}

XmlNode XmlNode::appendElement(const QString &name)
{
    return XmlNode(appendNewElement(requireNode(m_node), name));
}

XmlNode XmlNode::appendChild(XmlNode node)
{
    xmlNodePtr parent = requireNode(m_node);
    xmlNodePtr child = requireNode(node.m_node);
    if (child == parent)
        throw XmlError(QStringLiteral("A node cannot be appended to itself"));
    for (xmlNodePtr ancestor = parent->parent; ancestor; ancestor = ancestor->parent) {
        if (ancestor == child)
            throw XmlError(QStringLiteral("A node cannot be appended to its own descendant"));
    }
    xmlUnlinkNode(child);
    if (child->doc != parent->doc) {
        if (xmlDOMWrapAdoptNode(nullptr, child->doc, child, parent->doc, parent, 0) != 0)
            throw XmlError(QStringLiteral("Cannot move the node into this document"));
    }
    // Adjacent text merges into the existing text node, which is then the one returned.
    return XmlNode(xmlAddChild(parent, child));
}

void XmlNode::deleteChild(int index)
{
    if (!m_node || index < 0)
        return;
    xmlNodePtr child = asNode(m_node)->children;
    for (int i = 0; child && i < index; ++i)
        child = child->next;
    if (!child)
        return;
    xmlUnlinkNode(child);
    xmlFreeNode(child);
}

void XmlNode::removeChild(XmlNode node)
{
    xmlNodePtr parent = requireNode(m_node);
    xmlNodePtr child = requireNode(node.m_node);
    if (child->parent != parent)
        throw XmlError(QStringLiteral("The node to remove is not a child of this node"));
    xmlUnlinkNode(child);
    xmlFreeNode(child);
}

QString XmlNode::text() const
{
    xmlNodePtr node = requireNode(m_node);
    if (node->type != XML_ELEMENT_NODE && node->type != XML_DOCUMENT_NODE) {
        xmlChar *content = xmlNodeGetContent(node);
        const QString value = fromXml(content);
        xmlFree(content);
        return value;
    }
    xmlNodePtr first = node->children;
    if (!first)
        return QString();
    // The common case: exactly one text child, read in place.
    if (!first->next && (first->type == XML_TEXT_NODE || first->type == XML_CDATA_SECTION_NODE))
        return fromXml(first->content);

    QByteArray value;
    for (xmlNodePtr child = first; child; child = child->next) {
        switch (child->type) {
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
            if (child->content)
                value.append(reinterpret_cast<const char *>(child->content));
            break;
        case XML_ENTITY_REF_NODE: {
            xmlChar *expanded = xmlNodeGetContent(child);
            if (expanded)
                value.append(reinterpret_cast<const char *>(expanded));
            xmlFree(expanded);
            break;
        }
        case XML_COMMENT_NODE:
        case XML_PI_NODE:
            break;
        default:
            throw XmlError(QString::fromLatin1(NotSingleText));
        }
    }
    return QString::fromUtf8(value);
}

void XmlNode::setText(const QString &value)
{
    xmlNodePtr node = requireNode(m_node);
    const QByteArray utf8 = value.toUtf8();
    switch (node->type) {
    case XML_ELEMENT_NODE:
        break;
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
        // These keep their content raw; the writer escapes it.
        xmlNodeSetContentLen(node, asXml(utf8), int(utf8.size()));
        return;
    default:
        throw XmlError(QStringLiteral("Text can only be set on elements and text nodes"));
    }
    freeChildren(node);
    if (!utf8.isEmpty()) {
        xmlNodePtr textNode = xmlNewDocTextLen(node->doc, asXml(utf8), utf8.size());
        if (!textNode)
            throw XmlError(QStringLiteral("Cannot create a text node"));
        xmlAddChild(node, textNode);
    }
}

QString XmlNode::attribute(const QString &name) const
{
    if (!m_node)
        return QString();
    xmlNodePtr node = asNode(m_node);
    if (node->type != XML_ELEMENT_NODE)
        return QString();
    const QByteArray qname = name.toUtf8();
    if (qname == "xmlns" || qname.startsWith("xmlns:")) {
        const QByteArray prefix = qname.size() > 6 ? qname.mid(6) : QByteArray();
        for (xmlNsPtr ns = node->nsDef; ns; ns = ns->next) {
            const bool match =
                prefix.isEmpty()
                    ? ns->prefix == nullptr
                    : (ns->prefix && prefix == reinterpret_cast<const char *>(ns->prefix));
            if (match)
                return presentValue(ns->href);
        }
        return QString();
    }
    for (xmlAttrPtr attr = node->properties; attr; attr = attr->next) {
        if (hasQualifiedName(reinterpret_cast<xmlNodePtr>(attr), qname)) {
            xmlChar *value = xmlNodeListGetString(node->doc, attr->children, 1);
            const QString result = presentValue(value);
            xmlFree(value);
            return result;
        }
    }
    return QString();
}

bool XmlNode::hasAttribute(const QString &name) const
{
    return !attribute(name).isNull();
}

void XmlNode::setAttribute(const QString &name, const QString &value)
{
    xmlNodePtr node = requireNode(m_node);
    if (node->type != XML_ELEMENT_NODE)
        throw XmlError(QStringLiteral("Attributes can only be set on elements"));
    const QByteArray qname = name.toUtf8();
    const QByteArray utf8 = value.toUtf8();
    // An existing attribute of that qualified name is replaced in place.
    for (xmlAttrPtr attr = node->properties; attr; attr = attr->next) {
        if (hasQualifiedName(reinterpret_cast<xmlNodePtr>(attr), qname)) {
            freeChildren(reinterpret_cast<xmlNodePtr>(attr));
            xmlAddChild(reinterpret_cast<xmlNodePtr>(attr),
                        xmlNewDocTextLen(node->doc, asXml(utf8), utf8.size()));
            return;
        }
    }
    if (!xmlSetProp(node, asXml(qname), asXml(utf8)))
        throw XmlError(QStringLiteral("Cannot set attribute \"%1\"").arg(name));
}

QString XmlNode::lookupNamespaceURI(const QString &prefix) const
{
    if (!m_node)
        return QString();
    xmlNodePtr node = asNode(m_node);
    const QByteArray utf8 = prefix.toUtf8();
    xmlNsPtr ns = xmlSearchNs(node->doc, node, prefix.isEmpty() ? nullptr : asXml(utf8));
    if (!ns || !ns->href || !*ns->href)
        return QString();
    return fromXml(ns->href);
}

XmlNode XmlNode::cloneNode(bool deep) const
{
    xmlNodePtr node = requireNode(m_node);
    xmlNodePtr copy = xmlDocCopyNode(node, node->doc, deep ? 1 : 2);
    if (!copy)
        throw XmlError(QStringLiteral("Cannot copy the node"));
    return XmlNode(copy);
}

XmlNode XmlNode::fromHandle(void *node)
{
    return XmlNode(node);
}

struct XmlDocument::Private
{
    QString fileName;
    xmlDocPtr doc = nullptr;

    void release()
    {
        if (doc)
            xmlFreeDoc(doc);
        doc = nullptr;
    }
    void requireActive() const
    {
        if (!doc)
            throw XmlError(QStringLiteral("The XML document is not active"));
    }
};

XmlDocument::XmlDocument() : d(std::make_unique<Private>()) {}

XmlDocument::~XmlDocument()
{
    d->release();
}

void XmlDocument::setFileName(const QString &path)
{
    // Naming another file drops the loaded one, so that activating reads the new file.
    if (d->doc && path != d->fileName)
        d->release();
    d->fileName = path;
}

QString XmlDocument::fileName() const
{
    return d->fileName;
}

void XmlDocument::setActive(bool active)
{
    if (!active) {
        d->release();
        return;
    }
    if (d->doc)
        return;
    if (d->fileName.isEmpty())
        throw XmlError(QStringLiteral("No XML file name given"));
    // A device or a pipe could block or be read for ever; a file past 2 GB cannot be parsed.
    const QFileInfo info(d->fileName);
    if (info.exists() && !info.isFile())
        throw XmlError(QStringLiteral("\"%1\" is not a regular file").arg(d->fileName));
    QFile file(d->fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw XmlError(
            QStringLiteral("Cannot open \"%1\": %2").arg(d->fileName, file.errorString()));
    if (file.isSequential() || file.size() > INT_MAX)
        throw XmlError(
            QStringLiteral("\"%1\" is not a file that can be read whole").arg(d->fileName));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw XmlError(
            QStringLiteral("Cannot read \"%1\": %2").arg(d->fileName, file.errorString()));
    d->doc = static_cast<xmlDocPtr>(XmlParse::parseDocument(bytes, QFile::encodeName(d->fileName)));
}

bool XmlDocument::active() const
{
    return d->doc != nullptr;
}

void XmlDocument::loadFromFile(const QString &path)
{
    d->release();
    d->fileName = path;
    setActive(true);
}

void XmlDocument::loadFromBytes(const QByteArray &bytes)
{
    d->release();
    d->doc = static_cast<xmlDocPtr>(XmlParse::parseDocument(bytes, QByteArray()));
}

QByteArray XmlDocument::toBytes(qsizetype sizeHint) const
{
    d->requireActive();
    return XmlParse::serialise(d->doc, sizeHint);
}

void XmlDocument::saveToFile(const QString &path) const
{
    d->requireActive();
    const QByteArray bytes = XmlParse::serialise(d->doc);
    try {
        WriteFileAtomically(path, bytes);
    } catch (const FileError &e) {
        throw XmlError(QString::fromUtf8(e.what()));
    }
}

void XmlDocument::save() const
{
    saveToFile(d->fileName);
}

QStringList XmlDocument::lines() const
{
    d->requireActive();
    QStringList result = XmlParse::serialiseText(d->doc).split(QLatin1Char('\n'));
    if (!result.isEmpty() && result.constLast().isEmpty())
        result.removeLast();
    return result;
}

XmlNode XmlDocument::documentElement() const
{
    if (!d->doc)
        return XmlNode();
    return XmlNode::fromHandle(xmlDocGetRootElement(d->doc));
}

void XmlDocument::keepFirstTopLevelInstruction(const QString &target)
{
    d->requireActive();
    const QByteArray name = target.toUtf8();
    bool seen = false;
    for (xmlNodePtr node = d->doc->children; node;) {
        xmlNodePtr next = node->next;
        if (node->type == XML_PI_NODE && xmlStrEqual(node->name, asXml(name))) {
            if (seen) {
                xmlUnlinkNode(node);
                xmlFreeNode(node);
            }
            seen = true;
        }
        node = next;
    }
}

QString XmlDocument::encoding() const
{
    if (!d->doc || !d->doc->encoding)
        return QString();
    return fromXml(d->doc->encoding);
}

void XmlDocument::setEncoding(const QString &encoding)
{
    d->requireActive();
    if (d->doc->encoding)
        xmlFree(const_cast<xmlChar *>(d->doc->encoding));
    d->doc->encoding = nullptr;
    if (!encoding.isEmpty())
        d->doc->encoding = xmlStrdup(asXml(encoding.toUtf8()));
}
