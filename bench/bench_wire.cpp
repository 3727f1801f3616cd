// Bytes on the wire for the 134-channel run, cold: the same `kolvani --sync` against a server
// that answers every request in full (what the program got before it asked for compressed
// transfers, and what a server without compression still sends) and against one that
// answers in gzip where the request accepts it, as web servers do. The figures are the
// bytes the server sent (heads and bodies) and the run's time, median (min-max) of the runs.

#include "BenchData.h"
#include "support/Compressed.h"
#include "support/LoopbackServer.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

const int ChannelCount = 134;
const int ItemsPerChannel = 100;
const int Runs = 5;

struct Document
{
    QByteArray plain;
    QByteArray gzip;
};

class WireSite
{
public:
    WireSite()
    {
        for (int c = 0; c < ChannelCount; ++c) {
            const QByteArray plain = BenchChannelDocument(c, ItemsPerChannel, c % 2 == 1, c % 4 >= 2);
            m_documents.insert("/feed/" + QByteArray::number(c), {plain, GzipBytes(plain)});
        }
        m_server.setHandler([this](const LoopbackRequest &request) {
            const Document document = m_documents.value(request.target());
            const bool gzip = m_compress.loadRelaxed() &&
                              request.raw.toLower().contains("\r\naccept-encoding: gzip");
            const LoopbackReply reply =
                gzip ? LoopbackReply::http("200 OK", document.gzip,
                                           "Content-Type: application/xml\r\n"
                                           "Content-Encoding: gzip\r\nVary: Accept-Encoding\r\n")
                     : LoopbackReply::http("200 OK", document.plain,
                                           "Content-Type: application/xml\r\n");
            qint64 bytes = 0;
            for (const LoopbackReply::Part &part : reply.parts)
                bytes += part.bytes.size();
            m_sent.fetchAndAddRelaxed(bytes);
            return reply;
        });
        m_server.start();
        for (int c = 0; c < ChannelCount; ++c)
            m_urls.append(m_server.url(QStringLiteral("/feed/%1").arg(c)));
    }
    const QStringList &urls() const { return m_urls; }
    void setCompress(bool on) { m_compress.storeRelaxed(on ? 1 : 0); }
    qint64 takeSent() { return m_sent.fetchAndStoreRelaxed(0); }

private:
    QHash<QByteArray, Document> m_documents;
    LoopbackServer m_server;
    QStringList m_urls;
    QAtomicInteger<int> m_compress{0};
    QAtomicInteger<qint64> m_sent{0};
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    WireSite site;
    const QString dataHome = work.path() + QStringLiteral("/home");
    const QString appFolder = MakeBenchUserFolder(dataHome, site.urls(), true);
    const auto removeCacheFiles = [&] {
        for (int c = 0; c < ChannelCount; ++c)
            QFile::remove(appFolder + QStringLiteral("data/") + BenchChannelGuid(c) +
                          QStringLiteral(".xml"));
        // Cold means no validators either: every channel comes in full.
        QFile::remove(appFolder + QStringLiteral("data/validators.json"));
    };

    struct Mode
    {
        const char *label;
        bool compress;
        std::vector<double> bytes;
        BenchSpread seconds;
    };
    Mode modes[] = {{"server sends in full (before):", false, {}, {}},
                    {"server sends gzip (after):", true, {}, {}}};
    // The two take turns, so that a change in the machine's load falls on both.
    std::vector<double> plainSeconds, gzipSeconds;
    for (int i = 0; i < Runs; ++i) {
        for (Mode &mode : modes) {
            site.setCompress(mode.compress);
            removeCacheFiles();
            site.takeSent();
            const BenchProcess run = RunSyncCommand(dataHome);
            (mode.compress ? gzipSeconds : plainSeconds).push_back(run.ok ? run.seconds : -1);
            mode.bytes.push_back(double(site.takeSent()));
        }
    }
    const auto spreadOf = [](std::vector<double> values) {
        return BenchMeasure(int(values.size()), nullptr, [&values, i = size_t(0)]() mutable {
            return values[i++];
        });
    };
    modes[0].seconds = spreadOf(plainSeconds);
    modes[1].seconds = spreadOf(gzipSeconds);

    std::printf("%d channels x %d items from one server, cold kolvani --sync, median (min-max) "
                "of %d taken in turns\n",
                ChannelCount, ItemsPerChannel, Runs);
    for (Mode &mode : modes) {
        const BenchSpread bytes = spreadOf(mode.bytes);
        std::printf("  %-34s %10.0f bytes on the wire, %s\n", mode.label, bytes.median,
                    BenchText(mode.seconds).constData());
    }
    const double before = spreadOf(modes[0].bytes).median;
    const double after = spreadOf(modes[1].bytes).median;
    if (before > 0)
        std::printf("  compressed transfers send %.1f%% of the bytes (%.2fx fewer); the run takes "
                    "%.2fx the time\n",
                    100.0 * after / before, before / after,
                    modes[0].seconds.median > 0 ? modes[1].seconds.median / modes[0].seconds.median
                                                : 0.0);
    return 0;
}
