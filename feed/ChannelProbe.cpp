#include "feed/ChannelProbe.h"

#include "feed/FeedConverter.h"
#include "feed/FeedDiscovery.h"
#include "feed/FeedNormaliser.h"
#include "xml/XmlDocument.h"

#include <QFile>
#include <QUrl>

namespace {

// Pages announce their channels in the head; a few megabytes is more than any head.
constexpr qint64 DocumentDiscoveryLimit = 4 * 1024 * 1024;

// The first child element with this local name in the parent's own namespace, so that an
// atom:link before RSS's link is not taken for it.
XmlNode childNamed(const XmlNode &parent, const QString &localName)
{
    const QString ns = parent.namespaceURI();
    for (XmlNode c = parent.firstChild(); c; c = c.nextSibling()) {
        if (c.isElement() && c.localName() == localName && c.namespaceURI() == ns)
            return c;
    }
    return XmlNode();
}

QString textOf(const XmlNode &node)
{
    if (node.isNull())
        return QString();
    try {
        return node.text();
    } catch (const XmlError &) {
        return QString(); // markup inside: not a plain field
    }
}

QString childText(const XmlNode &parent, const QString &localName)
{
    return textOf(childNamed(parent, localName));
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.read(DocumentDiscoveryLimit);
}

} // namespace

ChannelInfo ReadChannelInfo(const QString &address, const QString &probeFile)
{
    XmlDocument document;
    // An Atom or JSON Feed channel is read as the RSS its updates will turn it into.
    QFile raw(probeFile);
    QByteArray rss;
    if (raw.open(QIODevice::ReadOnly) && ConvertFeedToRss(raw.readAll(), address, rss))
        document.loadFromBytes(rss);
    else
        document.loadFromFile(probeFile);
    raw.close();
    try {
        NormaliseFeedFile(document);
    } catch (const FeedFormatError &) {
        // An rss root without a channel: found missing below.
    }

    const XmlNode root = document.documentElement();
    XmlNode channel;
    for (XmlNode n = root.firstChild(); n; n = n.nextSibling()) {
        if (n.isElement() && n.localName() == QLatin1String("channel")) {
            channel = n;
            break;
        }
    }
    if (channel.isNull())
        throw FeedFormatError(QStringLiteral("The document has no channel element"));

    ChannelInfo info;
    info.url = address;
    info.title = childText(channel, QStringLiteral("title"));
    info.link = childText(channel, QStringLiteral("link"));
    info.description = childText(channel, QStringLiteral("description"));
    info.copyright = childText(channel, QStringLiteral("copyright"));
    const XmlNode image = childNamed(channel, QStringLiteral("image"));
    if (!image.isNull())
        info.image = childText(image, QStringLiteral("url"));
    if (info.image.isEmpty()) {
        for (XmlNode n = channel.nextSibling(); n; n = n.nextSibling()) {
            if (n.isElement() && n.localName() == QLatin1String("image")) {
                info.image = childText(n, QStringLiteral("url"));
                break;
            }
        }
    }
    if (info.image.isEmpty())
        info.image = DefaultChannelImage;
    return info;
}

QString AddressWithScheme(const QString &typed)
{
    const QString address = typed.trimmed();
    if (address.isEmpty() || address.contains(QLatin1String("://")))
        return address;
    return QStringLiteral("http://") + address;
}

bool AddressCanBeSubscribed(const QString &typed)
{
    const QString address = typed.trimmed();
    if (address.isEmpty())
        return false;
    const int schemeEnd = address.indexOf(QLatin1String("://"));
    if (schemeEnd < 0)
        return !address.contains(QLatin1Char(':')) || QUrl(QStringLiteral("http://") + address).port() > 0;
    const QString scheme = address.left(schemeEnd).toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return false;
    return address.size() > schemeEnd + 3;
}

ProbeResult ProbeChannel(
    const QString &address, const QString &probeFile,
    const std::function<ChannelFetch(const QString &address, const QString &file)> &download)
{
    struct Cleanup
    {
        QString path;
        ~Cleanup() { QFile::remove(path); }
    } cleanup{probeFile};

    ProbeResult result;
    QString pageAddress = address;
    const auto fetch = [&](const QString &from) {
        QFile::remove(probeFile); // never read a file an earlier probe left behind
        ChannelFetch fetched;
        try {
            fetched = download(from, probeFile);
        } catch (...) {
        }
        const bool got = QFile::exists(probeFile);
        if (got && !fetched.finalAddress.isEmpty())
            pageAddress = fetched.finalAddress;
        if (!got)
            result.problem = fetched.problem;
        return got;
    };

    if (!fetch(address)) {
        result.failedAddress = address;
        return result;
    }
    try {
        result.info = ReadChannelInfo(address, probeFile);
        result.outcome = ProbeResult::Read;
        return result;
    } catch (const std::exception &) {
    }

    // Relative to the page as it was read: redirects move it (http to https, "/blog" to
    // "/blog/").
    const QString announced = DiscoverFeedAddress(fileBytes(probeFile), pageAddress);
    result.outcome = ProbeResult::NotAChannel;
    if (announced.isEmpty())
        return result;
    if (!fetch(announced)) {
        result.outcome = ProbeResult::NotDownloaded;
        result.failedAddress = announced;
        return result;
    }
    try {
        result.info = ReadChannelInfo(announced, probeFile);
        result.outcome = ProbeResult::Read;
    } catch (const std::exception &) {
    }
    return result;
}
