// Conditional requests: a warm `kolvani --sync` of 150 channels against a server that
// answers 304 to their validators, beside the same warm run against a server that ignores
// the validators and sends every document in full (target: the 304 run at least 5x faster).
// A third figure converts the same channels from Atom instead of reading RSS.

#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "support/LoopbackServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace {

const int ChannelCount = 150;
const int ItemsPerChannel = 100;

QString itemText(int channel, int i)
{
    return QStringLiteral("Wiadomość %1 nr %2 – zażółć gęślą jaźń, Łódź i Świętokrzyskie; "
                          "pogoda na jutro i kolejne dni tygodnia")
        .arg(channel)
        .arg(i);
}

QByteArray rssDocument(int channel)
{
    QString doc =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<rss version=\"2.0\"><channel><title>Kanał %1</title>"
                       "<link>http://example.org/</link><description>Opis</description>\n")
            .arg(channel);
    for (int i = 0; i < ItemsPerChannel; ++i)
        doc += QStringLiteral("<item><title>%1</title><link>http://example.org/%2/%3</link>"
                              "<description>%4</description>"
                              "<pubDate>Mon, 05 Jan 2004 10:00:00 GMT</pubDate></item>\n")
                   .arg(itemText(channel, i).left(40))
                   .arg(channel)
                   .arg(i)
                   .arg(itemText(channel, i + 1));
    return (doc + QStringLiteral("</channel></rss>\n")).toUtf8();
}

QByteArray atomDocument(int channel)
{
    QString doc = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<feed xmlns=\"http://www.w3.org/2005/Atom\">"
                                 "<title>Kanał %1</title><link href=\"http://example.org/\"/>\n")
                      .arg(channel);
    for (int i = 0; i < ItemsPerChannel; ++i)
        doc += QStringLiteral("<entry><title>%1</title><link href=\"http://example.org/%2/%3\"/>"
                              "<id>urn:%2:%3</id><updated>2004-01-05T10:00:00Z</updated>"
                              "<content type=\"html\">%4</content></entry>\n")
                   .arg(itemText(channel, i).left(40))
                   .arg(channel)
                   .arg(i)
                   .arg(itemText(channel, i + 1));
    return (doc + QStringLiteral("</feed>\n")).toUtf8();
}

QString guidFor(int channel)
{
    return QStringLiteral("{00000000-0000-4000-8000-%1}").arg(channel, 12, 10, QLatin1Char('0'));
}

// Serves every channel with an ETag; answers a matching If-None-Match with 304 unless told
// to ignore validators.
class ChannelServer
{
public:
    explicit ChannelServer(bool atom)
    {
        for (int c = 0; c < ChannelCount; ++c)
            m_documents.insert("/feed/" + QByteArray::number(c),
                               atom ? atomDocument(c) : rssDocument(c));
        m_server.setHandler([this](const LoopbackRequest &request) {
            const QByteArray etag = "\"" + request.target().toHex() + "\"";
            if (m_honour && request.raw.contains("\r\nIf-None-Match: " + etag + "\r\n")) {
                ++m_notModified;
                return LoopbackReply::http("304 Not Modified", QByteArray());
            }
            return LoopbackReply::http("200 OK", m_documents.value(request.target()),
                                       "Content-Type: application/xml\r\nETag: " + etag + "\r\n");
        });
        m_server.start();
    }
    QString url(int c) const { return m_server.url(QStringLiteral("/feed/%1").arg(c)); }
    void setHonour(bool honour) { m_honour = honour; }
    int takeNotModified() { return m_notModified.exchange(0); }

private:
    QHash<QByteArray, QByteArray> m_documents;
    std::atomic<bool> m_honour{true};
    std::atomic<int> m_notModified{0};
    LoopbackServer m_server;
};

class Subscriptions
{
public:
    Subscriptions(const QString &work, const ChannelServer &server)
        : m_dataHome(work + QStringLiteral("/home"))
    {
        const QString appFolder = m_dataHome + QStringLiteral("/Kolvani/");
        QDir().mkpath(appFolder + QStringLiteral("data"));
        QDir().mkpath(appFolder + QStringLiteral("temp"));
        ChannelTree tree;
        for (int c = 0; c < ChannelCount; ++c) {
            ChannelNode *node =
                tree.addNode(tree.root(), QStringLiteral("Kanał %1").arg(c), NodeKind::Channel);
            node->channel()->url = server.url(c);
            node->channel()->GUID = guidFor(c);
            node->channel()->enabled = true;
        }
        SaveChannelTree(tree, appFolder + QStringLiteral("data/tvChannels.xml"));
    }

    // One `kolvani --sync`, in seconds; negative when it failed.
    double sync() const
    {
        QProcess sync;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_dataHome);
        sync.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        sync.start(QStringLiteral(KV_BINARY_DIR "/kolvani"), {QStringLiteral("--sync")});
        sync.waitForFinished(600000);
        const double seconds = timer.nsecsElapsed() / 1e9;
        if (sync.exitCode() != 0) {
            std::fprintf(stderr, "kolvani --sync failed (%d): %s\n", sync.exitCode(),
                         sync.readAllStandardError().right(400).constData());
            return -1;
        }
        return seconds;
    }

private:
    QString m_dataHome;
};

double bestOf3(const Subscriptions &subscriptions)
{
    double best = 1e9;
    for (int i = 0; i < 3; ++i)
        best = std::min(best, subscriptions.sync());
    return best;
}

void bench(const char *label, bool atom)
{
    QTemporaryDir work;
    ChannelServer server(atom);
    Subscriptions subscriptions(work.path(), server);
    subscriptions.sync(); // cold: cache files and validators come into being

    server.setHonour(false);
    const double full = bestOf3(subscriptions);
    server.setHonour(true);
    subscriptions.sync(); // the full runs stored fresh validators; settle them
    server.takeNotModified();
    const double notModified = bestOf3(subscriptions);
    const int answered = server.takeNotModified();

    std::printf("%d %s channels x %d items, warm kolvani --sync, best of 3\n", ChannelCount, label,
                ItemsPerChannel);
    std::printf("  full 200 replies:   %8.3f s\n", full);
    std::printf("  304 replies:        %8.3f s  (%.1fx faster; target at least 5x)%s\n",
                notModified, full / notModified,
                answered == 3 * ChannelCount ? "" : "  NOT ALL ANSWERED 304");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    bench("RSS 2.0", false);
    std::printf("\n");
    bench("Atom 1.0", true);
    return 0;
}
