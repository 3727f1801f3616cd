// Conditional requests: a warm `kolvani --sync` of 134 channels against a server that
// answers 304 to their validators, beside the same warm run against a server that ignores
// the validators and sends every document in full (targets: the 304 run within 100 ms and
// at least 5x faster), medians with their spread.
// A third figure converts the same channels from Atom instead of reading RSS.

#include "BenchData.h"
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

const int ChannelCount = 134;
const int Runs = 5;
const int ItemsPerChannel = 100;

QString itemText(int channel, int i)
{
    return QStringLiteral("Wiadomość %1 nr %2 – zażółć gęślą jaźń, Łódź i Świętokrzyskie; "
                          "pogoda na jutro i kolejne dni tygodnia")
        .arg(channel)
        .arg(i);
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

// Serves every channel with an ETag; answers a matching If-None-Match with 304 unless told
// to ignore validators.
class ChannelServer
{
public:
    explicit ChannelServer(bool atom)
    {
        for (int c = 0; c < ChannelCount; ++c)
            m_documents.insert("/feed/" + QByteArray::number(c),
                               atom ? atomDocument(c)
                                    : BenchChannelDocument(c, ItemsPerChannel, false, false));
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

// The per-user folder of one benchmark, subscribed to every channel of the server.
class Subscriptions
{
public:
    Subscriptions(const QString &work, const ChannelServer &server)
        : m_dataHome(work + QStringLiteral("/home"))
    {
        QStringList urls;
        for (int c = 0; c < ChannelCount; ++c)
            urls << server.url(c);
        MakeBenchUserFolder(m_dataHome, urls, true);
    }
    // One `kolvani --sync`, in seconds; negative when it failed.
    double sync() const
    {
        const BenchProcess run = RunSyncCommand(m_dataHome);
        return run.ok ? run.seconds : -1;
    }

private:
    QString m_dataHome;
};

BenchSpread measured(const Subscriptions &subscriptions)
{
    return BenchMeasure(Runs, nullptr, [&] { return subscriptions.sync(); });
}

void bench(const char *label, bool atom)
{
    QTemporaryDir work;
    ChannelServer server(atom);
    Subscriptions subscriptions(work.path(), server);
    subscriptions.sync(); // cold: cache files and validators come into being

    server.setHonour(false);
    const BenchSpread full = measured(subscriptions);
    server.setHonour(true);
    subscriptions.sync(); // the full runs stored fresh validators; settle them
    server.takeNotModified();
    const BenchSpread notModified = measured(subscriptions);
    const int answered = server.takeNotModified();

    std::printf("%d %s channels x %d items, warm kolvani --sync, median (min-max) of %d\n",
                ChannelCount, label, ItemsPerChannel, Runs);
    std::printf("  full 200 replies:   %s\n", BenchText(full, 1000, "ms", 0).constData());
    std::printf("  304 replies:        %s  (%.1fx faster; targets at most 100 ms, at least "
                "5x)%s\n",
                BenchText(notModified, 1000, "ms", 0).constData(),
                full.median / notModified.median,
                answered == Runs * ChannelCount ? "" : "  NOT ALL ANSWERED 304");
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
