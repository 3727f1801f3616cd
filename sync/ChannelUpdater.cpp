#include "sync/ChannelUpdater.h"

#include "alerts/AlertQueue.h"
#include "catalogue/ChannelTree.h"
#include "feed/FeedConverter.h"
#include "feed/FeedNormaliser.h"
#include "base/FileReplace.h"
#include "feed/TextOps.h"
#include "base/ChannelFiles.h"
#include "sync/FeedPrologue.h"
#include "sync/KeptItems.h"
#include "sync/ShownDocument.h"
#include "xml/FeedItemScanner.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstdio>

namespace {

const int MaxAlertsPerUpdate = 3;
const qint64 EventIntervalNs = 2000000;

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
    bool damaged = false; // the file exists but could not be read
};

ChannelUpdater::ChannelUpdater(const IChannelFiles &files, IChannelUpdateHost &host,
                               IShownDocument &shown, AlertQueue &alerts, QObject *parent)
    : QObject(parent), m_files(files), m_host(host), m_shown(shown), m_alerts(alerts),
      m_validators(files.validatorsFile()), m_pauses(files.serverPausesFile())
{
    m_tmLongResponse.setObjectName(QStringLiteral("tmLongResponse"));
    m_tmLongResponse.setSingleShot(true);
    connect(&m_tmLongResponse, &QTimer::timeout, this, &ChannelUpdater::tmLongResponseTimer);
}

// A run cut short by the program's end still leaves its validators on the disk.
ChannelUpdater::~ChannelUpdater()
{
    m_validators.flush();
}

HttpValidators ChannelUpdater::conditionsFor(const TtvChannel &channel)
{
    // Validators stand for the cache file's content: without the file, ask in full.
    m_validators.setPath(m_files.validatorsFile());
    if (!QFile::exists(m_files.cacheFile(channel.GUID)))
        return HttpValidators();
    return m_validators.conditionsFor(channel.GUID, channel.url);
}

bool ChannelUpdater::mayUpdateOnTimer(const TtvChannel &channel, const QDateTime &now) const
{
    m_pauses.setPath(m_files.serverPausesFile());
    return !m_pauses.pausedUntil(channel.url, now).isValid();
}

QDateTime ChannelUpdater::retryNotBefore(const TtvChannel &channel) const
{
    m_pauses.setPath(m_files.serverPausesFile());
    return m_pauses.pausedUntil(channel.url);
}

void ChannelUpdater::tmLongResponseTimer()
{
    m_tmLongResponse.stop();
    m_host.ReportProblem(m_slowChannelMessage);
}

int ChannelUpdater::UpdateChannel(TtvChannel &channel, const QString &name)
{
    const UpdateResult result = update(channel, name);
    return result.outcome == UpdateOutcome::Updated ? result.newItems : -1;
}

