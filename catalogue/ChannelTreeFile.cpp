#include "catalogue/ChannelTreeFile.h"

#include "catalogue/ChannelTree.h"
#include "base/FileReplace.h"
#include "feed/TextOps.h"
#include "xml/XmlDocument.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>

namespace {

const QString lineEnd = QStringLiteral("\r\n");
const QString amp = QStringLiteral("&");
const QString ampMark = QStringLiteral("|amp|");
constexpr int guidLength = 38;

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Element content that the reader's document turns back into `text`: the characters XML
// reserves become references, line breaks become character references (a raw CR would be
// normalised away and a raw LF would split the block's line), and characters that XML 1.0
// cannot carry at all (control characters, lone surrogates) are dropped.
QString xmlText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            out.append(c);
            out.append(text.at(++i));
            continue;
        }
        switch (c.unicode()) {
        case '&':
            out.append(QLatin1String("&amp;"));
            break;
        case '<':
            out.append(QLatin1String("&lt;"));
            break;
        case '>':
            out.append(QLatin1String("&gt;"));
            break;
        case '\r':
            out.append(QLatin1String("&#13;"));
            break;
        case '\n':
            out.append(QLatin1String("&#10;"));
            break;
        default:
            if (!c.isSurrogate() && isXmlChar(c.unicode()))
                out.append(c);
            break;
        }
    }
    return out;
}

QString elementLine(const QString &name, const QString &content)
{
    return QStringLiteral("  <") + name + QLatin1Char('>') + xmlText(content) +
           QStringLiteral("</") + name + QLatin1Char('>');
}

QString boolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QStringList blockHead(const ChannelTree &tree, const ChannelNode *node, const QString &type)
{
    QStringList lines{QStringLiteral("<node>"), elementLine(QStringLiteral("name"), node->text()),
                      elementLine(QStringLiteral("type"), type)};
    if (node->parent()) {
        lines.append(elementLine(QStringLiteral("parent"),
                                 QString::number(tree.absoluteIndex(node->parent()))));
    }
    return lines;
}

QByteArray utf16LeWithBom(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(2 + text.size() * 2);
    bytes.append('\xFF');
    bytes.append('\xFE');
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        bytes.append(static_cast<char>(u & 0xFF));
        bytes.append(static_cast<char>(u >> 8));
    }
    return bytes;
}

// Two-digit years of regional short formats come back as 19xx; move them to this century
// when that is the nearer reading.
QDateTime fixTwoDigitYear(QDateTime value, const QString &format)
{
    if (value.isValid() && !format.contains(QLatin1String("yyyy")) && value.date().year() < 1950)
        value = value.addYears(100);
    return value;
}

QDateTime parseWithLocale(const QLocale &locale, const QString &text)
{
    const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
    QString longTime = locale.timeFormat(QLocale::LongFormat);
    const QString shortTime = locale.timeFormat(QLocale::ShortFormat);
    // The long time form may end with a time-zone name that a stored text cannot be
    // converted back from; try it without one too.
    QString longTimeNoZone = longTime;
    longTimeNoZone.remove(QLatin1Char('t'));
    longTimeNoZone = longTimeNoZone.trimmed();

    const QStringList formats{shortDate + QLatin1Char(' ') + longTime,
                              shortDate + QLatin1Char(' ') + longTimeNoZone,
                              shortDate + QLatin1Char(' ') + shortTime};
    for (const QString &format : formats) {
        const QDateTime value = fixTwoDigitYear(locale.toDateTime(text, format), format);
        if (value.isValid())
            return value;
    }
    const QDate date = locale.toDate(text, shortDate);
    if (date.isValid())
        return fixTwoDigitYear(QDateTime(date, QTime(0, 0)), shortDate);
    return {};
}

QDateTime asLocalTime(const QDateTime &value)
{
    if (!value.isValid())
        return {};
    const QDateTime local = value.timeSpec() == Qt::LocalTime ? value : value.toLocalTime();
    return QDateTime(local.date(), local.time());
}

void processPendingEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

// The texts of one entry's child elements, each read in its own guard: an element that
// cannot give a text reads as empty and is reported.
class EntryReader
{
public:
    EntryReader(const XmlNode &entry, int number, QStringList &warnings)
        : m_entry(entry), m_number(number), m_warnings(warnings)
    {
    }

    bool has(const QString &name) const { return !m_entry.findChild(name).isNull(); }

