#include "sync/ChannelUpdater.h"

#include "alerts/AlertQueue.h"
#include "catalogue/ChannelTree.h"
#include "feed/FeedNormaliser.h"
#include "feed/TextOps.h"
#include "sync/ChannelFiles.h"
#include "sync/FeedPrologue.h"
#include "xml/FeedItemScanner.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>

#include <cstdio>

namespace {

const int kMaxAlertsPerUpdate = 3;
const qint64 kEventIntervalNs = 2000000;

// Titles are matched without regard to letter case.
QString titleKey(const QString &title)
{
    return title.toCaseFolded();
}

QString childText(const XmlNode &item, const QString &name)
{
    const XmlNode child = item.findChild(name);
    return child ? child.text() : QString();
}

// Thrown inside the rebuild to end it with the "bad format" line.
struct BadChannelFormat
{
};

} // namespace

struct ChannelUpdater::ReadMarks
{
    QSet<QString> readTitles;
    QSet<QString> unreadTitles;
};

ChannelUpdater::ChannelUpdater(const IChannelFiles &files, IChannelUpdateHost &host,
                               AlertQueue &alerts, QObject *parent)
    : QObject(parent), m_files(files), m_host(host), m_alerts(alerts)
{
    tmLongResponse.setObjectName(QStringLiteral("tmLongResponse"));
    tmLongResponse.setSingleShot(true);
    connect(&tmLongResponse, &QTimer::timeout, this, &ChannelUpdater::tmLongResponseTimer);
}

ChannelUpdater::~ChannelUpdater() = default;

void ChannelUpdater::tmLongResponseTimer()
{
    tmLongResponse.stop();
    m_host.ReportProblem(slowChannelMessage);
}

