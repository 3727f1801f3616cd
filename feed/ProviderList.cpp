#include "feed/ProviderList.h"

#include "base/FileReplace.h"
#include "feed/TextOps.h"
#include "xml/XmlDocument.h"

#include <QFile>
#include <QSet>

namespace {

QString childText(const XmlNode &entry, const QString &name)
{
    const XmlNode child = entry.findChild(name);
    if (child.isNull())
        return QString();
    try {
        return child.text();
    } catch (const XmlError &) {
        return QString();
    }
}

} // namespace

QString ShippedListName(const QString &address)
{
    const QString name = address.trimmed();
    if (name.isEmpty())
        return ShippedProviderList;
    if (name.contains(QLatin1Char(':')) || name.contains(QLatin1Char('/')) ||
        name.contains(QLatin1Char('\\')) || name.startsWith(QLatin1Char('.')))
        return QString();
    return name;
}

std::vector<ProviderEntry> ReadProviderList(const QString &file)
{
    XmlDocument document;
    document.loadFromFile(file);
    // Indented lists have blank text before the holder; it is the first element.
    XmlNode holder = document.documentElement().firstChild();
    while (holder && !holder.isElement())
        holder = holder.nextSibling();
    XmlNode entry;
    for (XmlNode n = holder.firstChild(); n; n = n.nextSibling()) {
        if (n.isElement() && n.nodeName() == QLatin1String("channel")) {
            entry = n;
            break;
        }
    }
    if (entry.isNull())
        throw ProviderListError(QStringLiteral("The list holds no channel entry"));

    std::vector<ProviderEntry> entries;
    for (; entry; entry = entry.nextSibling()) {
        if (!entry.isElement())
            continue;
        ProviderEntry e;
        e.name = childText(entry, QStringLiteral("name"));
        e.url = UnescapeUrlText(childText(entry, QStringLiteral("url")));
        if (!e.isGroup())
            e.needsCredentials = childText(entry, QStringLiteral("password")) != QLatin1String("0");
        entries.push_back(e);
    }
    return entries;
}

int ProviderListVersion(const QString &file)
{
    try {
        XmlDocument document;
        document.loadFromFile(file);
        bool ok = false;
        const int version =
            document.documentElement().attribute(QStringLiteral("version")).trimmed().toInt(&ok);
        return ok && version > 0 ? version : 0;
    } catch (const XmlError &) {
        return 0;
    }
}

namespace {

// The addresses earlier editions shipped and this one dropped: `url` children of the
// `former` element under the document element.
QSet<QString> formerAddresses(const QString &file)
{
    QSet<QString> urls;
    XmlDocument document;
    document.loadFromFile(file);
    const XmlNode former = document.documentElement().findChild(QStringLiteral("former"));
    for (XmlNode n = former ? former.firstChild() : XmlNode(); n; n = n.nextSibling())
        if (n.isElement() && n.nodeName() == QLatin1String("url"))
            urls.insert(UnescapeUrlText(n.text()).trimmed());
    return urls;
}

QByteArray entryXml(const ProviderEntry &e)
{
    return "  <channel><name>" + e.name.toHtmlEscaped().toUtf8() + "</name><url>" +
           EscapeUrlText(e.url).toHtmlEscaped().toUtf8() + "</url><password>" +
           (e.needsCredentials ? "1" : "0") + "</password></channel>\n";
}

} // namespace

