#include "xml/XmlParse.h"

#include "xml/MarkupLimits.h"
#include "xml/Windows1250.h"
#include "xml/XmlDocument.h"

#include <QStringDecoder>

#include <libxml/SAX2.h>
#include <libxml/encoding.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

#include <climits>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

struct ErrorCollector
{
    bool has = false;
    QString message;
    int line = 0;

    void record(const QString &text, int atLine)
    {
        if (has)
            return;
        has = true;
        message = text.trimmed();
        line = atLine;
    }
    QString describe(const QString &fallback) const
    {
        if (!has)
            return fallback;
        if (line > 0)
            return QStringLiteral("%1 (line %2)").arg(message).arg(line);
        return message;
    }
};

void collectStructured(void *context, xmlErrorPtr error)
{
    if (!context || !error || error->level < XML_ERR_ERROR)
        return;
    static_cast<ErrorCollector *>(context)->record(
        QString::fromUtf8(error->message ? error->message : "XML error"), error->line);
}

void discardGeneric(void *, const char *, ...) {}

// Routes libxml2's error reports into a collector for the life of the scope, so that nothing
// reaches stderr, and restores whatever handlers were there before.
class ErrorScope
{
public:
    explicit ErrorScope(ErrorCollector *collector)
        : m_structured(xmlStructuredError), m_structuredContext(xmlStructuredErrorContext),
          m_generic(xmlGenericError), m_genericContext(xmlGenericErrorContext)
    {
        xmlSetStructuredErrorFunc(collector, collectStructured);
        xmlSetGenericErrorFunc(nullptr, discardGeneric);
    }
    ~ErrorScope()
    {
        xmlSetStructuredErrorFunc(m_structuredContext, m_structured);
        xmlSetGenericErrorFunc(m_genericContext, m_generic);
    }
    ErrorScope(const ErrorScope &) = delete;
    ErrorScope &operator=(const ErrorScope &) = delete;

private:
    xmlStructuredErrorFunc m_structured;
    void *m_structuredContext;
    xmlGenericErrorFunc m_generic;
    void *m_genericContext;
};

// Counts the text that entity references expand to, and the element depth, while one document is
// parsed. libxml2's own amplification check and depth limit are off under XML_PARSE_HUGE (needed
// for very large text nodes), so this guard keeps "billion laughs" and runaway nesting out.
struct EntityGuard
{
    ErrorCollector *errors = nullptr;
    xmlParserCtxtPtr ctxt = nullptr;
    qint64 expanded = 0;
    bool tripped = false;
    std::unordered_map<const void *, qint64> sizes;

    static constexpr int MaxEntityNesting = 40;
    static constexpr qint64 TooMuch = XmlParse::MaxEntityExpansion + 1;

    // Full replacement size of an internal general entity, nested references included.
    qint64 expandedSize(xmlEntityPtr entity, int depth)
    {
        if (depth > MaxEntityNesting)
            return TooMuch;
        auto known = sizes.find(entity);
        if (known != sizes.end())
            return known->second < 0 ? TooMuch : known->second; // negative: a reference loop
        sizes[entity] = -1;
        const xmlChar *content = entity->content;
        qint64 total = 0;
        for (const xmlChar *p = content; p && *p && total < TooMuch; ++p) {
            ++total;
            if (*p != '&' || p[1] == '#')
                continue;
            const xmlChar *end = xmlStrchr(p + 1, ';');
            if (!end)
                continue;
            const QByteArray name(reinterpret_cast<const char *>(p + 1), int(end - p - 1));
            xmlEntityPtr nested =
                ctxt->myDoc ? xmlGetDocEntity(ctxt->myDoc,
                                              reinterpret_cast<const xmlChar *>(name.constData()))
                            : nullptr;
            if (nested && nested->etype == XML_INTERNAL_GENERAL_ENTITY)
                total += expandedSize(nested, depth + 1);
            else
                total += end - p;
            p = end;
        }
        total = qMin(total, TooMuch);
        sizes[entity] = total;
        return total;
    }

