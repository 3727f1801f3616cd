#pragma once

// A user folder from an earlier run, written where the first start copies it from: the tree
// file and one cache file per channel, every item's read mark as the test gives it.

#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

namespace mainfrm_test {

inline QString PreparedGuid(int n)
{
    return QStringLiteral("{00000000-0000-4000-8000-%1}").arg(n, 12, 10, QLatin1Char('0'));
}

// Item i is "Wiadomość i" with the link http://example.org/<channel>/<i>, unread where
// `unread[i]`; `description` is every item's description (escaped HTML).
inline QByteArray PreparedCacheFile(int channel, const QList<bool> &unread,
                                    const QByteArray &description = "opis")
{
    QByteArray bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">"
                       "<channel><title>K</title><link>http://example.org/</link>";
    for (int i = 0; i < unread.size(); ++i) {
        const QByteArray n = QByteArray::number(i);
        bytes += "<item GUID=\"{I" + QByteArray::number(channel) + "-" + n +
                 "}\"><title>Wiadomość " + n + "</title><link>http://example.org/" +
                 QByteArray::number(channel) + "/" + n + "</link><description>" + description +
                 "</description><unread>" + (unread[i] ? "1" : "0") + "</unread></item>";
    }
    return bytes + "</channel></rss>";
}

// Builds a tree in the test's own model, then writes it and the cache files into `dataDir`.
class PreparedChannels
{
public:
    ChannelTree tree;

    ChannelNode *group(ChannelNode *parent, const QString &name)
    {
        return tree.addNode(parent ? parent : tree.root(), name, NodeKind::Group);
    }
    // Channel number n, "Kanał n", with its items' marks.
    ChannelNode *channel(ChannelNode *parent, int n, const QList<bool> &unread,
                         const QByteArray &description = "opis")
    {
        ChannelNode *node = tree.addNode(parent ? parent : tree.root(),
                                         QStringLiteral("Kanał %1").arg(n), NodeKind::Channel);
        node->channel()->GUID = PreparedGuid(n);
        node->channel()->url = QStringLiteral("http://127.0.0.1:9/%1").arg(n);
        m_files.append({PreparedGuid(n), PreparedCacheFile(n, unread, description)});
        return node;
    }
    // False when a file could not be written.
    bool write(const QString &dataDir) const
    {
        QFile::remove(dataDir + QStringLiteral("tvChannels.xml"));
        SaveChannelTree(tree, dataDir + QStringLiteral("tvChannels.xml"));
        for (const auto &[guid, bytes] : m_files) {
            QFile file(dataDir + guid + QStringLiteral(".xml"));
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
                return false;
        }
        return true;
    }

private:
    QList<QPair<QString, QByteArray>> m_files;
};

} // namespace mainfrm_test
