#include "sync/FeedPrologue.h"

#include <QString>

const char *const StyleSheetInstruction =
    "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>";

namespace {

const char *const XmlDeclaration = "<?xml version=\"1.0\"?>";

bool isXmlSpace(char16_t c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char16_t unitAt(const QByteArray &text, qsizetype i)
{
    return static_cast<unsigned char>(text.at(i));
}

char16_t unitAt(const QString &text, qsizetype i)
{
    return text.at(i).unicode();
}

// Only a declaration at the very start counts: "<?xml" or "?>" anywhere else may be in a
// comment, a section or a title, or begin the feed's own instruction.
template <typename Text>
Text insertInto(Text text, const Text &declaration, const Text &instruction, int bodyStart)
{
    const Text opener = declaration.left(5); // "<?xml"
    const bool declared = text.mid(bodyStart, 5) == opener && text.size() > bodyStart + 5 &&
                          isXmlSpace(unitAt(text, bodyStart + 5));
    if (!declared) {
        text.insert(bodyStart, declaration + instruction);
        return text;
    }
    const auto end = text.indexOf(declaration.right(2), bodyStart); // "?>"
    if (end >= 0)
        text.insert(end + 2, instruction);
    return text;
}

QByteArray editUtf16(const QByteArray &document, bool littleEndian)
{
    QString text;
    const int units = static_cast<int>((document.size() - 2) / 2);
    text.reserve(units);
    const auto *bytes = reinterpret_cast<const unsigned char *>(document.constData()) + 2;
    for (int i = 0; i < units; ++i) {
        const unsigned a = bytes[2 * i], b = bytes[2 * i + 1];
        text.append(QChar(static_cast<char16_t>(littleEndian ? a | (b << 8) : (a << 8) | b)));
    }
    text = insertInto(text, QString::fromLatin1(XmlDeclaration),
                      QString::fromLatin1(StyleSheetInstruction), 0);
    QByteArray out = document.left(2);
    out.reserve(2 + text.size() * 2);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
        out.append(littleEndian ? lo : hi);
        out.append(littleEndian ? hi : lo);
    }
    return out;
}

} // namespace

QByteArray InsertStyleSheetInstruction(const QByteArray &document)
{
    if (document.startsWith("\xFF\xFE"))
        return editUtf16(document, true);
    if (document.startsWith("\xFE\xFF"))
        return editUtf16(document, false);
    const int bodyStart = document.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    return insertInto(document, QByteArray(XmlDeclaration), QByteArray(StyleSheetInstruction),
                      bodyStart);
}