    // `current` is the context libxml2 is running now: an entity's content gets a parser of
    // its own that shares our callbacks and this guard.
    void trip(xmlParserCtxtPtr current, const QString &message)
    {
        if (tripped)
            return;
        tripped = true;
        errors->record(message, ctxt->input ? ctxt->input->line : 0);
        xmlStopParser(ctxt);
        ctxt->wellFormed = 0;
        if (current && current != ctxt) {
            xmlStopParser(current);
            current->wellFormed = 0;
        }
    }

    void add(xmlParserCtxtPtr current, qint64 amount)
    {
        expanded += amount;
        if (expanded > XmlParse::MaxEntityExpansion)
            trip(current, QStringLiteral("Entity expansion exceeds the limit of %1 bytes")
                              .arg(XmlParse::MaxEntityExpansion));
    }

    int depth = 0;
};

// XML_PARSE_HUGE also lifts libxml2's nesting limit; code that copies trees recurses.
constexpr int MaxElementDepth = 1024;

EntityGuard *guardOf(void *context)
{
    return static_cast<EntityGuard *>(static_cast<xmlParserCtxtPtr>(context)->_private);
}

xmlEntityPtr guardedGetEntity(void *context, const xmlChar *name)
{
    EntityGuard *guard = guardOf(context);
    if (guard->tripped)
        return nullptr;
    xmlEntityPtr entity = xmlSAX2GetEntity(context, name);
    if (entity && entity->etype == XML_INTERNAL_GENERAL_ENTITY) {
        guard->add(static_cast<xmlParserCtxtPtr>(context),
                   guard->expandedSize(entity, 0) + xmlStrlen(name) + 2);
        if (guard->tripped)
            return nullptr;
    }
    return entity;
}

xmlEntityPtr guardedGetParameterEntity(void *context, const xmlChar *name)
{
    EntityGuard *guard = guardOf(context);
    if (guard->tripped)
        return nullptr;
    xmlEntityPtr entity = xmlSAX2GetParameterEntity(context, name);
    if (entity) {
        guard->add(static_cast<xmlParserCtxtPtr>(context),
                   xmlStrlen(entity->content) + xmlStrlen(name) + 2);
        if (guard->tripped)
            return nullptr;
    }
    return entity;
}

void guardedStartElement(void *context, const xmlChar *localName, const xmlChar *prefix,
                         const xmlChar *uri, int namespaceCount, const xmlChar **namespaces,
                         int attributeCount, int defaultedCount, const xmlChar **attributes)
{
    EntityGuard *guard = guardOf(context);
    if (++guard->depth > MaxElementDepth) {
        guard->trip(
            static_cast<xmlParserCtxtPtr>(context),
            QStringLiteral("Elements are nested deeper than %1 levels").arg(MaxElementDepth));
        return;
    }
    // Markup from entities escapes the scan before parsing; building a huge attribute list
    // would cost time with the square of its length.
    if (attributeCount + namespaceCount > MarkupLimits::MaxAttributes) {
        guard->trip(static_cast<xmlParserCtxtPtr>(context),
                    QStringLiteral("An element has more than %1 attributes")
                        .arg(MarkupLimits::MaxAttributes));
        return;
    }
    xmlSAX2StartElementNs(context, localName, prefix, uri, namespaceCount, namespaces,
                          attributeCount, defaultedCount, attributes);
}

void guardedEndElement(void *context, const xmlChar *localName, const xmlChar *prefix,
                       const xmlChar *uri)
{
    EntityGuard *guard = guardOf(context);
    if (guard->depth-- > MaxElementDepth)
        return;
    xmlSAX2EndElementNs(context, localName, prefix, uri);
}

// External DTDs and entities are never fetched, whatever the options say.
void noExternalSubset(void *, const xmlChar *, const xmlChar *, const xmlChar *) {}

xmlParserInputPtr noExternalEntity(void *, const xmlChar *, const xmlChar *)
{
    return nullptr;
}

