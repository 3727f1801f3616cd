#pragma once

#include "base/ChannelFiles.h"

#include <QString>

// Every path under the per-user folder and in the shipped folder beside the executable.
// No other code spells one of these names.
class UserFolder : public IChannelFiles
{
public:
    UserFolder() = default;
    // `root` is the per-user folder; a trailing "/" is added when it has none. With an
    // empty root (no usable per-user folder) every path under it is empty.
    explicit UserFolder(const QString &root, const QString &executableDir = QString());

    const QString &root() const { return m_root; }
    bool isEmpty() const { return m_root.isEmpty(); }

    QString dataFolder() const;          // data/
    QString tempFolder() const;          // temp/
    QString treeFile() const;            // data/tvChannels.xml
    QString defaultTreeFile() const;     // data/tvChannels_e.xml
    QString configFile() const;          // data/config.ini
    QString archiveFile() const;         // data/archive.mdb
    QString backupFolder() const;        // data/backup/ (a folder per copy in it)
    QString itemStyleSheet() const;      // data/rss_xslt.xsl
    QString archiveItemFile() const;     // data/arch_item.xml
    QString providerListFile() const;    // temp/lvChannels.xml
    QString probeFile() const;           // temp/channel_info.xml
    QString lockFile() const;            // temp/.kolvani.lock
    QString cacheFile(const QString &guid) const override;    // data/<GUID>.xml
    QString downloadFile(const QString &guid) const override; // temp/<GUID>.xml
    QString validatorsFile() const override;                  // data/validators.json
    QString serverPausesFile() const override;                // data/server_pauses.json
    QString iconsFolder() const;                              // data/icons/
    QString iconFile(const QString &guid) const;              // data/icons/<GUID>.ico
    // A file of data/ or temp/ by its bare name, e.g. another style sheet.
    QString dataFile(const QString &name) const;
    QString tempFile(const QString &name) const;

    // The executable's folder, ending with "/", and what ships with it: in the shipped
    // folder (ShippedFolder, base/AppFolder.h), beside the executable or under share/kolvani/.
    const QString &executableDir() const { return m_exeDir; }
    const QString &shippedDir() const { return m_shippedDir; }
    QString shippedDataFolder() const;   // data/ of the shipped folder
    QString shippedTempFolder() const;   // temp/ of the shipped folder
    QString licenceFile() const;         // licencja.rtf of the shipped folder

private:
    QString m_root;
    QString m_exeDir;
    QString m_shippedDir;
};