    QString text(const QString &name) const
    {
        const XmlNode element = m_entry.findChild(name);
        if (!element)
            return {};
        try {
            return element.text();
        } catch (const std::exception &e) {
            warn(QStringLiteral("element <%1> nie zawiera samego tekstu (%2), przyjęto pusty")
                     .arg(name, QString::fromLocal8Bit(e.what())));
            return {};
        }
    }

    void warn(const QString &message) const
    {
        m_warnings.append(QStringLiteral("wpis %1: %2").arg(m_number).arg(message));
    }

private:
    XmlNode m_entry;
    int m_number;
    QStringList &m_warnings;
};

void readChannelFields(const EntryReader &entry, TtvChannel &channel)
{
    channel.url = UnescapeUrlText(entry.text(QStringLiteral("url")));
    channel.link = UnescapeUrlText(entry.text(QStringLiteral("link")));
    channel.image = UnescapeUrlText(entry.text(QStringLiteral("image")));
    channel.description = ReplaceAll(ampMark, amp, entry.text(QStringLiteral("description")));
    channel.username = ReplaceAll(ampMark, amp, entry.text(QStringLiteral("username")));
    channel.password = ReplaceAll(ampMark, amp, entry.text(QStringLiteral("password")));
    channel.copyright = ReplaceAll(ampMark, amp, entry.text(QStringLiteral("copyright")));
    channel.GUID = entry.text(QStringLiteral("GUID")).left(guidLength);
    channel.alerts = TextToBool(entry.text(QStringLiteral("alerts")));
    channel.lastbuild = entry.text(QStringLiteral("lastbuild"));
    // A date that cannot be converted leaves the value unknown; `enabled` is read apart
    // from it so that a changed regional format never switches channels off.
    const QString lastupdate = entry.text(QStringLiteral("lastupdate"));
    channel.lastupdate = LastUpdateFromText(lastupdate);
    if (!lastupdate.trimmed().isEmpty() && !channel.lastupdate.isValid())
        entry.warn(QStringLiteral("nie można odczytać daty \"%1\", pozostawiono ją pustą")
                       .arg(lastupdate));
    channel.enabled = TextToBool(entry.text(QStringLiteral("enabled")));
    const QString interval = entry.text(QStringLiteral("interval")).trimmed();
    if (!interval.isEmpty()) {
        bool ok = false;
        const int minutes = interval.toInt(&ok);
        if (ok && minutes >= TtvChannel::MinInterval && minutes <= TtvChannel::MaxInterval)
            channel.interval = minutes;
        else if (!ok || minutes != 0)
            entry.warn(QStringLiteral("odstęp aktualizacji \"%1\" poza zakresem %2-%3 minut, "
                                      "kanał aktualizowany jak w ustawieniach")
                           .arg(interval)
                           .arg(TtvChannel::MinInterval)
                           .arg(TtvChannel::MaxInterval));
    }
}

// The element whose `node` children are the entries: normally the first child of the
// document element (`treenodes`); the document element itself when the nodes sit there.
XmlNode findEntryContainer(const XmlNode &documentElement)
{
    XmlNode container = documentElement.findChild(QStringLiteral("treenodes"));
    if (!container) {
        for (XmlNode n = documentElement.firstChild(); n; n = n.nextSibling()) {
            if (n.isElement()) {
                container = n;
                break;
            }
        }
    }
    if ((!container || !container.findChild(QStringLiteral("node"))) &&
        documentElement.findChild(QStringLiteral("node")))
        return documentElement;
    return container;
}

class StatusGuard
{
public:
    explicit StatusGuard(const std::function<void(const QString &)> &status) : m_status(status)
    {
        if (m_status)
            m_status(QStringLiteral("Ładowanie listy kanałów..."));
    }
    ~StatusGuard()
    {
        if (m_status)
            m_status(QStringLiteral("Gotowe."));
    }
    StatusGuard(const StatusGuard &) = delete;
    StatusGuard &operator=(const StatusGuard &) = delete;

private:
    const std::function<void(const QString &)> &m_status;
};

} // namespace

QString WriteGroupNode(const ChannelTree &tree, const ChannelNode *node)
{
    QStringList lines = blockHead(tree, node, QStringLiteral("0"));
    lines.append(QStringLiteral("</node>"));
    return lines.join(lineEnd) + lineEnd;
}

