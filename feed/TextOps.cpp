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

// The entries of a folder on the disk.
void flushFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

thread_local FolderSyncBatch *t_folderBatch = nullptr;

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

namespace {

qint64 systemWrite(int fd, const char *data, qint64 size)
{
    return qint64(::write(fd, data, size_t(size)));
}

std::atomic<FileWriteCall> g_writeCall{&systemWrite};

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString cannotWrite(const QString &path, const QString &reason)
{
    return QStringLiteral("Nie można zapisać pliku %1: %2").arg(path, reason);
}

std::mutex g_privateMutex;
QString g_privateFolder;

bool underPrivateFolder(const QString &path)
{
    const std::lock_guard<std::mutex> lock(g_privateMutex);
    return !g_privateFolder.isEmpty() &&
           QFileInfo(path).absoluteFilePath().startsWith(g_privateFolder);
}

// The file a replacement goes to: a symbolic link is followed, so that it stays a link.
QString finalPath(const QString &path)
{
    QString result = path;
    for (int hops = 0; hops < 16; ++hops) {
        const QFileInfo info(result);
        if (!info.isSymLink())
            break;
        result = info.symLinkTarget();
    }
    return result;
}

// A new file beside the target that takes the target's name only once everything written
// to it is known to be in it: every write checked, the size read back from the file system,
// and for user data the content on the disk first. Anything short of that throws FileError
// and leaves the target as it was; the file beside is removed.
class ReplacementFile
{
public:
    ReplacementFile(const QString &path, FileAccess access) : m_path(finalPath(path))
    {
        if (underPrivateFolder(m_path))
            access = FileAccess::OwnerOnly;
        const QByteArray target = QFile::encodeName(m_path);
        struct stat existing
        {
        };
        const bool replaces = ::stat(target.constData(), &existing) == 0;
        const mode_t mode = access == FileAccess::OwnerOnly ? 0600 : 0666; // less the umask
        for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
            // Always seven base-36 digits, so that the start-up tidy knows its own leftovers.
            m_tempName = target + '.' +
                         QByteArray::number(QRandomGenerator::global()->generate(), 36)
                             .rightJustified(ReplacementSuffixLength, '0');
            m_fd = ::open(m_tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (m_fd < 0 && errno != EEXIST)
                break;
        }
        if (m_fd < 0)
            throw FileError(QStringLiteral("Nie można utworzyć pliku %1: %2")
                                .arg(m_path, systemError(errno)));
        // Before any content: a replaced file keeps who may read it, a private one stays so.
        if (access == FileAccess::OwnerOnly)
            ::fchmod(m_fd, 0600);
        else if (replaces && S_ISREG(existing.st_mode))
            ::fchmod(m_fd, existing.st_mode & 07777);
    }

    ~ReplacementFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_renamed && !m_tempName.isEmpty())
            ::unlink(m_tempName.constData());
    }

    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    void write(const char *data, qint64 size)
    {
        const FileWriteCall call = g_writeCall.load();
        while (size > 0) {
            const qint64 written = call(m_fd, data, size);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                throw FileError(cannotWrite(m_path, systemError(written < 0 ? errno : ENOSPC)));
            data += written;
            size -= written;
            m_written += written;
        }
    }

    void commit(Durability durability)
    {
        if (durability == Durability::Synced && ::fsync(m_fd) != 0)
            throw FileError(cannotWrite(m_path, systemError(errno)));
        // A write that said it wrote more than the file holds shows here.
        struct stat written
        {
        };
        if (::fstat(m_fd, &written) != 0)
            throw FileError(cannotWrite(m_path, systemError(errno)));
        if (qint64(written.st_size) != m_written)
            throw FileError(cannotWrite(
                m_path, QStringLiteral("zapisano %1 z %2 bajtów")
                            .arg(qint64(written.st_size))
                            .arg(m_written)));
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0)
            throw FileError(cannotWrite(m_path, systemError(errno)));
        if (::rename(m_tempName.constData(), QFile::encodeName(m_path).constData()) != 0)
            throw FileError(cannotWrite(m_path, systemError(errno)));
        m_renamed = true;
        if (durability == Durability::Synced)
            syncFolder();
    }

private:
    // The new name on the disk too. The file has been replaced by now whatever this gives.
    void syncFolder() const
    {
        const QByteArray folder = QFile::encodeName(QFileInfo(m_path).absolutePath());
        if (!FolderSyncBatch::defer(folder))
            flushFolder(folder);
    }

    QString m_path;
    QByteArray m_tempName;
    int m_fd = -1;
    qint64 m_written = 0;
    bool m_renamed = false;
};

