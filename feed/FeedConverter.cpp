#include "feed/FeedConverter.h"

#include "feed/AtomConverter.h"
#include "feed/JsonFeedConverter.h"
#include "xml/XmlDocument.h"

namespace {

// Far enough for any prolog of declarations, comments and a document type.
const qsizetype RootSearchBytes = 64 * 1024;

// The qualified name of the document element, found by a scan of the prolog; empty when
// the start does not read as XML in an ASCII-compatible encoding or in UTF-16.
QByteArray rootElementName(const QByteArray &document)
{
    QByteArray text = document.left(RootSearchBytes);
    if (text.startsWith("\xFF\xFE") || text.startsWith("\xFE\xFF")) {
        const bool little = text.startsWith("\xFF\xFE");
        QString decoded;
        for (qsizetype i = 2; i + 1 < text.size(); i += 2) {
            const auto a = uchar(text.at(i)), b = uchar(text.at(i + 1));
            decoded.append(QChar(char16_t(little ? a | (b << 8) : (a << 8) | b)));
        }
        text = decoded.toUtf8();
    } else if (text.startsWith("\xEF\xBB\xBF")) {
        text.remove(0, 3);
    }
    qsizetype at = 0;
    for (;;) {
        at = text.indexOf('<', at);
        if (at < 0 || at + 1 >= text.size())
            return QByteArray();
        if (text.at(at + 1) == '?') {
            at = text.indexOf("?>", at);
        } else if (text.mid(at, 4) == "<!--") {
            at = text.indexOf("-->", at);
        } else if (text.at(at + 1) == '!') {
            const qsizetype close = text.indexOf('>', at);
            const qsizetype subset = text.indexOf('[', at);
            at = subset >= 0 && subset < close ? text.indexOf("]", subset) : close;
        } else {
            qsizetype end = at + 1;
            while (end < text.size() && !QByteArray(" \t\r\n/>").contains(text.at(end)))
                ++end;
            return text.mid(at + 1, end - at - 1);
        }
        if (at < 0)
            return QByteArray();
    }
}

bool mayBeAtom(const QByteArray &document)
{
    const QByteArray name = rootElementName(document);
    return name == "feed" || name.endsWith(":feed");
}

} // namespace

FeedFormat DetectFeedFormat(const QByteArray &document)
{
    if (FeedConversion::looksLikeJson(document))
        return FeedFormat::JsonFeed;
    if (!mayBeAtom(document))
        return FeedFormat::Other;
    try {
        XmlDocument xml;
        xml.loadFromBytes(document);
        return FeedConversion::isAtomDocument(xml) ? FeedFormat::Atom : FeedFormat::Other;
    } catch (const XmlError &) {
        return FeedFormat::Other;
    }
}

bool ConvertFeedToRss(const QByteArray &document, const QString &address, QByteArray &rss)
{
    if (FeedConversion::looksLikeJson(document)) {
        rss = FeedConversion::writeRss(FeedConversion::readJsonFeed(document, address));
        return true;
    }
    if (!mayBeAtom(document))
        return false;
    XmlDocument xml;
    xml.loadFromBytes(document);
    if (!FeedConversion::isAtomDocument(xml))
        return false;
    rss = FeedConversion::writeRss(FeedConversion::readAtom(xml, address));
    return true;
}
