#pragma once

#include <QString>

// The INI settings file (data/config.ini). Every read looks at the file as it is now and
// every write replaces it at once (written beside, then renamed), so several holders of
// the same path never overwrite each other's keys. Other sections, keys, comments and the
// order of lines are kept. The file is created readable by the user alone, since it holds
// the proxy password. A missing or unreadable file reads as empty: every key gives its
// default.
class SettingsFile
{
public:
    explicit SettingsFile(const QString &path);

    const QString &path() const { return m_path; }

    QString readString(const QString &section, const QString &key,
                       const QString &defaultValue = QString()) const;
    // A whole number other than 0 is true, 0 is false; any other text gives the default.
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;
    // Text that is not a whole number gives the default.
    int readInt(const QString &section, const QString &key, int defaultValue) const;

    // Each write persists at once. Raises FileError (feed/TextOps.h) when the file cannot
    // be written; the old file is then left whole. A file without a place of its own (an
    // empty or relative path, as when there is no per-user folder) is never written: it
    // would land in whatever folder the program was started from.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeBool(const QString &section, const QString &key, bool value); // "1" / "0"
    void writeInt(const QString &section, const QString &key, int value);

private:
    QString m_path;
};