QString WriteChannelNode(const ChannelTree &tree, const ChannelNode *node)
{
    static const TtvChannel noFields;
    const TtvChannel *channel = node->channel();
    const TtvChannel &c = channel ? *channel : noFields;

    QStringList lines = blockHead(tree, node, QStringLiteral("1"));
    lines << elementLine(QStringLiteral("url"), EscapeUrlText(c.url))
          << elementLine(QStringLiteral("link"), EscapeUrlText(c.link))
          << elementLine(QStringLiteral("image"), EscapeUrlText(c.image))
          << elementLine(QStringLiteral("copyright"), ReplaceAll(amp, ampMark, c.copyright))
          << elementLine(QStringLiteral("description"), ReplaceAll(amp, ampMark, c.description))
          << elementLine(QStringLiteral("username"), ReplaceAll(amp, ampMark, c.username))
          << elementLine(QStringLiteral("GUID"), c.GUID)
          << elementLine(QStringLiteral("password"), ReplaceAll(amp, ampMark, c.password))
          << elementLine(QStringLiteral("alerts"), boolText(c.alerts))
          << elementLine(QStringLiteral("enabled"), boolText(c.enabled))
          << elementLine(QStringLiteral("lastbuild"), c.lastbuild)
          << elementLine(QStringLiteral("lastupdate"), LastUpdateToText(c.lastupdate));
    // Only a channel with an interval of its own carries one: the files of older programs
    // and of channels that follow the settings stay as they were, and an older reader,
    // which looks its elements up by name, passes over it.
    if (c.interval > 0)
        lines << elementLine(QStringLiteral("interval"), QString::number(c.interval));
    lines << QStringLiteral("</node>");
    return lines.join(lineEnd);
}

QByteArray ChannelTreeFileBytes(const ChannelTree &tree)
{
    QString text = QStringLiteral("<?xml version=\"1.0\"?>\r\n<tree>\r\n"
                                  "<treenodes name=\"tvChannels\">\r\n");
    for (const ChannelNode *node : tree.nodesInPreOrder()) {
        if (node->isGroup())
            text += WriteGroupNode(tree, node);
        else if (node->isChannel())
            text += WriteChannelNode(tree, node);
        else
            continue;
        text += lineEnd;
    }
    text += QStringLiteral("</treenodes>\r\n</tree>\r\n");
    return utf16LeWithBom(text);
}

QString KeepDamagedTreeFile(const QString &path)
{
    const QFileInfo file(path);
    if (!file.exists() || file.isDir())
        return QString();
    const QString stem =
        path + QStringLiteral(".damaged-") + QDate::currentDate().toString(Qt::ISODate);
    for (int n = 1; n < 1000; ++n) {
        const QString kept = n == 1 ? stem : stem + QLatin1Char('-') + QString::number(n);
        if (QFileInfo::exists(kept) || QFileInfo(kept).isSymLink())
            continue;
        // A rename never overwrites here: QFile refuses an existing target.
        return QFile::rename(path, kept) ? kept : QString();
    }
    return QString();
}

void SaveChannelTree(const ChannelTree &tree, const QString &path)
{
    const QByteArray bytes = ChannelTreeFileBytes(tree);
    // The file holds the channels' passwords: the new file is private, so an older
    // readable one is not kept readable.
    WriteFileAtomically(path, bytes, Durability::Synced, FileAccess::OwnerOnly);
}

