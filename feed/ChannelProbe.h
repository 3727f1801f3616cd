#pragma once

#include "feed/DocumentDownloader.h"

#include <QString>

#include <functional>

// What a channel document says about its channel.
struct ChannelInfo
{
    QString title;
    QString url; // the address the document came from
    QString link;
    QString description;
    QString copyright;
    QString image;
};

// The picture a channel without one of its own gets.
inline const QString DefaultChannelImage = QStringLiteral("archive.jpg");

// Reads the channel element of the probe file (RSS 0.9x/2.0 under `rss`, RSS 1.0 under the
// RDF root), after the same encoding step as an update. The image is the channel's
// image/url, else the url of the first `image` element beside the channel (RSS 1.0), else
// DefaultChannelImage. Raises FeedFormatError when the file is not a channel document and
// XmlError when it is not XML at all. The file is left in place.
ChannelInfo ReadChannelInfo(const QString &address, const QString &probeFile);

// The address as typed, with "http://" put in front when it names no scheme.
QString AddressWithScheme(const QString &typed);
// Whether the typed address may be subscribed: an http or https address with something
// after the scheme, or a bare host and path (which gets "http://").
bool AddressCanBeSubscribed(const QString &typed);

struct ProbeResult
{
    enum Outcome { Read, NotDownloaded, NotAChannel };
    Outcome outcome = NotDownloaded;
    ChannelInfo info;      // when Read
    QString failedAddress; // when NotDownloaded: the address that gave no file
    QString problem;       // when NotDownloaded: why, as the download tells it
};

// Downloads `address` into `probeFile` through `download` (as DocumentDownloader's
// FetchChannel answers) and reads it. When the document is a web page that announces a
// channel, that channel is probed instead and its address, resolved against the page's own
// address after redirects, is the one subscribed. The probe file is gone afterwards in every
// case, also one left over from an earlier run.
ProbeResult ProbeChannel(
    const QString &address, const QString &probeFile,
    const std::function<ChannelFetch(const QString &address, const QString &file)> &download);
