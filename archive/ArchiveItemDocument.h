#pragma once

#include "xml/XmlDocument.h"

#include <QByteArray>
#include <QString>

struct ArchiveRecord;

// The document an archived item is shown through: xmlArchiveSchema, and archiveItemTemplate,
// the one item node every archive display fills again (so a caller that keeps it sees the
// values of the row read last).
class ArchiveItemDocument
{
public:
    // Parses the schema; raises XmlError.
    ArchiveItemDocument();

    // The schema's twelve lines.
    static QByteArray schemaText();

    XmlDocument &xmlArchiveSchema() { return m_schema; }
    XmlNode archiveItemTemplate() const { return m_template; }

    // Fills the template from a stored row (double quotes restored) and gives it. unread,
    // rdf:about and pubDate are left as they are.
    XmlNode fill(const ArchiveRecord &record);
    // Puts a copy of `item` in place of the schema's item and writes the whole document to
    // `path` in UTF-8, replacing the file only once written in full. Raises XmlError.
    void write(XmlNode item, const QString &path);

private:
    XmlDocument m_schema;
    XmlDocument m_templateHome; // keeps the template's namespaces in scope
    XmlNode m_template;
};
