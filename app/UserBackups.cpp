#include "app/UserBackups.h"

#include "archive/ArchiveCopy.h"
#include "archive/ArchiveStore.h"
#include "base/FileReplace.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "catalogue/ChannelTreeSaver.h"
#include "xml/XmlDocument.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

const QString UserBackups::ListFileName = QStringLiteral("kopia.json");

namespace {

const QString TreeName = QStringLiteral("tvChannels.xml");
const QString SettingsName = QStringLiteral("config.ini");
const QString ArchiveName = QStringLiteral("archive.mdb");
const QString BuildingSuffix = QStringLiteral(".tmp");
const QString DayFormat = QStringLiteral("yyyy-MM-dd");
const QString MomentFormat = QStringLiteral("yyyy-MM-dd_HHmmss");

const QRegularExpression &copyName()
{
    static const QRegularExpression re(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}(_\\d{6})?$"));
    return re;
}

constexpr auto FolderPerms =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

QByteArray fileHash(const QString &path, qint64 *size)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return QByteArray();
    *size = file.size();
    return hash.result().toHex();
}

// A folder's entries reach the disk: a renamed copy survives a power cut.
void syncFolder(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

QJsonObject fileEntry(const QString &name, const QString &path)
{
    qint64 size = -1;
    const QByteArray hash = fileHash(path, &size);
    if (hash.isEmpty())
        throw BackupError(QStringLiteral("nie można odczytać zapisanego pliku %1").arg(path));
    return {{QStringLiteral("name"), name},
            {QStringLiteral("size"), double(size)},
            {QStringLiteral("sha256"), QString::fromLatin1(hash)}};
}

void writeCopyOf(const QString &source, const QString &target)
{
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        throw BackupError(QStringLiteral("nie można odczytać pliku %1").arg(source));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw BackupError(QStringLiteral("nie można odczytać pliku %1").arg(source));
    WriteFileAtomically(target, bytes, Durability::Synced, FileAccess::OwnerOnly);
}

} // namespace

UserBackups::UserBackups(const UserFolder &folder)
    : m_user(folder), m_folder(folder.backupFolder())
{
}

bool UserBackups::dueOn(const QDate &day) const
{
    if (m_folder.isEmpty())
        return false;
    const QString path = m_folder + day.toString(DayFormat);
    if (!QFileInfo(path).isDir())
        return true;
    QFile list(path + QLatin1Char('/') + ListFileName);
    return !list.open(QIODevice::ReadOnly) ||
           !QJsonDocument::fromJson(list.readAll()).isObject();
}

bool UserBackups::makeDailyIfDue(const ChannelTree &tree, const QDateTime &now)
{
    if (!dueOn(now.date()))
        return false;
    make(now.date().toString(DayFormat), tree, now, false);
    return true;
}

BackupInfo UserBackups::makeBeforeRestore(const ChannelTree &tree, const QDateTime &now)
{
    QString name = now.toString(MomentFormat);
    // Two restores within one second: the later state waits for the next second's name.
    for (QDateTime later = now; QFileInfo::exists(m_folder + name);) {
        later = later.addSecs(1);
        name = later.toString(MomentFormat);
    }
    return make(name, tree, now, true);
}

