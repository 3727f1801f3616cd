#include "feed/FeedNormaliser.h"

namespace {

XmlNode firstChildNamed(const XmlNode &parent, const QString &name)
{
    for (XmlNode child = parent.firstChild(); child; child = child.nextSibling()) {
        if (child.isElement() && child.nodeName() == name)
            return child;
    }
    return XmlNode();
}

// ISO-8859-2 documents are kept as Windows-1250, which holds the same Polish letters and is
// what the rest of the program expects; UTF-8 is the fallback when that save fails.
void rewriteIsoLatin2(XmlDocument &document)
{
    if (document.encoding().toLower() != QLatin1String("iso-8859-2"))
        return;
    document.setEncoding(QStringLiteral("windows-1250"));
    try {
        document.save();
    } catch (const XmlError &) {
        document.setEncoding(QStringLiteral("UTF-8"));
        document.save();
    }
}

} // namespace

NormalisedFeed NormaliseFeedFile(XmlDocument &document)
{
    if (!document.active())
        throw XmlError(QStringLiteral("The XML document is not active"));
    rewriteIsoLatin2(document);

    NormalisedFeed result;
    const XmlNode root = document.documentElement();
    if (root.nodeName() != QLatin1String("rss"))
        result.version = QStringLiteral("1.0");
    else
        result.version = root.attribute(QStringLiteral("version"));

    if (result.version == QLatin1String("1.0")) {
        result.firstItem = firstChildNamed(root, QStringLiteral("item"));
        return result;
    }
    const XmlNode channel = firstChildNamed(root, QStringLiteral("channel"));
    if (channel.isNull())
        throw FeedFormatError(QStringLiteral("The rss element has no channel element"));
    result.firstItem = channel.findChild(QStringLiteral("item"));
    return result;
}
