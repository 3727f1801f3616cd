#include "feed/TextOps.h"

#include "xml/Windows1250.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QUuid>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char16_t ReplacementCharacter = 0xFFFD;

bool isXmlControl(qint64 code)
{
    return code < 0x20 && code != 0x09 && code != 0x0A && code != 0x0D;
}

// The character a reference stands for. Anything that cannot appear in an XML document (a
// surrogate, a control character, a number outside Unicode) becomes U+FFFD, so decoded feed
// text can always be written back.
QString referencedCharacter(qint64 number)
{
    if (number < 0 || isXmlControl(number))
        return QString(QChar(ReplacementCharacter));
    if (number < 0x80)
        return QString(QChar(char16_t(number)));
    if (number < 0x100)
        return QString(QChar(Windows1250High[number - 0x80]));
    if (number > 0x10FFFF || (number >= 0xD800 && number <= 0xDFFF) || number == 0xFFFE ||
        number == 0xFFFF)
        return QString(QChar(ReplacementCharacter));
    const char32_t code = char32_t(number);
    return QString::fromUcs4(&code, 1);
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// Integer text as the reference numbers use it: leading blanks, an optional sign, then decimal
// digits, or hexadecimal after "$", "x", "X", "0x" or "0X". Hexadecimal covers 32 bits and
// wraps like a 32-bit integer; decimal must fit a 32-bit integer.
bool parseReferenceNumber(const QString &text, qint64 &value)
{
    int i = 0;
    const int n = int(text.size());
    while (i < n && text.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    bool hex = false;
    if (i < n && (text.at(i) == QLatin1Char('$') || text.at(i) == QLatin1Char('x') ||
                  text.at(i) == QLatin1Char('X'))) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text.at(i) == QLatin1Char('0') &&
               (text.at(i + 1) == QLatin1Char('x') || text.at(i + 1) == QLatin1Char('X'))) {
        hex = true;
        i += 2;
    }
    if (i >= n)
        return false;
    qint64 result = 0;
    for (; i < n; ++i) {
        const int digit =
            hex ? hexValue(text.at(i))
                : (text.at(i).isDigit() && text.at(i).unicode() < 0x80 ? text.at(i).unicode() - '0'
                                                                       : -1);
        if (digit < 0)
            return false;
        result = result * (hex ? 16 : 10) + digit;
        if (result > (hex ? qint64(0xFFFFFFFF) : qint64(INT_MAX) + (negative ? 1 : 0)))
            return false;
    }
    if (hex && result > INT_MAX)
        result -= qint64(1) << 32;
    value = negative ? -result : result;
    return true;
}

} // namespace

QString ReplaceAll(const QString &find, const QString &replacement, const QString &text)
{
    if (find.isEmpty())
        return text;
    QString result;
    result.reserve(text.size());
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(find, from, Qt::CaseSensitive);
        if (at < 0)
            break;
        result.append(QStringView(text).mid(from, at - from));
        result.append(replacement);
        from = at + find.size();
    }
    result.append(QStringView(text).mid(from));
    return result;
}

QString EscapeUrlText(const QString &text)
{
    return ReplaceAll(QStringLiteral("?"), QStringLiteral("|quest|"),
                      ReplaceAll(QStringLiteral("&"), QStringLiteral("|amp|"), text));
}

QString UnescapeUrlText(const QString &text)
{
    return ReplaceAll(QStringLiteral("|quest|"), QStringLiteral("?"),
                      ReplaceAll(QStringLiteral("|amp|"), QStringLiteral("&"), text));
}

bool TextToBool(const QString &text)
{
    return text == QLatin1String("1") ||
           text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
           text.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
}

int FindText(const QString &pattern, const QString &text, int start)
{
    if (start < 1 || start > text.size() || pattern.isEmpty())
        return 0;
    const qsizetype at = text.indexOf(pattern, start - 1, Qt::CaseSensitive);
    return at < 0 ? 0 : int(at + 1);
}

QString CopyRange(const QString &text, int first, int last)
{
    const int length = int(text.size());
    if (last < first || last < 1 || first > length || text.isEmpty())
        return QString();
    if (first <= 1) {
        if (last >= length)
            return text;
        first = 1;
    }
    return text.mid(first - 1, qMin(last, length) - first + 1);
}