BackupInfo UserBackups::make(const QString &name, const ChannelTree &tree, const QDateTime &now,
                             bool beforeRestore)
{
    if (m_folder.isEmpty())
        throw BackupError(QStringLiteral("Nie można wykonać kopii zapasowej: brak folderu użytkownika."));
    const QString finalPath = m_folder + name;
    const QString building = finalPath + BuildingSuffix;
    try {
        if (!QDir().mkpath(m_folder))
            throw BackupError(QStringLiteral("nie można utworzyć folderu %1").arg(m_folder));
        QFile::setPermissions(m_folder, FolderPerms);
        QDir(building).removeRecursively();
        if (!QDir().mkdir(building))
            throw BackupError(QStringLiteral("nie można utworzyć folderu %1").arg(building));
        QFile::setPermissions(building, FolderPerms);
        const QString dir = building + QLatin1Char('/');

        QJsonArray files;
        WriteFileAtomically(dir + TreeName, ChannelTreeFileBytes(tree), Durability::Synced,
                            FileAccess::OwnerOnly);
        files.append(fileEntry(TreeName, dir + TreeName));
        if (QFileInfo::exists(m_user.configFile())) {
            writeCopyOf(m_user.configFile(), dir + SettingsName);
            files.append(fileEntry(SettingsName, dir + SettingsName));
        }
        if (QFileInfo::exists(m_user.archiveFile())) {
            CopyArchiveFile(m_user.archiveFile(), dir + ArchiveName);
            QFile::setPermissions(dir + ArchiveName, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            files.append(fileEntry(ArchiveName, dir + ArchiveName));
        }
        const QJsonObject list{
            {QStringLiteral("made"), now.toString(Qt::ISODate)},
            {QStringLiteral("kind"), beforeRestore ? QStringLiteral("before-restore")
                                                   : QStringLiteral("daily")},
            {QStringLiteral("channels"), int(tree.channelsInPreOrder().size())},
            {QStringLiteral("files"), files}};
        // Last: only a copy with its list counts.
        WriteFileAtomically(dir + ListFileName, QJsonDocument(list).toJson(), Durability::Synced,
                            FileAccess::OwnerOnly);
        if (QFileInfo::exists(finalPath) && !QDir(finalPath).removeRecursively())
            throw BackupError(QStringLiteral("nie można usunąć uszkodzonej kopii %1").arg(finalPath));
        if (!QDir().rename(building, finalPath))
            throw BackupError(QStringLiteral("nie można zapisać folderu %1").arg(finalPath));
        syncFolder(m_folder);
    } catch (const std::exception &e) {
        QDir(building).removeRecursively();
        throw BackupError(QStringLiteral("Nie można wykonać kopii zapasowej: ") +
                          QString::fromUtf8(e.what()));
    }
    prune();
    return inspect(finalPath);
}

BackupInfo UserBackups::inspect(const QString &path, bool deep) const
{
    BackupInfo info;
    info.path = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
    info.name = QFileInfo(path).fileName();
    info.beforeRestore = info.name.size() > DayFormat.size();
    info.made = QDateTime::fromString(info.name, info.beforeRestore ? MomentFormat : DayFormat);
    const auto damaged = [&info](const QString &problem) {
        info.damaged = true;
        info.problem = problem;
        return info;
    };

    QFile listFile(info.path + ListFileName);
    if (!listFile.open(QIODevice::ReadOnly))
        return damaged(QStringLiteral("kopia niepełna (brak spisu plików)"));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(listFile.readAll(), &error);
    if (!document.isObject())
        return damaged(QStringLiteral("spis plików kopii jest uszkodzony"));
    const QJsonObject list = document.object();
    const QDateTime made =
        QDateTime::fromString(list.value(QStringLiteral("made")).toString(), Qt::ISODate);
    if (made.isValid())
        info.made = made;
    info.channels = list.value(QStringLiteral("channels")).toInt(-1);
    bool hasTree = false;
    for (const QJsonValue &value : list.value(QStringLiteral("files")).toArray()) {
        const QJsonObject entry = value.toObject();
        const QString name = entry.value(QStringLiteral("name")).toString();
        if (name != TreeName && name != SettingsName && name != ArchiveName)
            return damaged(QStringLiteral("spis plików kopii jest uszkodzony"));
        qint64 size = -1;
        const QByteArray hash = fileHash(info.path + name, &size);
        if (hash.isEmpty())
            return damaged(QStringLiteral("brak pliku %1").arg(name));
        if (size != qint64(entry.value(QStringLiteral("size")).toDouble(-1)) ||
            hash != entry.value(QStringLiteral("sha256")).toString().toLatin1())
            return damaged(QStringLiteral("plik %1 jest uszkodzony").arg(name));
        hasTree = hasTree || name == TreeName;
        info.hasSettings = info.hasSettings || name == SettingsName;
        info.hasArchive = info.hasArchive || name == ArchiveName;
    }
    if (!hasTree)
        return damaged(QStringLiteral("brak pliku %1").arg(TreeName));
    if (!deep)
        return info;
    if (info.hasArchive) {
        const QString problem = CheckArchiveFile(info.path + ArchiveName);
        if (!problem.isEmpty())
            return damaged(problem);
    }
    ChannelTree scratch;
    XmlDocument document2;
    const TreeLoadResult loaded = LoadChannelTree(scratch, document2, info.path + TreeName);
    if (!loaded.ok)
        return damaged(QStringLiteral("lista kanałów w kopii jest uszkodzona"));
    info.channels = int(scratch.channelsInPreOrder().size());
    return info;
}

std::vector<BackupInfo> UserBackups::list() const
{
    std::vector<BackupInfo> copies;
    if (m_folder.isEmpty())
        return copies;
    const QStringList names =
        QDir(m_folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed);
    for (const QString &name : names)
        if (copyName().match(name).hasMatch())
            copies.push_back(inspect(m_folder + name));
    return copies;
}

void UserBackups::prune() const
{
    if (m_folder.isEmpty())
        return;
    const QDir dir(m_folder);
    const QStringList names =
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed);
    int daily = 0, beforeRestore = 0;
    for (const QString &name : names) {
        const bool leftover = name.endsWith(BuildingSuffix) &&
                              copyName().match(name.chopped(BuildingSuffix.size())).hasMatch();
        bool old = false;
        if (copyName().match(name).hasMatch()) {
            if (name.size() == DayFormat.size())
                old = ++daily > KeptDaily;
            else
                old = ++beforeRestore > KeptBeforeRestore;
        }
        if (leftover || old)
            QDir(dir.filePath(name)).removeRecursively();
    }
}

