#include "catalogue/forms/ChannelIcons.h"

#include "base/FileReplace.h"
#include "catalogue/CatalogueLog.h"
#include "catalogue/ChannelTree.h"
#include "feed/SiteIcons.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QImageReader>
#include <QPixmap>

ChannelIcons::ChannelIcons(const UserFolder &folder, std::function<ProxySettings()> proxy,
                           QObject *parent)
    : QObject(parent), m_folder(folder), m_fetcher(std::make_unique<SiteIconFetcher>())
{
    setObjectName(QStringLiteral("ChannelIcons"));
    m_fetcher->setProxyProvider(std::move(proxy));
    connect(m_fetcher.get(), &SiteIconFetcher::fetched, this, &ChannelIcons::fetched);
}

ChannelIcons::~ChannelIcons() = default;

int ChannelIcons::pending() const
{
    return m_fetcher->pending();
}

QIcon ChannelIcons::decode(const QByteArray &bytes)
{
    if (!SiteIcons::LooksLikeIcon(bytes))
        return QIcon();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    QIcon icon;
    for (int frame = 0; frame < MaxFrames; ++frame) {
        // The size is read from the header first: a picture that claims to be huge is
        // never decoded.
        const QSize size = reader.size();
        if (!size.isValid() || size.width() > MaxSide || size.height() > MaxSide)
            return QIcon();
        QImage image;
        if (!reader.read(&image) || image.isNull())
            break;
        icon.addPixmap(QPixmap::fromImage(image));
        if (!reader.jumpToNextImage())
            break;
    }
    return icon.availableSizes().isEmpty() ? QIcon() : icon;
}

QIcon ChannelIcons::iconFor(const QString &guid)
{
    if (guid.isEmpty() || m_folder.isEmpty())
        return QIcon();
    const auto known = m_icons.constFind(guid);
    if (known != m_icons.constEnd())
        return *known;
    QIcon icon;
    QFile file(m_folder.iconFile(guid));
    if (file.size() <= SiteIcons::MaxIconBytes && file.open(QIODevice::ReadOnly))
        icon = decode(file.readAll());
    m_icons.insert(guid, icon);
    return icon;
}

void ChannelIcons::channelUpdated(ChannelNode *node)
{
    const TtvChannel *channel = node ? node->channel() : nullptr;
    if (!m_fetching || !channel || channel->GUID.isEmpty() || m_folder.isEmpty())
        return;
    if (!SiteIcons::Due(m_folder.iconFile(channel->GUID), QDateTime::currentDateTime()))
        return;
    m_fetcher->request({channel->GUID, channel->link, channel->url});
}

void ChannelIcons::fetched(const QString &guid, const QByteArray &bytes)
{
    // What cannot be drawn is kept as "none", so it is not fetched again before the week.
    const QIcon icon = decode(bytes);
    try {
        SiteIcons::Store(m_folder.iconFile(guid), icon.isNull() ? QByteArray() : bytes);
    } catch (const FileError &e) {
        qCWarning(lcCatalogue, "a channel's icon could not be kept: %s", e.what());
    }
    const bool hadOne = !m_icons.value(guid).isNull();
    m_icons.insert(guid, icon);
    if (hadOne || !icon.isNull())
        emit changed(guid);
}
