#include "xml/FeedItemScanner.h"

#include "xml/MarkupLimits.h"
#include "xml/Windows1250.h"
#include "xml/XmlParse.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <climits>
#include <cstring>

namespace {

const int MaxElementDepth = 1024;

struct ScanState
{
    const std::function<void(const QString &, const QString &)> *item = nullptr;
    xmlParserCtxtPtr ctxt = nullptr;
    bool failed = false;

    int depth = 0;
    bool rssRoot = false;   // items sit in the first `channel` child of the root
    int containerDepth = 0; // depth of the element whose children are items; 0 until known
    bool channelSeen = false;
    bool walkStarted = false; // the first child named exactly "item" was met
    bool inItem = false;
    int fieldDepth = 0; // depth of the title or unread element being read, or 0
    QByteArray *field = nullptr;
    QByteArray title, unread;
    bool titleSeen = false, unreadSeen = false;

    void fail()
    {
        failed = true;
        xmlStopParser(ctxt);
    }
};

ScanState *stateOf(void *context)
{
    auto *ctxt = static_cast<xmlParserCtxtPtr>(context);
    return static_cast<ScanState *>(ctxt->_private);
}

bool named(const xmlChar *prefix, const xmlChar *localName, const char *qualified)
{
    const char *colon = std::strchr(qualified, ':');
    if (!colon)
        return !prefix && std::strcmp(reinterpret_cast<const char *>(localName), qualified) == 0;
    const size_t prefixLength = size_t(colon - qualified);
    return prefix && std::strlen(reinterpret_cast<const char *>(prefix)) == prefixLength &&
           std::strncmp(reinterpret_cast<const char *>(prefix), qualified, prefixLength) == 0 &&
           std::strcmp(reinterpret_cast<const char *>(localName), colon + 1) == 0;
}

QByteArray attributeValue(const xmlChar **attributes, int count, const char *name)
{
    // Each attribute: localname, prefix, URI, value begin, value end.
    for (int i = 0; i < count; ++i) {
        const xmlChar **a = attributes + 5 * i;
        if (!a[1] && std::strcmp(reinterpret_cast<const char *>(a[0]), name) == 0)
            return QByteArray(reinterpret_cast<const char *>(a[3]), int(a[4] - a[3]));
    }
    return QByteArray();
}

void startElement(void *context, const xmlChar *localName, const xmlChar *prefix, const xmlChar *,
                  int, const xmlChar **, int attributeCount, int, const xmlChar **attributes)
{
    ScanState *s = stateOf(context);
    ++s->depth;
    if (s->depth > MaxElementDepth)
        return s->fail();
    if (s->fieldDepth)
        return s->fail(); // a title or mark with element children
    if (s->depth == 1) {
        s->rssRoot = named(prefix, localName, "rss") &&
                     attributeValue(attributes, attributeCount, "version") != "1.0";
        if (!s->rssRoot)
            s->containerDepth = 1;
        return;
    }
    if (s->rssRoot && s->depth == 2 && !s->channelSeen && named(prefix, localName, "channel")) {
        s->channelSeen = true;
        s->containerDepth = 2;
        return;
    }
    if (s->containerDepth && s->depth == s->containerDepth + 1) {
        if (!s->walkStarted && named(prefix, localName, "item"))
            s->walkStarted = true;
        if (s->walkStarted && std::strcmp(reinterpret_cast<const char *>(localName), "item") == 0) {
            s->inItem = true;
            s->title.clear();
            s->unread.clear();
            s->titleSeen = s->unreadSeen = false;
        }
        return;
    }
    if (s->inItem && s->depth == s->containerDepth + 2) {
        if (!s->titleSeen && named(prefix, localName, "title")) {
            s->titleSeen = true;
            s->field = &s->title;
            s->fieldDepth = s->depth;
        } else if (!s->unreadSeen && named(prefix, localName, "unread")) {
            s->unreadSeen = true;
            s->field = &s->unread;
            s->fieldDepth = s->depth;
        }
    }
}

void endElement(void *context, const xmlChar *, const xmlChar *, const xmlChar *)
{
    ScanState *s = stateOf(context);
    if (s->fieldDepth == s->depth) {
        s->fieldDepth = 0;
        s->field = nullptr;
    } else if (s->inItem && s->depth == s->containerDepth + 1) {
        s->inItem = false;
        (*s->item)(QString::fromUtf8(s->title), QString::fromUtf8(s->unread));
    } else if (s->depth == s->containerDepth && s->containerDepth == 2) {
        s->containerDepth = -1; // only the first channel holds items
    }
    --s->depth;
}

void characters(void *context, const xmlChar *text, int length)
{
    ScanState *s = stateOf(context);
    if (s->field)
        s->field->append(reinterpret_cast<const char *>(text), length);
}

// Anything that involves entities goes the tree's way, with its guards.
void entityDeclaration(void *context, const xmlChar *, int, const xmlChar *, const xmlChar *,
                       xmlChar *)
{
    stateOf(context)->fail();
}

xmlEntityPtr predefinedOnly(void *context, const xmlChar *name)
{
    xmlEntityPtr entity = xmlGetPredefinedEntity(name);
    if (!entity)
        stateOf(context)->fail();
    return entity;
}

void reference(void *context, const xmlChar *)
{
    stateOf(context)->fail();
}

xmlParserInputPtr noExternalEntity(void *context, const xmlChar *, const xmlChar *)
{
    stateOf(context)->fail();
    return nullptr;
}

void quietError(void *, xmlErrorPtr) {}

void quietReport(void *, const char *, ...) {}

// Encoding errors go to libxml2's generic channel, past the context's own handler; without
// this they would land on standard error.
class QuietGenericReports
{
public:
    QuietGenericReports() : m_func(xmlGenericError), m_context(xmlGenericErrorContext)
    {
        xmlSetGenericErrorFunc(nullptr, quietReport);
    }
    ~QuietGenericReports() { xmlSetGenericErrorFunc(m_context, m_func); }
    QuietGenericReports(const QuietGenericReports &) = delete;
    QuietGenericReports &operator=(const QuietGenericReports &) = delete;

private:
    xmlGenericErrorFunc m_func;
    void *m_context;
};

} // namespace