struct CtxtDeleter
{
    void operator()(xmlParserCtxtPtr ctxt) const { xmlFreeParserCtxt(ctxt); }
};

// The encoding named by an XML declaration at the start of `head` (ASCII text); empty when none.
QByteArray declaredEncoding(const QByteArray &head)
{
    if (!head.startsWith("<?xml"))
        return {};
    const int end = head.indexOf("?>");
    const QByteArray declaration = end > 0 ? head.left(end) : head;
    int at = declaration.indexOf("encoding");
    if (at < 0)
        return {};
    at += 8;
    while (at < declaration.size() && (declaration.at(at) == ' ' || declaration.at(at) == '\t' ||
                                       declaration.at(at) == '\r' || declaration.at(at) == '\n'))
        ++at;
    if (at >= declaration.size() || declaration.at(at) != '=')
        return {};
    ++at;
    while (at < declaration.size() && (declaration.at(at) == ' ' || declaration.at(at) == '\t' ||
                                       declaration.at(at) == '\r' || declaration.at(at) == '\n'))
        ++at;
    if (at >= declaration.size() || (declaration.at(at) != '"' && declaration.at(at) != '\''))
        return {};
    const int close = declaration.indexOf(declaration.at(at), at + 1);
    return close > at ? declaration.mid(at + 1, close - at - 1) : QByteArray();
}

bool namesUtf8(const QByteArray &name)
{
    const QByteArray lower = name.toLower();
    return lower == "utf-8" || lower == "utf8";
}

bool namesUtf16(const QByteArray &name)
{
    return name.toLower().startsWith("utf-16") || name.toLower().startsWith("utf16");
}

} // namespace

namespace XmlParse {

std::optional<MarkOverride> markOverride(const QByteArray &bytes)
{
    MarkOverride result;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        result.declared = declaredEncoding(bytes.mid(3, 512));
        if (result.declared.isEmpty() || namesUtf8(result.declared))
            return std::nullopt;
        result.utf8 = bytes.mid(3);
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        const bool bigEndian = bytes.at(0) == '\xFE';
        QStringDecoder decoder(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE);
        const QString head = decoder(bytes.mid(2, 1024));
        result.declared = declaredEncoding(head.toLatin1());
        if (result.declared.isEmpty() || namesUtf16(result.declared) || namesUtf8(result.declared))
            return std::nullopt;
        QStringDecoder whole(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE);
        result.utf8 = QString(whole(bytes.mid(2))).toUtf8();
    } else {
        return std::nullopt;
    }
    // An encoding nobody knows stays an error of the document.
    xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(result.declared.constData());
    if (!handler)
        return std::nullopt;
    xmlCharEncCloseFunc(handler);
    return result;
}