UpdateResult ChannelUpdater::update(TtvChannel &channel, const QString &name)
{
    // Events are served during an update; one that arrives meanwhile is refused.
    if (m_channelUpdateBusy)
        return {UpdateOutcome::Refused, 0};
    m_channelUpdateBusy = true;
    emit busyChanged(true);
    m_tmLongResponse.start(m_longResponseInterval);
    m_slowChannelMessage = QStringLiteral("Kanał ") + name +
                         QStringLiteral(" może powodować błędy w działaniu programu (czas "
                                        "odświeżania ponad wyniósł ponad 1 minutę).");

    UpdateResult result;
    m_failureLine.clear();
    if (!IsGuidText(channel.GUID)) {
        // The GUID names files: one that is not a GUID could name any file.
        reportFailure(QStringLiteral("Zły identyfikator kanału ") + name);
        m_failures.failed(channel.GUID, m_failureLine);
        finish();
        return result;
    }
    try {
        // The marks of the shown channel may be lost, the update is not.
        m_shown.writeBack();

        const QString cacheFile = m_files.cacheFile(channel.GUID);
        HttpValidators conditions = conditionsFor(channel);
        const ReadMarks marks = readOldMarks(cacheFile, name);
        if (marks.damaged && !conditions.isEmpty()) {
            // A 304 would keep the broken file for ever: ask for the whole document.
            m_validators.remember(channel.GUID, channel.url, HttpValidators());
            conditions = HttpValidators();
        }

        const QString downloadFile = m_files.downloadFile(channel.GUID);
        const ChannelFetch fetch = m_host.FetchChannel(channel.url, downloadFile, channel.username,
                                                       channel.password, conditions);
        if (fetch.result == -1) {
            if (fetch.retryNotBefore.isValid()) {
                m_pauses.setPath(m_files.serverPausesFile());
                m_pauses.pause(channel.url, fetch.retryNotBefore);
            }
            // The document came but could not be stored: a full disk, not the network.
            reportFailure(fetch.writeFailed
                              ? QStringLiteral("Nie można zapisać nowych nagłówków kanału ") + name
                              : QStringLiteral("Nie można pobrać nowych nagłówków z ") + name,
                          fetch.problem);
        } else if (fetch.notModified) {
            m_pauses.setPath(m_files.serverPausesFile());
            m_pauses.resume(channel.url);
            // Each validator stands until the server sends a new one of its kind.
            HttpValidators kept = conditions;
            if (!fetch.validators.etag.isEmpty() &&
                ChannelValidatorStore::usable(fetch.validators.etag))
                kept.etag = fetch.validators.etag;
            if (!fetch.validators.lastModified.isEmpty() &&
                ChannelValidatorStore::usable(fetch.validators.lastModified))
                kept.lastModified = fetch.validators.lastModified;
            m_validators.remember(channel.GUID, channel.url, kept);
            channel.lastupdate = QDateTime::currentDateTime();
            result = {UpdateOutcome::Updated, 0};
        } else {
            m_pauses.setPath(m_files.serverPausesFile());
            m_pauses.resume(channel.url);
            const QString address = fetch.finalAddress.isEmpty() ? channel.url : fetch.finalAddress;
            result = rebuild(channel, name, marks, address, fetch.marksInDocument);
            if (result.outcome == UpdateOutcome::Updated)
                m_validators.remember(channel.GUID, channel.url, fetch.validators);
        }
    } catch (...) {
        finish();
        throw;
    }
    if (result.outcome == UpdateOutcome::Updated)
        m_failures.succeeded(channel.GUID);
    else
        m_failures.failed(channel.GUID, m_failureLine);
    finish();
    return result;
}

void ChannelUpdater::reportFailure(const QString &line, const QString &cause)
{
    m_host.ReportProblem(line);
    m_failureLine = cause.isEmpty() ? line : line + QStringLiteral(" (") + cause + QLatin1Char(')');
}

void ChannelUpdater::finish()
{
    m_channelUpdateBusy = false;
    m_tmLongResponse.stop();
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
        m_xmlGetterDocument.loadFromFile(cacheFile);
        const NormalisedFeed feed = NormaliseFeedFile(m_xmlGetterDocument);
        for (XmlNode node = feed.firstItem; node; node = node.nextSibling()) {
            if (node.localName() == QLatin1String("item"))
                addMark(childText(node, QStringLiteral("title")),
                        childText(node, QStringLiteral("unread")));
        }
    } catch (const std::exception &) {
        marks = ReadMarks();
        marks.damaged = true;
        m_host.ReportProblem(QStringLiteral("Nie można odczytać znaczników przeczytania kanału ") +
                             name);
    }
    m_xmlGetterDocument.setActive(false);
    return marks;
}

