#include "sync/FeedPrologue.h"

#include <QFile>
#include <QString>

#include <cstring>

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

// Where the instruction goes in an 8-bit document and what goes in front of it: after the
// declaration at the very start, or, with none there, a declaration of its own first.
struct Insertion
{
    qsizetype at = 0;
    bool withDeclaration = false;
};

Insertion insertionPoint(const char *text, qsizetype size)
{
    const qsizetype bodyStart = size >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    const bool declared = size > bodyStart + 5 && std::memcmp(text + bodyStart, "<?xml", 5) == 0 &&
                          isXmlSpace(static_cast<unsigned char>(text[bodyStart + 5]));
    if (!declared)
        return {bodyStart, true};
    const QByteArray view = QByteArray::fromRawData(text, size);
    const qsizetype end = view.indexOf("?>", bodyStart);
    return {end >= 0 ? end + 2 : -1, false};
}

bool isUtf16(const char *text, qsizetype size)
{
    return size >= 2 && ((text[0] == '\xFF' && text[1] == '\xFE') ||
                         (text[0] == '\xFE' && text[1] == '\xFF'));
}

} // namespace

QByteArray InsertStyleSheetInstruction(const QByteArray &document)
{
    if (document.startsWith("\xFF\xFE"))
        return editUtf16(document, true);
    if (document.startsWith("\xFE\xFF"))
        return editUtf16(document, false);
    const Insertion point = insertionPoint(document.constData(), document.size());
    if (point.at < 0)
        return document;
    // One buffer of the final size, each part copied once.
    const qsizetype declaration = point.withDeclaration ? qsizetype(std::strlen(XmlDeclaration)) : 0;
    const qsizetype instruction = qsizetype(std::strlen(StyleSheetInstruction));
    QByteArray out(document.size() + declaration + instruction, Qt::Uninitialized);
    char *p = out.data();
    std::memcpy(p, document.constData(), size_t(point.at));
    p += point.at;
    std::memcpy(p, XmlDeclaration, size_t(declaration));
    p += declaration;
    std::memcpy(p, StyleSheetInstruction, size_t(instruction));
    p += instruction;
    std::memcpy(p, document.constData() + point.at, size_t(document.size() - point.at));
    return out;
}

bool FeedBuffer::read(const QString &path)
{
    clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    // Room for a declaration and the instruction, should the document need both.
    m_begin = qsizetype(std::strlen(XmlDeclaration) + std::strlen(StyleSheetInstruction));
    m_buffer = QByteArray(m_begin + qsizetype(size), Qt::Uninitialized);
    qint64 got = 0;
    while (got < size) {
        const qint64 n = file.read(m_buffer.data() + m_begin + got, size - got);
        if (n <= 0)
            break;
        got += n;
    }
    if (got != size || !file.atEnd()) {
        // A file that changed while read: read it the plain way.
        file.seek(0);
        const QByteArray all = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return false;
        replace(all);
        return true;
    }
    m_size = qsizetype(size);
    return true;
}

QByteArray FeedBuffer::text() const
{
    return QByteArray::fromRawData(m_buffer.constData() + m_begin, m_size);
}

void FeedBuffer::replace(const QByteArray &document)
{
    m_buffer = document;
    m_begin = 0;
    m_size = document.size();
}

void FeedBuffer::insertStyleSheetInstruction()
{
    const char *doc = m_buffer.constData() + m_begin;
    if (isUtf16(doc, m_size)) {
        replace(InsertStyleSheetInstruction(QByteArray(doc, m_size)));
        return;
    }
    const Insertion point = insertionPoint(doc, m_size);
    if (point.at < 0)
        return;
    const qsizetype declaration = point.withDeclaration ? qsizetype(std::strlen(XmlDeclaration)) : 0;
    const qsizetype instruction = qsizetype(std::strlen(StyleSheetInstruction));
    if (m_begin < declaration + instruction) {
        replace(InsertStyleSheetInstruction(text()));
        return;
    }
    // What comes before the insertion point moves to the front; the rest stays where it is.
    char *data = m_buffer.data();
    const qsizetype start = m_begin - declaration - instruction;
    std::memmove(data + start, data + m_begin, size_t(point.at));
    std::memcpy(data + start + point.at, XmlDeclaration, size_t(declaration));
    std::memcpy(data + start + point.at + declaration, StyleSheetInstruction, size_t(instruction));
    m_begin = start;
    m_size += declaration + instruction;
}

void FeedBuffer::clear()
{
    m_buffer = QByteArray();
    m_begin = 0;
    m_size = 0;
}