void *parseDocument(const QByteArray &bytes, const QByteArray &url)
{
    if (bytes.size() > INT_MAX)
        throw XmlError(QStringLiteral("The XML document is too large"));
    const QString overLimit = MarkupLimits::check(bytes);
    if (!overLimit.isEmpty())
        throw XmlError(overLimit);
    RegisterFastWindows1250();
    ErrorCollector errors;
    ErrorScope scope(&errors);

    std::unique_ptr<xmlParserCtxt, CtxtDeleter> ctxt(xmlNewParserCtxt());
    if (!ctxt || !ctxt->sax)
        throw XmlError(QStringLiteral("Cannot create an XML parser"));
    EntityGuard guard;
    guard.errors = &errors;
    guard.ctxt = ctxt.get();
    ctxt->_private = &guard;
    ctxt->sax->getEntity = guardedGetEntity;
    ctxt->sax->getParameterEntity = guardedGetParameterEntity;
    ctxt->sax->externalSubset = noExternalSubset;
    ctxt->sax->resolveEntity = noExternalEntity;
    ctxt->sax->startElementNs = guardedStartElement;
    ctxt->sax->endElementNs = guardedEndElement;

    // No XML_PARSE_NOENT or XML_PARSE_DTDLOAD: those are what make libxml2 read external entities.
    int options = XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOCDATA | XML_PARSE_HUGE |
                  XML_PARSE_NOWARNING;
    // A byte-order mark is certain where a declaration naming another encoding is not: libxml2
    // would switch decoders after the declaration and read the rest wrongly. The text is read
    // as the mark says; the declared name stays, so a save writes what it declares.
    const std::optional<MarkOverride> overridden = markOverride(bytes);
    const QByteArray &input = overridden ? overridden->utf8 : bytes;
    if (overridden)
        options |= XML_PARSE_IGNORE_ENC;
    xmlDocPtr doc = xmlCtxtReadMemory(ctxt.get(), input.constData(), int(input.size()),
                                      url.isEmpty() ? nullptr : url.constData(),
                                      overridden ? "UTF-8" : nullptr, options);
    if (doc && (guard.tripped || !xmlDocGetRootElement(doc))) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    if (!doc)
        throw XmlError(errors.describe(QStringLiteral("The XML document is not well formed")));
    if (overridden) {
        if (doc->encoding)
            xmlFree(const_cast<xmlChar *>(doc->encoding));
        doc->encoding =
            xmlStrdup(reinterpret_cast<const xmlChar *>(overridden->declared.constData()));
    }
    return doc;
}

namespace {

// libxml2 writes namespace names as they are, where it escapes attribute values: a name
// holding "<" or "&" (read from "&lt;" or "&amp;") would make the saved file unreadable.
// For the time of one save, each such name is replaced by its escaped text, which reads
// back as the name. Characters beyond ASCII become references too, as no target encoding
// then can lack them.
class EscapedNamespaceNames
{
public:
    explicit EscapedNamespaceNames(xmlDocPtr doc)
    {
        xmlNodePtr node = xmlDocGetRootElement(doc);
        while (node) {
            if (node->type == XML_ELEMENT_NODE)
                for (xmlNsPtr ns = node->nsDef; ns; ns = ns->next)
                    escape(ns);
            if (node->type == XML_ELEMENT_NODE && node->children) {
                node = node->children;
                continue;
            }
            while (node && !node->next) {
                node = node->parent;
                if (node && node->type != XML_ELEMENT_NODE)
                    node = nullptr;
            }
            if (node)
                node = node->next;
        }
    }

    ~EscapedNamespaceNames()
    {
        for (const auto &[ns, original] : m_replaced) {
            xmlFree(const_cast<xmlChar *>(ns->href));
            ns->href = original;
        }
    }

    EscapedNamespaceNames(const EscapedNamespaceNames &) = delete;
    EscapedNamespaceNames &operator=(const EscapedNamespaceNames &) = delete;

private:
    static bool needsEscaping(const xmlChar *href)
    {
        for (const xmlChar *p = href; *p; ++p)
            if (*p == '&' || *p == '<' || *p == '>' || *p == '"' || *p < 0x20 || *p >= 0x80)
                return true;
        return false;
    }

    void escape(xmlNsPtr ns)
    {
        if (!ns->href || !needsEscaping(ns->href))
            return;
        const QString name = QString::fromUtf8(reinterpret_cast<const char *>(ns->href));
        QByteArray escaped;
        const QList<uint> characters = name.toUcs4();
        for (qsizetype i = 0; i < characters.size(); ++i) {
            const char32_t c = characters.at(i);
            // libxml2 holds an escaped "&" of the document as "&#38;", which reads back as
            // "&": only a bare one needs escaping.
            const bool held = i + 4 < characters.size() && characters.at(i + 1) == '#' &&
                              characters.at(i + 2) == '3' && characters.at(i + 3) == '8' &&
                              characters.at(i + 4) == ';';
            if (c == '&' && !held)
                escaped += "&#38;";
            else if (c == '<')
                escaped += "&lt;";
            else if (c == '>')
                escaped += "&gt;";
            else if (c == '"')
                escaped += "&quot;";
            else if (c < 0x20 || c >= 0x80)
                escaped += "&#" + QByteArray::number(uint(c)) + ';';
            else
                escaped += char(c);
        }
        m_replaced.emplace_back(ns, ns->href);
        ns->href = xmlStrdup(reinterpret_cast<const xmlChar *>(escaped.constData()));
    }