bool ScanFeedItems(const QByteArray &document,
                   const std::function<void(const QString &, const QString &)> &item)
{
    xmlSAXHandler handler;
    std::memset(&handler, 0, sizeof handler);
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = startElement;
    handler.endElementNs = endElement;
    handler.characters = characters;
    handler.cdataBlock = characters;
    handler.entityDecl = entityDeclaration;
    handler.getEntity = predefinedOnly;
    handler.getParameterEntity = predefinedOnly;
    handler.reference = reference;
    handler.resolveEntity = noExternalEntity;
    handler.serror = quietError;

    RegisterFastWindows1250();
    ScanState state;
    state.item = &item;
    if (document.size() > INT_MAX || !MarkupLimits::check(document).isEmpty() ||
        XmlParse::markOverride(document))
        return false;
    QuietGenericReports quiet;
    xmlParserCtxtPtr ctxt = xmlCreateMemoryParserCtxt(document.constData(), int(document.size()));
    if (!ctxt)
        return false;
    // The context owns its handler table; ours replaces the tree builder's.
    auto *sax = static_cast<xmlSAXHandlerPtr>(xmlMalloc(sizeof(xmlSAXHandler)));
    if (!sax) {
        xmlFreeParserCtxt(ctxt);
        return false;
    }
    std::memcpy(sax, &handler, sizeof handler);
    xmlFree(ctxt->sax);
    ctxt->sax = sax;
    ctxt->userData = ctxt;
    ctxt->_private = &state;
    state.ctxt = ctxt;
    xmlCtxtUseOptions(ctxt,
                      XML_PARSE_NONET | XML_PARSE_HUGE | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    const int result = xmlParseDocument(ctxt);
    const bool wellFormed = result == 0 && ctxt->wellFormed;
    xmlFreeParserCtxt(ctxt);
    return wellFormed && !state.failed && (!state.rssRoot || state.channelSeen);
}
