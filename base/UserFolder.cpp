#include "base/UserFolder.h"

#include "base/AppFolder.h"

namespace {

QString withSlash(const QString &path)
{
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

} // namespace

UserFolder::UserFolder(const QString &root, const QString &executableDir)
    : m_root(withSlash(root)), m_exeDir(withSlash(executableDir)),
      m_shippedDir(ShippedFolder(executableDir))
{
}

// Without a per-user folder every path is empty, never relative: a relative one would put
// the user's files into whatever folder the program was started from.
QString UserFolder::dataFolder() const
{
    return m_root.isEmpty() ? QString() : m_root + QStringLiteral("data/");
}

QString UserFolder::tempFolder() const
{
    return m_root.isEmpty() ? QString() : m_root + QStringLiteral("temp/");
}

QString UserFolder::dataFile(const QString &name) const
{
    return m_root.isEmpty() ? QString() : dataFolder() + name;
}

QString UserFolder::tempFile(const QString &name) const
{
    return m_root.isEmpty() ? QString() : tempFolder() + name;
}

QString UserFolder::treeFile() const
{
    return dataFile(QStringLiteral("tvChannels.xml"));
}

QString UserFolder::defaultTreeFile() const
{
    return dataFile(QStringLiteral("tvChannels_e.xml"));
}

QString UserFolder::configFile() const
{
    return dataFile(QStringLiteral("config.ini"));
}

QString UserFolder::archiveFile() const
{
    return dataFile(QStringLiteral("archive.mdb"));
}

QString UserFolder::backupFolder() const
{
    return isEmpty() ? QString() : dataFile(QStringLiteral("backup/"));
}

QString UserFolder::itemStyleSheet() const
{
    return dataFile(QStringLiteral("rss_xslt.xsl"));
}

QString UserFolder::archiveItemFile() const
{
    return dataFile(QStringLiteral("arch_item.xml"));
}

QString UserFolder::providerListFile() const
{
    return tempFile(QStringLiteral("lvChannels.xml"));
}

QString UserFolder::probeFile() const
{
    return tempFile(QStringLiteral("channel_info.xml"));
}

QString UserFolder::lockFile() const
{
    return tempFile(QStringLiteral(".kolvani.lock"));
}

QString UserFolder::cacheFile(const QString &guid) const
{
    return dataFile(guid + QStringLiteral(".xml"));
}

QString UserFolder::downloadFile(const QString &guid) const
{
    return tempFile(guid + QStringLiteral(".xml"));
}

QString UserFolder::validatorsFile() const
{
    return isEmpty() ? QString() : dataFolder() + QStringLiteral("validators.json");
}

QString UserFolder::serverPausesFile() const
{
    return isEmpty() ? QString() : dataFolder() + QStringLiteral("server_pauses.json");
}

QString UserFolder::iconsFolder() const
{
    return isEmpty() ? QString() : dataFolder() + QStringLiteral("icons/");
}

QString UserFolder::iconFile(const QString &guid) const
{
    return isEmpty() ? QString() : iconsFolder() + guid + QStringLiteral(".ico");
}

QString UserFolder::shippedDataFolder() const
{
    return m_shippedDir + QStringLiteral("data/");
}

QString UserFolder::shippedTempFolder() const
{
    return m_shippedDir + QStringLiteral("temp/");
}

QString UserFolder::licenceFile() const
{
    return m_shippedDir + QStringLiteral("licencja.rtf");
}