BackupInfo UserBackups::restore(const BackupInfo &copy, const Targets &targets,
                                const QDateTime &now)
{
    const BackupInfo checked = inspect(copy.path, true);
    if (checked.damaged)
        throw BackupError(QStringLiteral("Nie można przywrócić kopii: ") + checked.problem + QStringLiteral("."));
    const BackupInfo kept = makeBeforeRestore(targets.tree, now);

    const QString undo =
        QStringLiteral(" Stan sprzed przywracania zachowano w kopii %1.").arg(kept.name);
    if (checked.hasArchive && targets.archive) {
        try {
            targets.archive->restoreFrom(checked.path + ArchiveName);
        } catch (const ArchiveError &e) {
            throw BackupError(QStringLiteral("Nie można przywrócić archiwum: ") + e.message() +
                              QStringLiteral(" Nic nie zostało zmienione."));
        }
    }
    if (targets.beforeTreeChanges)
        targets.beforeTreeChanges();
    {
        // The file is written once, with the whole tree.
        targets.treeSaver.hold();
        XmlDocument document;
        const TreeLoadResult loaded =
            LoadChannelTree(targets.tree, document, checked.path + TreeName);
        targets.treeSaver.noteChanged();
        targets.treeSaver.release();
        if (!loaded.ok)
            throw BackupError(QStringLiteral("Nie można przywrócić listy kanałów: ") +
                              loaded.error + undo);
    }
    // The saver has told why; it tries again at the next change and at closing.
    if (targets.treeSaver.pending())
        throw BackupError(QStringLiteral("Przywrócona lista kanałów nie została jeszcze zapisana "
                                         "do pliku.") +
                          undo);
    if (checked.hasSettings) {
        try {
            writeCopyOf(checked.path + SettingsName, m_user.configFile());
        } catch (const std::exception &e) {
            throw BackupError(QStringLiteral("Nie można przywrócić ustawień: ") +
                              QString::fromUtf8(e.what()) + undo);
        }
    }
    return kept;
}
