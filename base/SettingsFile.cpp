#include "base/SettingsFile.h"

#include "base/FileReplace.h"

#include <QFile>
#include <QDir>
#include <QStringList>

namespace {

// The file as lines, kept exactly so that a write changes only the line of its key.
struct IniLines
{
    QStringList lines;
    bool crlf = false;
};

IniLines loadLines(const QString &path)
{
    IniLines ini;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ini;
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    ini.crlf = bytes.contains("\r\n");
    QString text = QString::fromUtf8(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    ini.lines = text.split(QLatin1Char('\n'));
    if (!ini.lines.isEmpty() && ini.lines.last().isEmpty())
        ini.lines.removeLast(); // the final line break
    return ini;
}

bool isComment(const QString &trimmed)
{
    return trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#'));
}

// The section name of a "[name]" line, or a null string for any other line.
QString sectionOf(const QString &line)
{
    const QString t = line.trimmed();
    if (t.size() >= 2 && t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']')))
        return t.mid(1, t.size() - 2).trimmed();
    return QString();
}

bool keyLine(const QString &line, QString *key, QString *value)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || isComment(t))
        return false;
    const int eq = t.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return false;
    *key = t.left(eq).trimmed();
    if (value)
        *value = t.mid(eq + 1).trimmed();
    return true;
}

struct KeyPosition
{
    int sectionLine = -1; // the "[section]" line
    int sectionEnd = -1;  // one past the last key or comment line of the section
    int keyLine = -1;
};

KeyPosition findKey(const QStringList &lines, const QString &section, const QString &key)
{
    KeyPosition pos;
    bool inSection = false;
    for (int i = 0; i < lines.size(); ++i) {
        const QString name = sectionOf(lines[i]);
        if (!name.isNull()) {
            if (inSection)
                break; // keys of a repeated section further down are not ours
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            if (inSection) {
                pos.sectionLine = i;
                pos.sectionEnd = i + 1;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!lines[i].trimmed().isEmpty())
            pos.sectionEnd = i + 1;
        QString k;
        if (keyLine(lines[i], &k, nullptr) && pos.keyLine < 0 &&
            k.compare(key, Qt::CaseInsensitive) == 0)
            pos.keyLine = i;
    }
    return pos;
}

QString unquote(const QString &value)
{
    if (value.size() >= 2 &&
        ((value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) ||
         (value.startsWith(QLatin1Char('\'')) && value.endsWith(QLatin1Char('\'')))))
        return value.mid(1, value.size() - 2);
    return value;
}

bool parseWholeNumber(const QString &text, int *value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (ok)
        *value = v;
    return ok;
}

} // namespace

SettingsFile::SettingsFile(const QString &path) : m_path(path) {}

QString SettingsFile::readString(const QString &section, const QString &key,
                                 const QString &defaultValue) const
{
    const IniLines ini = loadLines(m_path);
    const KeyPosition pos = findKey(ini.lines, section, key);
    if (pos.keyLine < 0)
        return defaultValue;
    QString k, value;
    keyLine(ini.lines[pos.keyLine], &k, &value);
    return unquote(value);
}

bool SettingsFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    int value = 0;
    if (!parseWholeNumber(readString(section, key), &value))
        return defaultValue;
    return value != 0;
}

int SettingsFile::readInt(const QString &section, const QString &key, int defaultValue) const
{
    int value = 0;
    if (!parseWholeNumber(readString(section, key), &value))
        return defaultValue;
    return value;
}

void SettingsFile::writeString(const QString &section, const QString &key, const QString &value)
{
    if (m_path.isEmpty() || QDir::isRelativePath(m_path))
        throw FileError(QStringLiteral("brak folderu danych użytkownika, plik %1 nie został "
                                       "zapisany")
                            .arg(m_path.isEmpty() ? QStringLiteral("config.ini") : m_path));
    IniLines ini = loadLines(m_path);
    const KeyPosition pos = findKey(ini.lines, section, key);
    const QString line = key + QLatin1Char('=') + value;
    if (pos.keyLine >= 0) {
        ini.lines[pos.keyLine] = line;
    } else if (pos.sectionLine >= 0) {
        ini.lines.insert(pos.sectionEnd, line);
    } else {
        if (!ini.lines.isEmpty() && !ini.lines.last().trimmed().isEmpty())
            ini.lines.append(QString());
        ini.lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        ini.lines.append(line);
    }

    const QString eol = ini.crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    const QByteArray bytes = (ini.lines.join(eol) + eol).toUtf8();

    // Private from its first byte: the file holds the proxy password.
    WriteFileAtomically(m_path, bytes, Durability::Synced, FileAccess::OwnerOnly);
}

void SettingsFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void SettingsFile::writeInt(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}