bool RefreshProviderListCopy(const QString &userCopy, const QString &shipped)
{
    if (!QFile::exists(userCopy))
        return false;
    const int newVersion = ProviderListVersion(shipped);
    if (newVersion <= ProviderListVersion(userCopy))
        return false;
    QFile shippedFile(shipped);
    if (!shippedFile.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = shippedFile.readAll();
    try {
        QSet<QString> known = formerAddresses(shipped);
        for (const ProviderEntry &e : ReadProviderList(shipped))
            known.insert(e.url.trimmed());
        std::vector<ProviderEntry> own;
        try {
            for (const ProviderEntry &e : ReadProviderList(userCopy))
                if (!e.isGroup() && !known.contains(e.url.trimmed()))
                    own.push_back(e);
        } catch (const std::exception &) {
            // A copy that no longer reads has nothing of the user's to keep.
        }
        if (!own.empty()) {
            const int end = bytes.lastIndexOf("</channels>");
            if (end < 0)
                return false;
            QByteArray added = entryXml({OwnEntriesHeading, QString(), false});
            for (const ProviderEntry &e : own)
                added += entryXml(e);
            bytes.insert(end, added);
        }
        WriteFileAtomically(userCopy, bytes);
    } catch (const std::exception &) {
        return false;
    }
    return true;
}

ProviderListModel::ProviderListModel(QObject *parent) : QAbstractTableModel(parent) {}

void ProviderListModel::setEntries(const std::vector<ProviderEntry> &entries,
                                   const std::function<bool(const QString &)> &subscribed)
{
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(entries.size());
    for (const ProviderEntry &e : entries) {
        if (!e.isGroup() && subscribed && subscribed(e.url))
            continue;
        Row row;
        row.name = e.name;
        if (!e.isGroup()) {
            row.auth = e.needsCredentials ? QStringLiteral("Tak") : QStringLiteral("Nie");
            row.url = e.url;
        }
        m_rows.push_back(row);
    }
    endResetModel();
}

void ProviderListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

int ProviderListModel::groupEnd(int groupRow) const
{
    int end = groupRow + 1;
    while (end < int(m_rows.size()) && !m_rows[size_t(end)].isGroup())
        ++end;
    return end;
}

bool ProviderListModel::groupHasTicked(int groupRow) const
{
    for (int i = groupRow + 1, end = groupEnd(groupRow); i < end; ++i) {
        if (m_rows[size_t(i)].ticked)
            return true;
    }
    return false;
}

void ProviderListModel::setTicked(int row, bool ticked)
{
    if (row < 0 || row >= int(m_rows.size()) || m_rows[size_t(row)].ticked == ticked)
        return;
    m_rows[size_t(row)].ticked = ticked;
    rowChanged(row, row);
}

void ProviderListModel::setGroupTicked(int groupRow, bool ticked)
{
    if (groupRow < 0 || groupRow >= int(m_rows.size()))
        return;
    const int end = m_rows[size_t(groupRow)].isGroup() ? groupEnd(groupRow) : groupRow + 1;
    for (int i = groupRow; i < end; ++i)
        m_rows[size_t(i)].ticked = ticked;
    rowChanged(groupRow, end - 1);
}

void ProviderListModel::setSubItem(int row, Column column, const QString &text)
{
    if (row < 0 || row >= int(m_rows.size()))
        return;
    Row &r = m_rows[size_t(row)];
    switch (column) {
    case ColUser: r.user = text; break;
    case ColPass: r.pass = text; break;
    case ColCheck: r.check = text; break;
    default: return;
    }
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i, {Qt::DisplayRole});
}

int ProviderListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ProviderListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ProviderListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const Row &r = m_rows[size_t(index.row())];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case ColName: return r.name;
        case ColAuth: return r.auth;
        case ColUrl: return r.url;
        case ColUser: return r.user;
        case ColPass: return r.pass;
        case ColCheck: return r.check;
        default: return {};
        }
    }
    if (index.column() != ColName)
        return {};
    if (role == Qt::CheckStateRole)
        return r.ticked ? Qt::Checked : Qt::Unchecked;
    if (role == ImageIndexRole)
        return r.isGroup() ? 1 : 0;
    return {};
}

QVariant ProviderListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const names[ColumnCount] = {"Nazwa", "Uwierzytelnianie", "Url",
                                                   "user",  "pass",             "check"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section])
                                                 : QVariant();
}

bool ProviderListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != ColName || role != Qt::CheckStateRole)
        return false;
    const bool ticked = value.toInt() == Qt::Checked;
    if (m_rows[size_t(index.row())].isGroup())
        setGroupTicked(index.row(), ticked);
    else
        setTicked(index.row(), ticked);
    return true;
}

Qt::ItemFlags ProviderListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == ColName)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

void ProviderListModel::rowChanged(int first, int last)
{
    emit dataChanged(index(first, 0), index(last, ColumnCount - 1),
                     {Qt::CheckStateRole, Qt::DisplayRole});
}