QString DecodeCharRefs(const QString &text)
{
    // Left to right over the original text: the search resumes after each inserted character,
    // so inserted text never starts a new reference.
    const QString opener = QStringLiteral("&#");
    QString result;
    result.reserve(text.size());
    int copied = 0; // 0-based index of the first character not yet copied
    int p = FindText(opener, text, 1);
    while (p > 0) {
        const int semicolon = FindText(QStringLiteral(";"), text, p + 1);
        const QString number = CopyRange(text, p + 2, semicolon - 1);
        qint64 value = 0;
        if (number.isEmpty() || !parseReferenceNumber(number, value))
            throw ConversionError(
                QStringLiteral("'%1' is not a valid integer value").arg(number).toStdString());
        result.append(QStringView(text).mid(copied, p - 1 - copied));
        result.append(referencedCharacter(value));
        copied = p - 1 + int(number.size()) + 3;
        p = FindText(opener, text, copied + 1);
    }
    result.append(QStringView(text).mid(copied));
    return result;
}

QString ConvertFeedDate(const QString &text)
{
    static const char *const MonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // Piece k (from 0) is the text ending at blank k + 1; it exists only when that blank does.
    QStringView pieces[4];
    qsizetype pieceStart = 0;
    int blank = 0;
    for (qsizetype i = 0; i < text.size() && blank < 4; ++i) {
        if (text.at(i) != QLatin1Char(' '))
            continue;
        pieces[blank++] = QStringView(text).mid(pieceStart, i - pieceStart);
        pieceStart = i + 1;
    }
    const QStringView day = pieces[1];
    QStringView month = pieces[2];
    const QStringView year = pieces[3];

    QString result;
    result.reserve(year.size() + month.size() + day.size() + 3);
    result.append(year).append(QLatin1Char('-'));
    int monthNumber = 0;
    for (int i = 0; i < 12 && monthNumber == 0; ++i)
        if (month == QLatin1String(MonthNames[i]))
            monthNumber = i + 1;
    if (monthNumber > 0)
        result.append(QLatin1Char('0' + monthNumber / 10))
            .append(QLatin1Char('0' + monthNumber % 10));
    else
        result.append(month);
    result.append(QLatin1Char('-'));
    if (day.size() == 1)
        result.append(QLatin1Char('0'));
    return result.append(day);
}

QString NewGuidText()
{
    // A version 4 UUID from the securely seeded generator: every item of every update
    // gets one, and asking the system for each would cost a call into the kernel.
    quint32 words[4];
    QRandomGenerator::global()->fillRange(words);
    const QUuid uuid(words[0], quint16(words[1]), quint16((words[1] >> 16 & 0x0FFF) | 0x4000),
                     uchar((words[2] & 0x3F) | 0x80), uchar(words[2] >> 8), uchar(words[2] >> 16),
                     uchar(words[2] >> 24), uchar(words[3]), uchar(words[3] >> 8),
                     uchar(words[3] >> 16), uchar(words[3] >> 24));
    return uuid.toString(QUuid::WithBraces).toUpper();
}

bool IsGuidText(const QString &text)
{
    if (text.size() != 38 || text.front() != QLatin1Char('{') || text.back() != QLatin1Char('}'))
        return false;
    for (int i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text.at(i) != QLatin1Char('-') : hexValue(text.at(i)) < 0)
            return false;
    }
    return true;
}

QString AddressWithoutCredentials(const QString &url)
{
    const int scheme = url.indexOf(QLatin1String("://"));
    if (scheme < 0)
        return url;
    const int hostStart = scheme + 3;
    int authorityEnd = url.size();
    for (const QChar stop : {QLatin1Char('/'), QLatin1Char('?'), QLatin1Char('#')}) {
        const int at = url.indexOf(stop, hostStart);
        if (at >= 0 && at < authorityEnd)
            authorityEnd = at;
    }
    const int at = url.lastIndexOf(QLatin1Char('@'), authorityEnd - 1);
    if (at < hostStart)
        return url;
    return url.left(hostStart) + url.mid(at + 1);
}