    std::vector<std::pair<xmlNsPtr, const xmlChar *>> m_replaced;
};

// The declaration is written by hand when the bytes are UTF-8 but no encoding is declared, or
// when the text is only wanted as a QString.
QByteArray declaration(xmlDocPtr doc, const xmlChar *encoding)
{
    QByteArray line = "<?xml version=\"";
    line += doc->version ? reinterpret_cast<const char *>(doc->version) : "1.0";
    line += '"';
    if (encoding) {
        line += " encoding=\"";
        line += reinterpret_cast<const char *>(encoding);
        line += '"';
    }
    if (doc->standalone == 1)
        line += " standalone=\"yes\"";
    else if (doc->standalone == 0)
        line += " standalone=\"no\"";
    line += "?>\n";
    return line;
}

int appendTo(void *context, const char *bytes, int length)
{
    static_cast<QByteArray *>(context)->append(bytes, length);
    return length;
}

int leaveOpen(void *)
{
    return 0;
}

// The document appended to `out` as it is written, so that a buffer reserved for the whole
// of it is filled once, without libxml2's growing buffer and a copy of that.
long saveInto(QByteArray &out, xmlDocPtr doc, const char *encoding, int options,
              ErrorCollector &errors)
{
    xmlSaveCtxtPtr save = xmlSaveToIO(appendTo, leaveOpen, &out, encoding, options);
    if (!save)
        throw XmlError(errors.describe(QStringLiteral("Cannot write the XML document")));
    const long written = xmlSaveDoc(save, doc);
    xmlSaveClose(save);
    return written;
}

QByteArray utf8WithDeclaration(xmlDocPtr doc, const xmlChar *declared, ErrorCollector &errors,
                               qsizetype sizeHint = 0)
{
    QByteArray result = declaration(doc, declared);
    if (sizeHint > 0)
        result.reserve(sizeHint);
    const long written = saveInto(result, doc, "UTF-8", XML_SAVE_FORMAT | XML_SAVE_NO_DECL, errors);
    if (written < 0 && errors.has)
        throw XmlError(errors.describe(QString()));
    return result;
}

} // namespace

QByteArray serialise(void *handle, qsizetype sizeHint)
{
    auto *doc = static_cast<xmlDocPtr>(handle);
    RegisterFastWindows1250();
    ErrorCollector errors;
    ErrorScope scope(&errors);
    const EscapedNamespaceNames escaped(doc);
    const char *target = reinterpret_cast<const char *>(doc->encoding);
    if (!target)
        return utf8WithDeclaration(doc, nullptr, errors, sizeHint);
    xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(target);
    if (!handler)
        throw XmlError(
            QStringLiteral("Unsupported encoding \"%1\"").arg(QString::fromUtf8(target)));
    xmlCharEncCloseFunc(handler);
    QByteArray result;
    if (sizeHint > 0)
        result.reserve(sizeHint);
    // As xmlDocDumpFormatMemoryEnc writes it: indented, as XML whatever the document type.
    if (saveInto(result, doc, target, XML_SAVE_FORMAT | XML_SAVE_AS_XML, errors) < 0)
        throw XmlError(errors.describe(QStringLiteral("Cannot write the XML document in \"%1\"")
                                           .arg(QString::fromUtf8(target))));
    return result;
}

QString serialiseText(void *handle)
{
    auto *doc = static_cast<xmlDocPtr>(handle);
    ErrorCollector errors;
    ErrorScope scope(&errors);
    const EscapedNamespaceNames escaped(doc);
    return QString::fromUtf8(utf8WithDeclaration(doc, doc->encoding, errors));
}

} // namespace XmlParse
