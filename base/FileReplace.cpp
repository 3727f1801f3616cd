#include "base/FileReplace.h"

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
