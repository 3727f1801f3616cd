#include "base/SettingsFile.h"

#include "base/FileReplace.h"
#include "xml/Windows1250.h"

#include <QFile>
#include <QDir>
#include <QList>
#include <QStringConverter>
#include <QStringDecoder>
#include <QStringList>

namespace {

// The file as lines: each line's bytes with its own line end, kept exactly so that a write
// changes the bytes of its key's line and nothing else, and the text of each line to look
// keys up in. A file that is not valid UTF-8 is the older program's, in Windows-1250.
struct IniLines
{
    QByteArray bom;
    QList<QByteArray> raw;   // with the line end, when the line has one
    QStringList lines;       // the text, without it
    bool utf8 = true;
    QByteArray eol = "\n";  // for new lines: the file's own, CR LF when it has any

    QString decode(QByteArrayView bytes) const
    {
        return utf8 ? QString::fromUtf8(bytes) : DecodeWindows1250(bytes);
    }

    // The bytes of a new line's text in the file's encoding. A character that Windows-1250
    // lacks turns the file into UTF-8, each line's text kept.
    QByteArray encode(const QString &text)
    {
        QByteArray bytes;
        if (utf8)
            return text.toUtf8();
        if (EncodeWindows1250(text, &bytes))
            return bytes;
        utf8 = true;
        for (int i = 0; i < raw.size(); ++i)
            raw[i] = lines[i].toUtf8() + lineEnd(raw[i]);
        return text.toUtf8();
    }

    static QByteArray lineEnd(const QByteArray &line)
    {
        if (line.endsWith("\r\n"))
            return QByteArrayLiteral("\r\n");
        if (line.endsWith('\n') || line.endsWith('\r'))
            return line.right(1);
        return QByteArray();
    }

    void set(int index, const QString &text)
    {
        const QByteArray end = lineEnd(raw[index]);
        const QByteArray bytes = encode(text);
        raw[index] = bytes + end;
        lines[index] = text;
    }

    void insert(int index, const QString &text)
    {
        // The line before a new one gets the line end the file's last line may lack.
        if (index > 0 && lineEnd(raw[index - 1]).isEmpty())
            raw[index - 1] += eol;
        const QByteArray bytes = encode(text);
        raw.insert(index, bytes + eol);
        lines.insert(index, text);
    }

    QByteArray bytes() const
    {
        QByteArray all = bom;
        for (const QByteArray &line : raw)
            all += line;
        return all;
    }
};

IniLines loadLines(const QString &path)
{
    IniLines ini;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ini;
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        ini.bom = bytes.left(3);
        bytes.remove(0, 3);
    }
    if (bytes.contains("\r\n"))
        ini.eol = "\r\n";
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString probe = utf8.decode(bytes);
    Q_UNUSED(probe);
    ini.utf8 = !utf8.hasError();
    qsizetype from = 0;
    while (from < bytes.size()) {
        qsizetype end = from;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        const qsizetype contentEnd = end;
        if (end < bytes.size())
            end += (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ? 2 : 1;
        ini.raw.append(bytes.mid(from, end - from));
        ini.lines.append(ini.decode(QByteArrayView(bytes).sliced(from, contentEnd - from)));
        from = end;
    }
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
        ini.set(pos.keyLine, line);
    } else if (pos.sectionLine >= 0) {
        ini.insert(pos.sectionEnd, line);
    } else {
        if (!ini.lines.isEmpty() && !ini.lines.last().trimmed().isEmpty())
            ini.insert(ini.lines.size(), QString());
        ini.insert(ini.lines.size(), QLatin1Char('[') + section + QLatin1Char(']'));
        ini.insert(ini.lines.size(), line);
    }

    // Private from its first byte: the file holds the proxy password.
    WriteFileAtomically(m_path, ini.bytes(), Durability::Synced, FileAccess::OwnerOnly);
}

void SettingsFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void SettingsFile::writeInt(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}