int ChannelUpdater::UpdateChannel(TtvChannel &channel, const QString &name)
{
    // Events are served during an update; one that arrives meanwhile is refused.
    if (m_channelUpdateBusy)
        return -1;
    m_host.setSyncSelectedEnabled(false);
    m_channelUpdateBusy = true;
    emit busyChanged(true);
    tmLongResponse.start(m_longResponseInterval);
    slowChannelMessage = QStringLiteral("Kanał ") + name +
                         QStringLiteral(" może powodować błędy w działaniu programu (czas "
                                        "odświeżania ponad wyniósł ponad 1 minutę).");

    int result = -1;
    try {
        XmlDocument &shown = m_host.shownDocument();
        if (shown.active()) {
            try {
                shown.save();
            } catch (const std::exception &) {
                // The marks of the shown channel are lost, the update is not.
            }
        }

        const QString cacheFile = m_files.cacheFile(channel.GUID);
        const ReadMarks marks = readOldMarks(cacheFile, name);

        const QString downloadFile = m_files.downloadFile(channel.GUID);
        if (m_host.DownloadDocument(channel.url, downloadFile, channel.username,
                                    channel.password) == -1) {
            m_host.ReportProblem(QStringLiteral("Nie można pobrać nowych nagłówków z ") + name);
        } else {
            result = rebuild(channel, name, marks);
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return result;
}

void ChannelUpdater::finish()
{
    m_host.setSyncSelectedEnabled(true);
    m_channelUpdateBusy = false;
    tmLongResponse.stop();
    emit busyChanged(false);
}

// An old cache file that cannot be read must not block the channel for ever: its marks
// are treated as empty and the update goes on.
ChannelUpdater::ReadMarks ChannelUpdater::readOldMarks(const QString &cacheFile,
                                                       const QString &name)
{
    ReadMarks marks;
    QFile file(cacheFile);
    if (!file.exists())
        return marks;
    const auto addMark = [&marks](const QString &title, const QString &unread) {
        if (unread == QLatin1String("0"))
            marks.readTitles.insert(titleKey(title));
        else
            marks.unreadTitles.insert(titleKey(title));
    };
    if (file.open(QIODevice::ReadOnly) && ScanFeedItems(file.readAll(), addMark))
        return marks;

    // The streaming reader declined: the tree reads the file, or says what is wrong with it.
    marks = ReadMarks();
    try {
        xmlGetterDocument.loadFromFile(cacheFile);
        const NormalisedFeed feed = NormaliseFeedFile(xmlGetterDocument);
        for (XmlNode node = feed.firstItem; node; node = node.nextSibling()) {
            if (node.localName() == QLatin1String("item"))
                addMark(childText(node, QStringLiteral("title")),
                        childText(node, QStringLiteral("unread")));
        }
    } catch (const std::exception &) {
        marks = ReadMarks();
        m_host.ReportProblem(QStringLiteral("Nie można odczytać znaczników przeczytania kanału ") +
                             name);
    }
    xmlGetterDocument.setActive(false);
    return marks;
}

int ChannelUpdater::rebuild(TtvChannel &channel, const QString &name, const ReadMarks &marks)
{
    const QString cacheFile = m_files.cacheFile(channel.GUID);
    const QString downloadFile = m_files.downloadFile(channel.GUID);
    XmlDocument &shown = m_host.shownDocument();
    int newItems = 0;
    try {
        xmlGetterDocument.setActive(false);
        QFile raw(downloadFile);
        if (!raw.open(QIODevice::ReadOnly))
            throw BadChannelFormat();
        const QByteArray prepared = InsertStyleSheetInstruction(raw.readAll());
        raw.close();

        // Parsed from memory: the download file is written once, after the walk, unless
        // the document is refused, when it is kept as prepared for a look.
        xmlGetterDocument.setFileName(downloadFile);
        try {
            xmlGetterDocument.loadFromBytes(prepared);
        } catch (...) {
            WriteFileAtomically(downloadFile, prepared);
            throw;
        }
        const NormalisedFeed feed = NormaliseFeedFile(xmlGetterDocument);

        int queued = 0;
        QElapsedTimer sinceEvents; // the download served them just now
        sinceEvents.start();
        for (XmlNode node = feed.firstItem; node; node = node.nextSibling()) {
            // Events wait at most a couple of milliseconds: as alive as pumping after every
            // item, without a poll of the system for each of ten thousand items.
            if (sinceEvents.nsecsElapsed() >= kEventIntervalNs) {
                QCoreApplication::processEvents();
                sinceEvents.start();
            }
            if (node.localName() != QLatin1String("item"))
                continue;
            XmlNode title = node.child(QStringLiteral("title"));
            QString t = title.text(); // a title with element children is a bad format
            if (t.contains(QLatin1String("&#"))) {
                try {
                    const QString decoded = DecodeCharRefs(t);
                    title.setText(decoded);
                    t = decoded;
                } catch (const std::exception &) {
                    // A title that cannot be decoded stays as it came.
                }
            }
            const QString key = titleKey(t);
            const bool read = marks.readTitles.contains(key);
            node.child(QStringLiteral("unread"))
                .setText(read ? QStringLiteral("0") : QStringLiteral("1"));
            if (!read && !marks.unreadTitles.contains(key)) {
                ++newItems;
                ++m_alerts.newItemCount;
                if (channel.alerts && queued < kMaxAlertsPerUpdate) {
                    m_alerts.enqueue(t, name);
                    ++queued;
                }
            }
            node.setAttribute(QStringLiteral("GUID"), NewGuidText());
            XmlNode pubDate = node.findChild(QStringLiteral("pubDate"));
            if (pubDate) {
                try {
                    pubDate.setText(ConvertFeedDate(pubDate.text()));
                } catch (const std::exception &) {
                    // The date stays as it came.
                }
            }
        }

        xmlGetterDocument.saveToFile(downloadFile);
        xmlGetterDocument.setActive(false);
    } catch (...) {
        xmlGetterDocument.setActive(false);
        m_host.ReportProblem(QStringLiteral("Zły format kanału ") + name);
        reloadShown(cacheFile);
        return -1;
    }

    const bool showsThisChannel = shown.fileName() == cacheFile;
    if (showsThisChannel) {
        shown.setActive(false);
        m_host.setHeadersEnabled(false);
    }
    // One rename replaces the cache file: readers see the old file or the new one.
    if (std::rename(QFile::encodeName(downloadFile).constData(),
                    QFile::encodeName(cacheFile).constData()) != 0)
        QFile::remove(downloadFile);
    channel.lastupdate = QDateTime::currentDateTime();
    reloadShown(cacheFile);
    return newItems;
}

void ChannelUpdater::reloadShown(const QString &cacheFile)
{
    XmlDocument &shown = m_host.shownDocument();
    if (shown.fileName() != cacheFile)
        return;
    m_host.setHeadersEnabled(true);
    try {
        shown.setActive(true);
        m_host.refreshContent();
    } catch (const std::exception &) {
        // The header list shows what it can; the next selection reloads it.
    }
}
