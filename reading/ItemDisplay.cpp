#include "reading/ItemDisplay.h"

#include "base/UserFolder.h"
#include "base/FileReplace.h"
#include "feed/TextOps.h"
#include "xml/Windows1250.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace ItemDisplay {

QString StyleSheetFor(bool archiveView, const QString &version)
{
    if (archiveView)
        return ArchiveSheet;
    return version == QLatin1String("1.0") ? Rss1Sheet : Rss2Sheet;
}

QString DarkVariant(const QString &sheetName)
{
    QString name = sheetName;
    if (name.endsWith(QLatin1String(".xsl")))
        name.chop(4);
    return name + QStringLiteral("_dark.xsl");
}

QString SheetFile(const UserFolder &folder, const QString &sheetName, bool dark)
{
    if (dark) {
        const QString dataCopy = folder.dataFile(DarkVariant(sheetName));
        if (QFileInfo(dataCopy).isFile())
            return dataCopy;
        const QString shipped = folder.shippedDataFolder() + DarkVariant(sheetName);
        if (!folder.shippedDir().isEmpty() && QFileInfo(shipped).isFile())
            return shipped;
    }
    return folder.dataFile(sheetName);
}

namespace {

QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

} // namespace

QString DecodeSheetText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE"))
        return decodeWith(QStringConverter::Utf16LE, QByteArrayView(bytes).sliced(2));
    if (bytes.startsWith("\xFE\xFF"))
        return decodeWith(QStringConverter::Utf16BE, QByteArrayView(bytes).sliced(2));
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return decodeWith(QStringConverter::Utf8, QByteArrayView(bytes).sliced(3));
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return DecodeWindows1250(bytes);
}

QByteArray EncodeWorkingSheet(const QString &text)
{
    QString lines;
    lines.reserve(text.size() + text.size() / 32 + 2);
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r')) {
            if (i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            lines += QStringLiteral("\r\n");
        } else if (c == QLatin1Char('\n')) {
            lines += QStringLiteral("\r\n");
        } else {
            lines += c;
        }
    }
    if (!lines.endsWith(QLatin1Char('\n')))
        lines += QStringLiteral("\r\n");

    QByteArray bytes;
    bytes.reserve(2 + lines.size() * 2);
    bytes.append("\xFF\xFE", 2);
    for (const QChar c : qAsConst(lines)) {
        const char16_t unit = c.unicode();
        bytes.append(static_cast<char>(unit & 0xFF));
        bytes.append(static_cast<char>(unit >> 8));
    }
    return bytes;
}

QString SheetForItem(const QString &sheet, const QString &guid)
{
    QString safe = guid;
    safe.replace(QLatin1Char('&'), QStringLiteral("&amp;"))
        .replace(QLatin1Char('<'), QStringLiteral("&lt;"))
        .replace(QLatin1Char('"'), QStringLiteral("&quot;"))
        .replace(QLatin1Char('\''), QStringLiteral("&apos;"));
    return ReplaceAll(GuidMarker, safe, sheet);
}

QString WorkingSheetText(const UserFolder &folder, const QString &sheetName, const QString &guid,
                         bool dark)
{
    QFile shipped(SheetFile(folder, sheetName, dark));
    if (!shipped.open(QIODevice::ReadOnly))
        throw ItemDisplayError(QStringLiteral("Cannot read \"%1\": %2")
                                   .arg(shipped.fileName(), shipped.errorString()));
    const QByteArray bytes = shipped.readAll();
    if (shipped.error() != QFileDevice::NoError)
        throw ItemDisplayError(QStringLiteral("Cannot read \"%1\": %2")
                                   .arg(shipped.fileName(), shipped.errorString()));
    return SheetForItem(DecodeSheetText(bytes), guid);
}

bool WriteWorkingSheetText(const UserFolder &folder, const QString &text)
{
    try {
        // Rewritten at every display: readers must never see half of it, but it is not
        // worth a disk sync.
        WriteFileAtomically(folder.itemStyleSheet(), EncodeWorkingSheet(text),
                            Durability::Unsynced);
    } catch (const FileError &) {
        return false;
    }
    return true;
}

bool WriteWorkingSheet(const UserFolder &folder, const QString &sheetName, const QString &guid,
                       bool dark)
{
    return WriteWorkingSheetText(folder, WorkingSheetText(folder, sheetName, guid, dark));
}

QString ChannelItemAddress(const UserFolder &folder, const QString &chGuid, const QString &guid)
{
    return folder.cacheFile(chGuid) + QLatin1Char('#') + guid;
}

QString ArchiveItemAddress(const UserFolder &folder)
{
    return folder.archiveItemFile();
}

bool IsItemOrBlankAddress(const QString &address)
{
    static const QString archiveItem = QFileInfo(UserFolder(QStringLiteral("/")).archiveItemFile()).fileName();
    return address.contains(QLatin1Char('{')) || address.contains(archiveItem) ||
           address == QLatin1String("about:blank");
}

} // namespace ItemDisplay