UpdateResult ChannelUpdater::rebuild(TtvChannel &channel, const QString &name,
                                     const ReadMarks &marks, const QString &address,
                                     bool marksInDocument)
{
    const QString cacheFile = m_files.cacheFile(channel.GUID);
    const QString downloadFile = m_files.downloadFile(channel.GUID);
    int newItems = 0;
    QStringList alertTitles; // counted and queued once the cache file holds them
    QByteArray rebuilt;
    try {
        m_xmlGetterDocument.setActive(false);
        FeedBuffer document;
        if (!document.read(downloadFile))
            throw BadChannelFormat();
        // Atom and JSON Feed become RSS 2.0 here, so the walk below and every reader of
        // the cache file see one shape; RSS passes through byte for byte.
        QByteArray rss;
        if (ConvertFeedToRss(document.text(), address, rss))
            document.replace(rss);
        rss = QByteArray();
        document.insertStyleSheetInstruction();
        const qsizetype preparedSize = document.text().size();

        // Parsed from memory: the download file is written once, after the walk, unless
        // the document is refused, when it is kept as prepared for a look.
        m_xmlGetterDocument.setFileName(downloadFile);
        try {
            m_xmlGetterDocument.loadFromBytes(document.text());
        } catch (...) {
            WriteFileAtomically(downloadFile, document.text());
            throw;
        }
        // The tree holds it all now: its bytes would only add to the peak of the save.
        document.clear();
        // The cache file names our style sheet and no other: the feed's own instructions,
        // which would point the browser elsewhere, are dropped.
        m_xmlGetterDocument.keepFirstTopLevelInstruction(QStringLiteral("xml-stylesheet"));
        const NormalisedFeed feed = NormaliseFeedFile(m_xmlGetterDocument);

        int queued = 0;
        qsizetype items = 0;
        QSet<QString> titles; // of the download, for the items kept beside them
        QElapsedTimer sinceEvents; // the download served them just now
        sinceEvents.start();
        for (XmlNode node = feed.firstItem; node; node = node.nextSibling()) {
            // Events wait at most a couple of milliseconds: as alive as pumping after every
            // item, without a poll of the system for each of ten thousand items.
            if (sinceEvents.nsecsElapsed() >= EventIntervalNs) {
                QCoreApplication::processEvents();
                sinceEvents.start();
            }
            if (node.localName() != QLatin1String("item"))
                continue;
            ++items;
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
            if (m_keptItemDays > 0)
                titles.insert(key);
            bool read = marks.readTitles.contains(key);
            if (marksInDocument) {
                const XmlNode given = node.findChild(QStringLiteral("unread"));
                if (given && given.childCount() <= 1)
                    read = given.text().trimmed() == QLatin1String("0");
            }
            node.child(QStringLiteral("unread"))
                .setText(read ? QStringLiteral("0") : QStringLiteral("1"));
            if (!read && !marks.unreadTitles.contains(key)) {
                ++newItems;
                if (channel.alerts && queued < MaxAlertsPerUpdate) {
                    alertTitles.append(t);
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

        items += KeepDroppedItems(cacheFile, m_xmlGetterDocument, titles, m_keptItemDays,
                                  QDate::currentDate());
        // Each item gained a GUID attribute, perhaps an unread mark, and indentation.
        rebuilt = m_xmlGetterDocument.toBytes(preparedSize + preparedSize / 16 + items * 96);
        m_xmlGetterDocument.setActive(false);
    } catch (...) {
        m_xmlGetterDocument.setActive(false);
        reportFailure(QStringLiteral("Zły format kanału ") + name);
        m_shown.endReplace(cacheFile);
        return {UpdateOutcome::Failed, 0};
    }

    m_shown.beginReplace(cacheFile);
    if (!replaceCacheFile(cacheFile, downloadFile, rebuilt)) {
        // A full disk or a folder that cannot be written: the old file and its marks stay,
        // and the channel counts as not updated.
        reportFailure(QStringLiteral("Nie można zapisać nowych nagłówków kanału ") + name);
        m_shown.endReplace(cacheFile);
        return {UpdateOutcome::Failed, 0};
    }
    channel.lastupdate = QDateTime::currentDateTime();
    m_alerts.newItemCount += newItems;
    for (const QString &title : alertTitles)
        m_alerts.enqueue(title, name);
    m_shown.endReplace(cacheFile);
    return {UpdateOutcome::Updated, newItems};
}

// The download's file becomes the cache file by one rename, once its whole new content is
// on the disk: readers see the old file or the new one.
bool ChannelUpdater::replaceCacheFile(const QString &cacheFile, const QString &downloadFile,
                                      const QByteArray &content)
{
    try {
        WriteFileAtomically(downloadFile, content);
        // An empty folder where the cache file belongs would refuse the rename for ever.
        if (QFileInfo(cacheFile).isDir())
            QDir().rmdir(cacheFile);
        if (std::rename(QFile::encodeName(downloadFile).constData(),
                        QFile::encodeName(cacheFile).constData()) == 0)
            return true;
        if (errno == EXDEV) {
            // temp/ on another file system than data/.
            WriteFileAtomically(cacheFile, content);
            QFile::remove(downloadFile);
            return true;
        }
    } catch (const FileError &) {
    }
    // The download is of no further use, and a full disk needs its room back.
    QFile::remove(downloadFile);
    return false;
}