// Collects small writes into pieces of about a megabyte, so that a large text is written
// without a second copy of it in memory.
class PieceWriter
{
public:
    explicit PieceWriter(ReplacementFile &file) : m_file(file), m_buffer(new char[PieceBytes]) {}

    void append(const char *data, qsizetype size)
    {
        if (m_used + size > PieceBytes) {
            flush();
            if (size > PieceBytes) {
                m_file.write(data, size);
                return;
            }
        }
        std::memcpy(m_buffer.get() + m_used, data, size_t(size));
        m_used += size;
    }

    void flush()
    {
        if (m_used > 0)
            m_file.write(m_buffer.get(), m_used);
        m_used = 0;
    }

private:
    static constexpr qsizetype PieceBytes = 1024 * 1024;
    ReplacementFile &m_file;
    std::unique_ptr<char[]> m_buffer;
    qsizetype m_used = 0;
};

// `text` up to its first NUL, each line (ended by CR, LF or CR LF) followed by CR LF.
void writeCrLfLines(ReplacementFile &file, const QByteArray &text)
{
    const char *p = text.constData();
    const char *nul = static_cast<const char *>(std::memchr(p, '\0', size_t(text.size())));
    const char *end = nul ? nul : p + text.size();
    PieceWriter out(file);
    while (p < end) {
        const char *lf = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        const char *lineEnd = lf ? lf : end;
        bool lineDone = false;
        while (const char *cr =
                   static_cast<const char *>(std::memchr(p, '\r', size_t(lineEnd - p)))) {
            out.append(p, cr - p);
            out.append("\r\n", 2);
            p = cr + 1;
            if (p == lineEnd) { // CR LF, or a CR that ends the text
                p = lf ? lf + 1 : end;
                lineDone = true;
                break;
            }
        }
        if (lineDone)
            continue;
        out.append(p, lineEnd - p);
        out.append("\r\n", 2);
        p = lf ? lf + 1 : end;
    }
    out.flush();
}

} // namespace

FolderSyncBatch::FolderSyncBatch() : m_outer(t_folderBatch)
{
    t_folderBatch = this;
}

FolderSyncBatch::~FolderSyncBatch()
{
    t_folderBatch = m_outer;
    for (const QByteArray &folder : m_folders)
        flushFolder(folder);
}

bool FolderSyncBatch::defer(const QByteArray &folder)
{
    if (!t_folderBatch)
        return false;
    if (!t_folderBatch->m_folders.contains(folder))
        t_folderBatch->m_folders.append(folder);
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

bool IsReplacementOf(const QString &name, const QString &target)
{
    if (name.size() <= target.size() + 1 || !name.startsWith(target) ||
        name.at(target.size()) != QLatin1Char('.'))
        return false;
    const QString suffix = name.mid(target.size() + 1);
    for (const QChar c : suffix)
        if (!(c >= QLatin1Char('0') && c <= QLatin1Char('9')) &&
            !(c >= QLatin1Char('a') && c <= QLatin1Char('z')))
            return false;
    bool ok = false;
    const qulonglong value = suffix.toULongLong(&ok, 36);
    if (!ok || value > 0xFFFFFFFFull)
        return false;
    if (suffix.size() == ReplacementSuffixLength)
        return true;
    // Older versions did not pad: a number of six digits, told from a word ("backup") by a
    // digit in it. Shorter ones are too rare to tell from the user's own names.
    return suffix.size() == ReplacementSuffixLength - 1 &&
           std::any_of(suffix.cbegin(), suffix.cend(), [](QChar c) { return c.isDigit(); });
}

void SetPrivateFolder(const QString &root)
{
    QString folder = root.isEmpty() ? QString() : QFileInfo(root).absoluteFilePath();
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const std::lock_guard<std::mutex> lock(g_privateMutex);
    g_privateFolder = folder;
}

void SetFileWriteCall(FileWriteCall call)
{
    g_writeCall.store(call ? call : &systemWrite);
}

void SaveTextToFile(const QString &path, const QByteArray &text, Durability durability,
                    FileAccess access)
{
    ReplacementFile file(path, access);
    writeCrLfLines(file, text);
    file.commit(durability);
}

void WriteFileAtomically(const QString &path, const QByteArray &bytes, Durability durability,
                         FileAccess access)
{
    ReplacementFile file(path, access);
    file.write(bytes.constData(), bytes.size());
    file.commit(durability);
}
