#include "xml/MarkupLimits.h"

#include <cstring>
#include <vector>

namespace {

// Past this depth the parser refuses the document itself, before it reaches any later tag.
constexpr size_t DepthWorthFollowing = 1100;

// Bytes of an ASCII-compatible encoding (UTF-8, Windows-1250, ISO-8859-x).
struct EightBit
{
    const unsigned char *data;
    qsizetype count;
    static constexpr int unitBytes = 1;

    qsizetype size() const { return count; }
    char16_t at(qsizetype i) const { return data[i]; }
    qsizetype find(char16_t c, qsizetype from) const
    {
        if (from >= count)
            return -1;
        const void *hit = std::memchr(data + from, int(c), size_t(count - from));
        return hit ? static_cast<const unsigned char *>(hit) - data : -1;
    }
};

struct SixteenBit
{
    const unsigned char *data;
    qsizetype count; // in units
    bool bigEndian;
    static constexpr int unitBytes = 2;

    qsizetype size() const { return count; }
    char16_t at(qsizetype i) const
    {
        const unsigned char *p = data + 2 * i;
        return bigEndian ? char16_t(p[0] << 8 | p[1]) : char16_t(p[1] << 8 | p[0]);
    }
    qsizetype find(char16_t c, qsizetype from) const
    {
        for (qsizetype i = from; i < count; ++i)
            if (at(i) == c)
                return i;
        return -1;
    }
};

bool isSpace(char16_t c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

template <class Text> class Scanner
{
public:
    explicit Scanner(const Text &text) : t(text), n(text.size()) {}

    QString run()
    {
        std::vector<int> openNamespaces;
        int inScope = 0;
        qsizetype i = 0;
        for (;;) {
            i = t.find('<', i);
            if (i < 0)
                return {};
            if (startsWith(i, "<!--")) {
                i = after(i + 4, "-->");
            } else if (startsWith(i, "<![CDATA[")) {
                i = after(i + 9, "]]>");
            } else if (startsWith(i, "<?")) {
                i = after(i + 2, "?>");
            } else if (startsWith(i, "<!")) {
                const qsizetype end = afterDeclaration(i);
                if ((end - i) * Text::unitBytes > MarkupLimits::MaxDoctypeBytes)
                    return QStringLiteral("The document type declaration is larger than %1 bytes")
                        .arg(MarkupLimits::MaxDoctypeBytes);
                i = end;
            } else if (startsWith(i, "</")) {
                if (!openNamespaces.empty()) {
                    inScope -= openNamespaces.back();
                    openNamespaces.pop_back();
                }
                i = t.find('>', i);
                if (i < 0)
                    return {};
                ++i;
            } else {
                int attributes = 0;
                int namespaces = 0;
                bool empty = false;
                i = startTag(i + 1, attributes, namespaces, empty);
                if (attributes > MarkupLimits::MaxAttributes)
                    return QStringLiteral("An element has more than %1 attributes")
                        .arg(MarkupLimits::MaxAttributes);
                if (inScope + namespaces > MarkupLimits::MaxNamespacesInScope)
                    return QStringLiteral("More than %1 namespace declarations are in scope")
                        .arg(MarkupLimits::MaxNamespacesInScope);
                if (!empty) {
                    if (openNamespaces.size() >= DepthWorthFollowing)
                        return {};
                    openNamespaces.push_back(namespaces);
                    inScope += namespaces;
                }
            }
            if (i >= n)
                return {};
        }
    }

private:
    bool startsWith(qsizetype at, const char *text) const
    {
        for (qsizetype k = 0; text[k]; ++k)
            if (at + k >= n || t.at(at + k) != char16_t(static_cast<unsigned char>(text[k])))
                return false;
        return true;
    }

    // The position after the next `text` from `from` on; the end when there is none.
    qsizetype after(qsizetype from, const char *text) const
    {
        for (qsizetype at = t.find(char16_t(text[0]), from); at >= 0;
             at = t.find(char16_t(text[0]), at + 1))
            if (startsWith(at, text))
                return at + qsizetype(std::strlen(text));
        return n;
    }

    // "<!DOCTYPE ... [ internal subset ] >" and the like: quoted literals, comments and
    // processing instructions inside may hold brackets and ">".
    qsizetype afterDeclaration(qsizetype i) const
    {
        int brackets = 0;
        char16_t quote = 0;
        for (i += 2; i < n; ++i) {
            const char16_t c = t.at(i);
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '[') {
                ++brackets;
            } else if (c == ']') {
                --brackets;
            } else if (c == '>' && brackets <= 0) {
                return i + 1;
            } else if (startsWith(i, "<!--")) {
                i = after(i + 4, "-->") - 1;
            } else if (startsWith(i, "<?")) {
                i = after(i + 2, "?>") - 1;
            }
        }
        return n;
    }

    // Counts the attributes of the start tag whose name begins at `i`; the position after it.
    qsizetype startTag(qsizetype i, int &attributes, int &namespaces, bool &empty) const
    {
        char16_t quote = 0;
        char16_t previous = 0;
        for (; i < n; ++i) {
            const char16_t c = t.at(i);
            if (quote) {
                if (c == quote)
                    quote = 0;
                continue;
            }
            if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '=') {
                ++attributes;
                if (declaresNamespace(i))
                    ++namespaces;
            } else if (c == '>') {
                empty = previous == '/';
                return i + 1;
            } else if (c == '<') {
                return i; // not well-formed: the parser says so
            }
            if (!isSpace(c))
                previous = c;
        }
        return n;
    }

    // Whether the attribute name before the "=" at `equals` is "xmlns" or "xmlns:...".
    bool declaresNamespace(qsizetype equals) const
    {
        qsizetype end = equals;
        while (end > 0 && isSpace(t.at(end - 1)))
            --end;
        qsizetype start = end;
        while (start > 0 && !isSpace(t.at(start - 1)) && t.at(start - 1) != '"' &&
               t.at(start - 1) != '\'' && t.at(start - 1) != '<')
            --start;
        const qsizetype length = end - start;
        return (length == 5 || (length > 6 && t.at(start + 5) == ':')) &&
               startsWith(start, "xmlns");
    }

    const Text &t;
    const qsizetype n;
};

} // namespace

namespace MarkupLimits {

QString check(const QByteArray &document)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(document.constData());
    const qsizetype size = document.size();
    // "<?xm" in EBCDIC: markup this pass cannot see into, in an encoding no feed uses.
    if (document.startsWith("\x4C\x6F\xA7\x94"))
        return QStringLiteral("Documents in EBCDIC are not read");
    if (size >= 2) {
        const bool markLe = bytes[0] == 0xFF && bytes[1] == 0xFE;
        const bool markBe = bytes[0] == 0xFE && bytes[1] == 0xFF;
        const bool bareLe = bytes[0] == '<' && bytes[1] == 0;
        const bool bareBe = bytes[0] == 0 && bytes[1] == '<';
        if (markLe || markBe || bareLe || bareBe) {
            const qsizetype skip = markLe || markBe ? 2 : 0;
            const SixteenBit text{bytes + skip, (size - skip) / 2, markBe || bareBe};
            return Scanner<SixteenBit>(text).run();
        }
    }
    const EightBit text{bytes, size};
    return Scanner<EightBit>(text).run();
}

} // namespace MarkupLimits
