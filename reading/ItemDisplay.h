#pragma once

#include <QByteArray>
#include <QString>

class UserFolder;

#include <stdexcept>

// Raised when a shipped style sheet cannot be read: the item cannot be shown.
class ItemDisplayError : public std::runtime_error
{
public:
    explicit ItemDisplayError(const QString &message) : std::runtime_error(message.toStdString())
    {
    }
};

// How one item reaches the browser: the browser opens the channel's cache file, whose
// xml-stylesheet instruction names the working style sheet "rss_xslt.xsl"; before every
// display that sheet is rewritten from a shipped one with the item's GUID in it, so the one
// file renders just that item.
namespace ItemDisplay {

inline const QString ArchiveSheet = QStringLiteral("rss1_archive.xsl");
inline const QString Rss1Sheet = QStringLiteral("rss1.xsl");
inline const QString Rss2Sheet = QStringLiteral("rss2.xsl");
inline const QString GuidMarker = QStringLiteral("{{GUID}}");

// The shipped sheet for a row: the archive sheet in the archive view, the RSS 1.0 sheet
// for the version text "1.0" exactly, the RSS 2.0 sheet for every other version.
QString StyleSheetFor(bool archiveView, const QString &version);

// The dark desktop's variant of a shipped sheet: "rss2.xsl" gives "rss2_dark.xsl".
QString DarkVariant(const QString &sheetName);
// The file a display reads `sheetName` from. For the dark variant: the data folder's copy,
// else the one shipped beside the program (a folder made by an older version has none),
// else the light sheet itself.
QString SheetFile(const UserFolder &folder, const QString &sheetName, bool dark);

// Text of a style sheet file by its byte-order mark: UTF-16 LE, UTF-16 BE or UTF-8. Without
// one, UTF-8 when the bytes are valid UTF-8, otherwise Windows-1250, the code page the
// older Polish sheets were written in.
QString DecodeSheetText(const QByteArray &bytes);

// The working sheet's bytes: UTF-16 LE with a byte-order mark, every line ending in CR LF.
QByteArray EncodeWorkingSheet(const QString &text);

// `sheet` with every marker replaced by the GUID. The GUID lands inside an attribute of
// the sheet, so the characters that would end the attribute or the markup go in as
// references.
QString SheetForItem(const QString &sheet, const QString &guid);

// The working sheet's text: the shipped sheet `sheetName` of the data folder (its dark
// variant when `dark`, see SheetFile) with the GUID put in. Raises ItemDisplayError when the
// sheet cannot be read.
QString WorkingSheetText(const UserFolder &folder, const QString &sheetName, const QString &guid,
                         bool dark = false);
// Writes `text` as the working sheet. False when it could not be written; the file then stays
// as it was.
bool WriteWorkingSheetText(const UserFolder &folder, const QString &text);
// Both of the above. Raises ItemDisplayError when the shipped sheet cannot be read.
bool WriteWorkingSheet(const UserFolder &folder, const QString &sheetName, const QString &guid,
                       bool dark = false);

// The channel's cache file + "#<GUID>": the fragment makes every item's address differ,
// while the file and its instruction are the same for all items of a channel.
QString ChannelItemAddress(const UserFolder &folder, const QString &chGuid,
                           const QString &guid);
// The archive item document.
QString ArchiveItemAddress(const UserFolder &folder);

// Back and Forward make sense only for pages reached from an item: an item address (its
// fragment is a GUID in braces), the archive item or an empty page disable both.
bool IsItemOrBlankAddress(const QString &address);

} // namespace ItemDisplay
