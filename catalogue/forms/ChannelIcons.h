#pragma once

#include "base/ProxySettings.h"
#include "base/UserFolder.h"

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class ChannelNode;
class SiteIconFetcher;

// The pictures channels are drawn with in the tree: each channel's site icon, fetched with
// the channel's update when its file is missing or a week old, kept in data/icons/. A file
// that is no picture, or one too large to be an icon, is not drawn, and the channel keeps
// the channel picture.
class ChannelIcons : public QObject
{
    Q_OBJECT
public:
    ChannelIcons(const UserFolder &folder, std::function<ProxySettings()> proxy,
                 QObject *parent = nullptr);
    ~ChannelIcons() override;

    // The channel's icon; a null icon when it has none (yet). Read from its file once.
    QIcon iconFor(const QString &guid);
    // Off: icons kept already are drawn, none is fetched.
    void setFetching(bool on) { m_fetching = on; }
    // Icons being fetched or waiting to be.
    int pending() const;

    // The picture in `bytes`, at the sizes it holds; a null icon when the bytes are no
    // picture, hold one larger than MaxSide, or more than MaxFrames of them.
    static QIcon decode(const QByteArray &bytes);
    static constexpr int MaxSide = 512;
    static constexpr int MaxFrames = 16;

public slots:
    // A channel has been updated (or tried to be): its icon is fetched when due.
    void channelUpdated(ChannelNode *node);

signals:
    // The icon of this channel changed: the tree draws it again.
    void changed(const QString &guid);

private:
    void fetched(const QString &guid, const QByteArray &bytes);

    UserFolder m_folder;
    std::unique_ptr<SiteIconFetcher> m_fetcher;
    QHash<QString, QIcon> m_icons; // read so far; a null icon for none
    bool m_fetching = true;
};