TreeLoadResult LoadChannelTree(ChannelTree &tree, XmlDocument &xmlDocument, const QString &path,
                               const std::function<void(const QString &)> &status)
{
    StatusGuard statusGuard(status);
    TreeLoadResult result;
    try {
        // Always read the file as it is on disk, even when the document holds it already.
        xmlDocument.setActive(false);
        xmlDocument.setFileName(path);
        xmlDocument.setActive(true);
    } catch (const std::exception &e) {
        try {
            xmlDocument.setActive(false);
        } catch (const std::exception &) {
        }
        result.error = QString::fromUtf8(e.what());
        return result;
    }

    XmlNode documentElement = xmlDocument.documentElement();
    XmlNode container = documentElement ? findEntryContainer(documentElement) : XmlNode();

    tree.clear();
    ChannelNode *root = tree.root();
    bool rootRead = false;
    int number = 0;
    QSet<QString> guids;
    for (XmlNode entryNode = container ? container.firstChild() : XmlNode(); entryNode;
         entryNode = entryNode.nextSibling()) {
        if (!entryNode.isElement())
            continue;
        ++number;
        processPendingEvents();
        const EntryReader entry(entryNode, number, result.warnings);
        if (entryNode.nodeName() != QLatin1String("node")) {
            entry.warn(QStringLiteral("element <%1> pominięto").arg(entryNode.nodeName()));
            continue;
        }

        const QString name = entry.text(QStringLiteral("name"));
        const QString typeText = entry.text(QStringLiteral("type"));
        const QString parentText = entry.text(QStringLiteral("parent"));

        if (parentText.isEmpty() && !rootRead) {
            tree.renameNode(root, name);
            rootRead = true;
            continue;
        }

        // A number other than 0 and 1 names no kind of node: the entry adds none.
        bool typeOk = false;
        const int type = typeText.trimmed().toInt(&typeOk);
        if (typeOk && type != 0 && type != 1) {
            entry.warn(QStringLiteral("typ %1 nie oznacza ani grupy, ani kanału, wpisu \"%2\" "
                                      "nie wczytano")
                           .arg(typeText.trimmed(), name));
            continue;
        }

        // Entries that break the rules are kept rather than dropped: a node whose parent is
        // missing or names no earlier node goes under the root (a second entry without a
        // parent included), and one whose type is not a number becomes a channel when it
        // carries channel fields, else a group.
        bool parentOk = false;
        const int parentIndex = parentText.trimmed().toInt(&parentOk);
        ChannelNode *parent = parentOk ? tree.nodeAt(parentIndex) : nullptr;
        if (!parent) {
            parent = root;
            entry.warn(QStringLiteral("rodzic \"%1\" nie wskazuje wcześniejszego węzła, węzeł "
                                      "\"%2\" dołączono do korzenia")
                           .arg(parentText, name));
        }

        NodeKind kind = NodeKind::Group;
        if (typeOk) {
            kind = static_cast<NodeKind>(type);
        } else {
            const bool channelFields =
                entry.has(QStringLiteral("url")) || entry.has(QStringLiteral("GUID"));
            kind = channelFields ? NodeKind::Channel : NodeKind::Group;
            entry.warn(QStringLiteral("nieznany typ \"%1\", węzeł \"%2\" wczytano jako %3")
                           .arg(typeText, name,
                                channelFields ? QStringLiteral("kanał") : QStringLiteral("grupę")));
        }

        ChannelNode *node = tree.addNode(parent, name, kind);
        if (TtvChannel *channel = node->channel()) {
            readChannelFields(entry, *channel);
            // The GUID names the channel's files: one that is no GUID could name a file
            // anywhere, and channels that share one would share their read marks.
            if (!IsGuidText(channel->GUID) || guids.contains(channel->GUID.toUpper())) {
                const QString old = channel->GUID;
                channel->GUID = NewGuidText();
                if (!old.isEmpty()) // a channel without one just gets one
                        entry.warn(QStringLiteral("identyfikator \"%1\" kanału \"%2\" zastąpiono "
                                              "nowym: %3")
                                   .arg(old, name, channel->GUID));
            }
            guids.insert(channel->GUID.toUpper());
        }
    }
    result.ok = true;
    return result;
}

QString LastUpdateToText(const QDateTime &value)
{
    if (!value.isValid())
        return {};
    const QDateTime local = asLocalTime(value);
    if (local.time() == QTime(0, 0))
        return local.toString(QStringLiteral("yyyy-MM-dd"));
    return local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QDateTime LastUpdateFromText(const QString &rawText)
{
    const QString text = rawText.trimmed();
    if (text.isEmpty())
        return {};

    static const char *const fixedTimes[] = {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd H:mm:ss",
                                             "yyyy-MM-dd HH:mm", "d.M.yyyy H:mm:ss",
                                             "d.M.yyyy H:mm"};
    for (const char *format : fixedTimes) {
        const QDateTime value = QDateTime::fromString(text, QLatin1String(format));
        if (value.isValid())
            return asLocalTime(value);
    }
    for (const char *format : {"yyyy-MM-dd", "d.M.yyyy"}) {
        const QDate date = QDate::fromString(text, QLatin1String(format));
        if (date.isValid())
            return QDateTime(date, QTime(0, 0));
    }
    for (const QLocale &locale : {QLocale(), QLocale::system(), QLocale(QLocale::Polish)}) {
        const QDateTime value = parseWithLocale(locale, text);
        if (value.isValid())
            return asLocalTime(value);
    }
    return asLocalTime(QDateTime::fromString(text, Qt::ISODate));
}
