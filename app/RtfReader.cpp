#include "app/RtfReader.h"

#include "xml/Windows1250.h"

#include <QStringDecoder>
#include <QVector>

#include <array>

namespace {

// Groups deeper than this are read as text of the deepest kept level; a hostile file
// cannot grow the state stack without bound.
constexpr int MaxDepth = 200;
constexpr int DefaultFontSize = 24; // half-points

struct CharFormat
{
    bool bold = false;
    bool italic = false;
    int fontSize = DefaultFontSize;
    bool operator==(const CharFormat &o) const
    {
        return bold == o.bold && italic == o.italic && fontSize == o.fontSize;
    }
};

struct Run
{
    QString text;
    CharFormat format;
};

using Paragraph = QVector<Run>;

struct GroupState
{
    CharFormat format;
    bool skip = false;   // a destination whose text is not shown
    int unicodeSkip = 1; // \ucN: characters standing in for each \u escape
};

bool isSkippedDestination(const QByteArray &word)
{
    static const char *const names[] = {
        "fonttbl",    "colortbl",     "stylesheet", "info",
        "pict",       "object",       "header",     "headerl",
        "headerr",    "headerf",      "footer",     "footerl",
        "footerr",    "footerf",      "listtable",  "listoverridetable",
        "rsidtbl",    "generator",    "themedata",  "colorschememapping",
        "datastore",  "latentstyles", "xmlnstbl",   "fldinst",
        "filetbl",    "revtbl",       "pgdsctbl",   "footnote",
        "annotation", "bkmkstart",    "bkmkend",    "nonshppict",
        "shppict",    "mmathPr"};
    for (const char *name : names)
        if (word == name)
            return true;
    return false;
}

class RtfParser
{
public:
    explicit RtfParser(const QByteArray &rtf) : m_in(rtf)
    {
        for (int i = 0; i < 128; ++i)
            m_high[i] = QChar(Windows1250High[i]);
        m_stack.push_back(GroupState());
        m_paragraphs.push_back(Paragraph());
    }

    QVector<Paragraph> parse()
    {
        while (m_pos < m_in.size()) {
            const char c = m_in[m_pos++];
            if (c == '{') {
                openGroup();
            } else if (c == '}') {
                closeGroup();
            } else if (c == '\\') {
                controlSequence();
            } else if (c == '\r' || c == '\n' || c == '\0') {
                // line breaks in the source are not text
            } else {
                byteText(static_cast<unsigned char>(c));
            }
        }
        if (!m_paragraphs.isEmpty() && m_paragraphs.last().isEmpty())
            m_paragraphs.removeLast();
        return m_paragraphs;
    }

private:
    GroupState &state() { return m_stack.back(); }

    void openGroup()
    {
        m_pendingUnicodeSkip = 0;
        if (int(m_stack.size()) >= MaxDepth) {
            ++m_overflowDepth;
            return;
        }
        m_stack.push_back(m_stack.back());
        m_groupStart = true;
    }

    void closeGroup()
    {
        m_pendingUnicodeSkip = 0;
        m_groupStart = false;
        if (m_overflowDepth > 0) {
            --m_overflowDepth;
            return;
        }
        if (m_stack.size() > 1)
            m_stack.pop_back();
    }

    void controlSequence()
    {
        if (m_pos >= m_in.size())
            return;
        const char c = m_in[m_pos];
        if (!isLetter(c)) {
            ++m_pos;
            controlSymbol(c);
            m_groupStart = false;
            return;
        }
        QByteArray word;
        while (m_pos < m_in.size() && isLetter(m_in[m_pos]) && word.size() < 32)
            word += m_in[m_pos++];
        while (m_pos < m_in.size() && isLetter(m_in[m_pos]))
            ++m_pos; // an overlong word is cut, never read as text
        bool hasParam = false;
        bool negative = false;
        qint64 param = 0;
        if (m_pos < m_in.size() && m_in[m_pos] == '-' && m_pos + 1 < m_in.size() &&
            isDigit(m_in[m_pos + 1])) {
            negative = true;
            ++m_pos;
        }
        int digits = 0;
        while (m_pos < m_in.size() && isDigit(m_in[m_pos])) {
            if (digits++ < 10)
                param = param * 10 + (m_in[m_pos] - '0');
            hasParam = true;
            ++m_pos;
        }
        if (negative)
            param = -param;
        if (m_pos < m_in.size() && m_in[m_pos] == ' ')
            ++m_pos; // the delimiter belongs to the control word
        controlWord(word, hasParam, param);
        m_groupStart = false;
    }

    void controlSymbol(char c)
    {
        switch (c) {
        case '\\':
        case '{':
        case '}':
            text(QChar::fromLatin1(c));
            break;
        case '\'': {
            int value = 0;
            int n = 0;
            while (n < 2 && m_pos < m_in.size() && hexValue(m_in[m_pos]) >= 0) {
                value = value * 16 + hexValue(m_in[m_pos++]);
                ++n;
            }
            if (n > 0)
                byteText(static_cast<unsigned char>(value));
            break;
        }
        case '*':
            state().skip = true; // an optional destination we do not know
            break;
        case '~':
            text(QChar(0x00A0));
            break;
        case '_':
            text(QChar(0x2011));
            break;
        case '\n':
        case '\r':
            newParagraph();
            break;
        default:
            break; // "\-" (optional hyphen) and the rest show nothing
        }
    }

