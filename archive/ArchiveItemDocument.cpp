#include "archive/ArchiveItemDocument.h"

#include "archive/ArchiveRecord.h"

#include <libxml/tree.h>

ArchiveItemDocument::ArchiveItemDocument()
{
    m_schema.loadFromBytes(schemaText());
    // The template lives in a document of its own: a node detached from any document would
    // carry its own namespace declarations into every file it is copied to.
    m_templateHome.loadFromBytes(schemaText());
    m_template = m_templateHome.documentElement().firstChild();
    if (m_template.isNull())
        throw XmlError(QStringLiteral("The archive item schema has no item"));
}

QByteArray ArchiveItemDocument::schemaText()
{
    return QByteArrayLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n"
        "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
        "xmlns=\"http://purl.org/rss/1.0/\" "
        "xmlns:taxo=\"http://purl.org/rss/1.0/modules/taxonomy/\" "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
        "xmlns:syn=\"http://purl.org/rss/1.0/modules/syndication/\" "
        "xmlns:admin=\"http://webns.net/mvcb/\">\n"
        "\n"
        "\t<item rdf:about=\"\" GUID=\"\">\n"
        "\t\t<title></title>\n"
        "\t\t<link></link>\n"
        "\t\t<description></description>\n"
        "\t\t<dc:creator></dc:creator>\n"
        "\t\t<dc:date></dc:date>\n"
        "\t\t<unread>1</unread><pubDate></pubDate></item>\n"
        "</rdf:RDF>\n");
}

XmlNode ArchiveItemDocument::fill(const ArchiveRecord &stored)
{
    const ArchiveRecord r = archiveText(stored, ArchiveTextWay::ToShown);
    XmlNode item = m_template;
    item.child(QStringLiteral("title")).setText(r.sTitle);
    item.child(QStringLiteral("description")).setText(r.sDescription);
    item.child(QStringLiteral("dc:creator")).setText(r.sAuthor);
    item.child(QStringLiteral("dc:date")).setText(r.sDate);
    item.child(QStringLiteral("link")).setText(r.sLink);
    item.setAttribute(QStringLiteral("GUID"), r.sGUID);
    // Not in the schema: made after pubDate the first time, in this order, then reused.
    item.child(QStringLiteral("sChannelLink")).setText(r.sChannelLink);
    item.child(QStringLiteral("sChannelName")).setText(r.sChannelName);
    item.child(QStringLiteral("sChannelImage")).setText(r.sChannelImage);
    // The full text, which the style sheet shows in place of the description; a row without
    // one (archived before it was kept) shows its description.
    const QString contentName = QStringLiteral("content:encoded");
    if (r.sContent.isEmpty()) {
        if (XmlNode old = item.findChild(contentName))
            item.removeChild(old);
    } else {
        auto *node = static_cast<xmlNodePtr>(item.handle());
        if (!xmlSearchNs(node->doc, node, BAD_CAST "content"))
            xmlNewNs(node, BAD_CAST "http://purl.org/rss/1.0/modules/content/", BAD_CAST "content");
        item.child(contentName).setText(r.sContent);
    }
    return item;
}

void ArchiveItemDocument::write(XmlNode item, const QString &path)
{
    XmlNode root = m_schema.documentElement();
    root.deleteChild(0);
    XmlNode copy = root.appendChild(item.cloneNode(true));
    // The copy declares the namespaces it uses; the document element declares them already.
    // Option 1 is libxml2's "remove redundant declarations", whose name it keeps private.
    xmlDOMWrapReconcileNamespaces(nullptr, static_cast<xmlNodePtr>(copy.handle()), 1);
    m_schema.saveToFile(path);
}
