#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <functional>
#include <stdexcept>
#include <vector>

// Raised for a provider's list that holds no channel entry.
class ProviderListError : public std::runtime_error
{
public:
    explicit ProviderListError(const QString &message) : std::runtime_error(message.toStdString())
    {
    }
};

// One entry of a provider's channel list. An entry without an address is a group heading.
struct ProviderEntry
{
    QString name;
    QString url; // unescaped
    bool needsCredentials = false;
    bool isGroup() const { return url.isEmpty(); }
};

// The provider's list that ships in data/, used when the settings name no other.
inline const QString ShippedProviderList = QStringLiteral("channels_list.xml");
// The file in data/ that `address` stands for: ShippedProviderList for an empty address,
// the address itself when it is a bare file name (no scheme, no folder); empty for an
// address that is to be downloaded.
QString ShippedListName(const QString &address);

// Reads a provider's list: the entries are the first `channel` element under the document
// element's first child element and every element after it, in document order; `url` is unescaped
// and `password` other than "0" means the channel asks for credentials. Raises XmlError for
// a missing or malformed file and ProviderListError when no entry is found.
std::vector<ProviderEntry> ReadProviderList(const QString &file);

// The edition of a shipped list: the `version` attribute of its document element, 0 for a
// list without one (every list shipped before editions were counted) or a file that cannot
// be read.
int ProviderListVersion(const QString &file);

// The user's copy of the shipped list (`userCopy`, made at the first start) is replaced by
// the shipped list when that is a later edition. Entries the user added to the copy (an
// address neither in the new list nor among the addresses it names under `former`, those
// earlier editions shipped) are kept, at the end under a heading of their own. Nothing
// happens when the copy is missing, is as new, or the shipped list cannot be read; the copy
// is replaced atomically. True when it was replaced.
bool RefreshProviderListCopy(const QString &userCopy, const QString &shipped);
inline const QString OwnEntriesHeading = QStringLiteral("Dodane przez Ciebie");

// The rows of the wizard's channel list: a caption column and five sub-items, the last
// four hidden (address, user name, password, alerts flag "1"/"0"). The user's ticks and
// the credentials typed for a row live here.
class ProviderListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { ColName, ColAuth, ColUrl, ColUser, ColPass, ColCheck, ColumnCount };
    enum Role { ImageIndexRole = Qt::UserRole + 1 }; // 0 channel, 1 group

    struct Row
    {
        QString name;
        QString auth; // "Tak", "Nie", empty for a group
        QString url;
        QString user;
        QString pass;
        QString check = QStringLiteral("1");
        bool ticked = false;
        bool isGroup() const { return url.isEmpty(); }
    };

    explicit ProviderListModel(QObject *parent = nullptr);

    // Replaces the rows by the entries, leaving out every channel for which `subscribed`
    // answers true.
    void setEntries(const std::vector<ProviderEntry> &entries,
                    const std::function<bool(const QString &url)> &subscribed);
    void clear();

    const std::vector<Row> &rows() const { return m_rows; }
    // The row after the last row of the group that starts at `groupRow`.
    int groupEnd(int groupRow) const;
    // True when a row of the group that starts at `groupRow` is ticked.
    bool groupHasTicked(int groupRow) const;

    void setTicked(int row, bool ticked);
    // A group row's new tick goes to every row of its group.
    void setGroupTicked(int groupRow, bool ticked);
    void setSubItem(int row, Column column, const QString &text);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    void rowChanged(int first, int last);
    std::vector<Row> m_rows;
};
