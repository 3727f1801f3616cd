#include "app/UserFolder.h"

namespace {

QString withSlash(const QString &path)
{
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

} // namespace

UserFolder::UserFolder(const QString &root, const QString &executableDir)
    : m_root(withSlash(root)), m_exeDir(withSlash(executableDir))
{
}

QString UserFolder::dataFolder() const
{
    return m_root + QStringLiteral("data/");
}

QString UserFolder::tempFolder() const
{
    return m_root + QStringLiteral("temp/");
}

QString UserFolder::dataFile(const QString &name) const
{
    return dataFolder() + name;
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
    return tempFolder() + QStringLiteral("lvChannels.xml");
}

QString UserFolder::probeFile() const
{
    return tempFolder() + QStringLiteral("channel_info.xml");
}

QString UserFolder::lockFile() const
{
    return tempFolder() + QStringLiteral(".kolvani.lock");
}

QString UserFolder::cacheFile(const QString &guid) const
{
    return dataFolder() + guid + QStringLiteral(".xml");
}

QString UserFolder::downloadFile(const QString &guid) const
{
    return tempFolder() + guid + QStringLiteral(".xml");
}

QString UserFolder::shippedDataFolder() const
{
    return m_exeDir + QStringLiteral("data/");
}

QString UserFolder::shippedTempFolder() const
{
    return m_exeDir + QStringLiteral("temp/");
}

QString UserFolder::licenceFile() const
{
    return m_exeDir + QStringLiteral("licencja.rtf");
}