    void controlWord(const QByteArray &word, bool hasParam, qint64 param)
    {
        if (m_groupStart && isSkippedDestination(word)) {
            state().skip = true;
            return;
        }
        if (word == "par") {
            newParagraph();
        } else if (word == "line") {
            text(QChar(QChar::LineSeparator));
        } else if (word == "tab") {
            text(QChar('\t'));
        } else if (word == "b") {
            state().format.bold = !hasParam || param != 0;
        } else if (word == "i") {
            state().format.italic = !hasParam || param != 0;
        } else if (word == "fs") {
            if (hasParam && param > 0 && param <= 400)
                state().format.fontSize = int(param);
        } else if (word == "plain") {
            state().format = CharFormat();
        } else if (word == "uc") {
            if (hasParam && param >= 0 && param <= 10)
                state().unicodeSkip = int(param);
        } else if (word == "u") {
            if (hasParam) {
                qint64 code = param;
                if (code < 0)
                    code += 65536;
                if (code >= 0 && code <= 0xFFFF)
                    text(QChar(char16_t(code)), true);
                m_pendingUnicodeSkip = state().unicodeSkip;
            }
        } else if (word == "ansicpg") {
            if (hasParam && param != 1250)
                useCodePage(int(param));
        } else if (word == "emdash") {
            text(QChar(0x2014));
        } else if (word == "endash") {
            text(QChar(0x2013));
        } else if (word == "bullet") {
            text(QChar(0x2022));
        } else if (word == "lquote") {
            text(QChar(0x2018));
        } else if (word == "rquote") {
            text(QChar(0x2019));
        } else if (word == "ldblquote") {
            text(QChar(0x201C));
        } else if (word == "rdblquote") {
            text(QChar(0x201D));
        }
        // every other control word is formatting we do not show
    }

    void useCodePage(int codePage)
    {
        QStringDecoder decoder(QByteArray("windows-") + QByteArray::number(codePage));
        if (!decoder.isValid())
            return; // keep Windows-1250
        for (int i = 0; i < 128; ++i) {
            const char byte = char(0x80 + i);
            const QString s = decoder.decode(QByteArrayView(&byte, 1));
            m_high[i] = s.size() == 1 ? s[0] : QChar(QChar::ReplacementCharacter);
            decoder.resetState();
        }
    }

    void byteText(unsigned char byte)
    {
        text(byte < 0x80 ? QChar::fromLatin1(char(byte)) : m_high[byte - 0x80]);
    }

    // `fromUnicodeEscape`: the character of a \u escape, after which the stand-in
    // characters are dropped.
    void text(QChar ch, bool fromUnicodeEscape = false)
    {
        if (!fromUnicodeEscape && m_pendingUnicodeSkip > 0) {
            --m_pendingUnicodeSkip;
            return;
        }
        m_groupStart = false;
        if (state().skip)
            return;
        Paragraph &p = m_paragraphs.last();
        if (p.isEmpty() || !(p.last().format == state().format))
            p.push_back(Run{QString(), state().format});
        p.last().text += ch;
    }

    void newParagraph()
    {
        m_pendingUnicodeSkip = 0;
        if (state().skip)
            return;
        m_paragraphs.push_back(Paragraph());
    }

    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    static int hexValue(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    const QByteArray &m_in;
    int m_pos = 0;
    std::vector<GroupState> m_stack;
    int m_overflowDepth = 0;
    bool m_groupStart = false;
    int m_pendingUnicodeSkip = 0;
    std::array<QChar, 128> m_high;
    QVector<Paragraph> m_paragraphs;
};

QString escapeHtml(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QStringLiteral("&amp;");
            break;
        case '<':
            out += QStringLiteral("&lt;");
            break;
        case '>':
            out += QStringLiteral("&gt;");
            break;
        case '"':
            out += QStringLiteral("&quot;");
            break;
        case QChar::LineSeparator:
            out += QStringLiteral("<br/>");
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

QString RtfToHtml(const QByteArray &rtf)
{
    const QVector<Paragraph> paragraphs = RtfParser(rtf).parse();
    QString html = QStringLiteral("<html><body>");
    for (const Paragraph &p : paragraphs) {
        html += QStringLiteral("<p style=\"margin-top:0; margin-bottom:0; white-space:pre-wrap\">");
        if (p.isEmpty())
            html += QStringLiteral("&nbsp;");
        for (const Run &run : p) {
            QString piece = escapeHtml(run.text);
            if (run.format.bold)
                piece = QStringLiteral("<b>") + piece + QStringLiteral("</b>");
            if (run.format.italic)
                piece = QStringLiteral("<i>") + piece + QStringLiteral("</i>");
            if (run.format.fontSize != DefaultFontSize)
                piece = QStringLiteral("<span style=\"font-size:%1pt\">")
                            .arg(run.format.fontSize / 2.0) +
                        piece + QStringLiteral("</span>");
            html += piece;
        }
        html += QStringLiteral("</p>");
    }
    html += QStringLiteral("</body></html>");
    return html;
}

QString RtfToPlainText(const QByteArray &rtf)
{
    const QVector<Paragraph> paragraphs = RtfParser(rtf).parse();
    QStringList lines;
    for (const Paragraph &p : paragraphs) {
        QString line;
        for (const Run &run : p)
            line += run.text;
        line.replace(QChar(QChar::LineSeparator), QLatin1Char('\n'));
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}
