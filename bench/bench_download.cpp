// Downloads a 20 MB document and 200 small documents from a loopback server with
// DownloadDocument, and the same with one curl process when curl is present; prints the
// times and the ratios. Aims: within 1.5x of curl for the large body, under 2 ms per small
// document.
#include "feed/DocumentDownloader.h"
#include "feed/HttpClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int LargeBytes = 20 * 1000 * 1000;
constexpr int SmallCount = 200;
constexpr int Rounds = 5;

// A plain keep-alive HTTP server on 127.0.0.1 with a thread per connection: "/large"
// answers the large document, anything else a small one.
class BenchServer
{
public:
    BenchServer(std::string large, std::string small)
        : m_large(std::move(large)), m_small(std::move(small))
    {
    }

    ~BenchServer()
    {
        m_stop = true;
        if (m_acceptor.joinable())
            m_acceptor.join();
        std::lock_guard<std::mutex> lock(m_mutex);
        for (std::thread &connection : m_connections)
            connection.join();
        if (m_listen >= 0)
            ::close(m_listen);
    }

    bool start()
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        if (m_listen < 0)
            return false;
        int on = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listen, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
            ::listen(m_listen, 64) != 0 ||
            ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return false;
        m_port = ntohs(address.sin_port);
        m_acceptor = std::thread([this] { acceptLoop(); });
        return true;
    }

    QString url(const char *path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(QLatin1String(path));
    }

private:
    void acceptLoop()
    {
        while (!m_stop) {
            pollfd wait{m_listen, POLLIN, 0};
            if (::poll(&wait, 1, 100) <= 0)
                continue;
            const int fd = ::accept(m_listen, nullptr, nullptr);
            if (fd < 0)
                continue;
            std::lock_guard<std::mutex> lock(m_mutex);
            m_connections.emplace_back([this, fd] { serve(fd); });
        }
    }

    void serve(int fd)
    {
        std::string buffer;
        char chunk[16384];
        while (!m_stop) {
            const size_t end = buffer.find("\r\n\r\n");
            if (end != std::string::npos) {
                const bool large = buffer.compare(0, 11, "GET /large ") == 0;
                buffer.erase(0, end + 4);
                if (!sendAll(fd, large ? m_large : m_small))
                    break;
                continue;
            }
            pollfd wait{fd, POLLIN, 0};
            if (::poll(&wait, 1, 100) <= 0)
                continue;
            const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
            if (got <= 0)
                break;
            buffer.append(chunk, size_t(got));
        }
        ::close(fd);
    }

    static bool sendAll(int fd, const std::string &bytes)
    {
        size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += size_t(n);
        }
        return true;
    }

    std::string m_large;
    std::string m_small;
    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::vector<std::thread> m_connections;
};

std::string response(const std::string &body)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string feedText(size_t bytes)
{
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel>\n";
    for (int i = 0; text.size() < bytes; ++i)
        text += "<item><title>Wiadomość numer " + std::to_string(i) +
                "</title><link>http://example.pl/a?id=" + std::to_string(i) + "</link></item>\n";
    text.resize(bytes);
    return text;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs curl once with the given arguments; the wall time in ms, or -1.
double timeCurl(const QString &curl, const QStringList &arguments)
{
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(curl, arguments);
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        return -1;
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;

    BenchServer server(response(feedText(LargeBytes)), response(feedText(2000)));
    if (!server.start()) {
        std::fprintf(stderr, "cannot start the loopback server\n");
        return 1;
    }

    DocumentDownloader downloader;
    const QString largeFile = dir.filePath(QStringLiteral("large.xml"));

    std::vector<double> ours;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        if (downloader.DownloadDocument(server.url("/large"), largeFile, nullptr, QString(),
                                        QString()) != 0) {
            std::fprintf(stderr, "large download failed\n");
            return 1;
        }
        ours.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    const double oursLarge = median(ours);

    std::vector<double> clientLargeRounds;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        if (!downloader.idHTTPClient()->get(server.url("/large")).ok()) {
            std::fprintf(stderr, "large request failed\n");
            return 1;
        }
        clientLargeRounds.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    const double clientLarge = median(clientLargeRounds);

    std::vector<double> oursSmallRounds;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < SmallCount; ++i) {
            const QString file = dir.filePath(QStringLiteral("small%1.xml").arg(i));
            if (downloader.DownloadDocument(server.url("/small") + QString::number(i), file,
                                            nullptr, QString(), QString()) != 0) {
                std::fprintf(stderr, "small download failed\n");
                return 1;
            }
        }
        oursSmallRounds.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    const double oursSmall = median(oursSmallRounds);

    // The same requests without the file: the client's own share of the time.
    std::vector<double> clientSmallRounds;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < SmallCount; ++i) {
            if (!downloader.idHTTPClient()->get(server.url("/small") + QString::number(i)).ok()) {
                std::fprintf(stderr, "small request failed\n");
                return 1;
            }
        }
        clientSmallRounds.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    const double clientSmall = median(clientSmallRounds);

    std::printf("DownloadDocument, 20 MB document:        %8.1f ms (%.0f MB/s)\n", oursLarge,
                LargeBytes / 1e3 / oursLarge);
    std::printf("  of which the HTTP exchange alone:      %8.1f ms\n", clientLarge);
    std::printf("DownloadDocument, %d small documents:   %8.1f ms (%.3f ms each)\n", SmallCount,
                oursSmall, oursSmall / SmallCount);
    std::printf("  of which the HTTP exchange alone:      %8.1f ms (%.3f ms each; the rest is the\n"
                "  file written beside the target and renamed over it)\n",
                clientSmall, clientSmall / SmallCount);

    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curl.isEmpty()) {
        std::printf("curl not found: no comparison\n");
        return 0;
    }

    std::vector<double> curlLargeRounds;
    std::vector<double> curlNullRounds;
    for (int round = 0; round < Rounds; ++round) {
        curlLargeRounds.push_back(
            timeCurl(curl, {QStringLiteral("-s"), QStringLiteral("-o"),
                            dir.filePath(QStringLiteral("curl.xml")), server.url("/large")}));
        curlNullRounds.push_back(
            timeCurl(curl, {QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                            server.url("/large")}));
    }
    // One curl process for all small documents, over one kept-alive connection.
    QStringList smallToFiles{QStringLiteral("-s")};
    for (int i = 0; i < SmallCount; ++i)
        smallToFiles << QStringLiteral("-o") << dir.filePath(QStringLiteral("c%1.xml").arg(i))
                     << server.url("/small") + QString::number(i);
    std::vector<double> curlSmallRounds;
    for (int round = 0; round < Rounds; ++round)
        curlSmallRounds.push_back(timeCurl(curl, smallToFiles));

    const double curlLarge = median(curlLargeRounds);
    const double curlNull = median(curlNullRounds);
    const double curlSmall = median(curlSmallRounds);
    if (curlLarge <= 0 || curlSmall <= 0) {
        std::printf("curl failed: no comparison\n");
        return 0;
    }
    std::printf("curl, 20 MB document into a file:        %8.1f ms (to /dev/null %.1f ms)\n",
                curlLarge, curlNull);
    std::printf("curl, %d small documents, one process:  %8.1f ms (%.3f ms each)\n", SmallCount,
                curlSmall, curlSmall / SmallCount);
    // Both write a file; DownloadDocument also re-ends the lines and replaces its file by a
    // rename (without waiting for the disk), where curl writes into the file in place. Each
    // curl figure includes starting the curl process.
    std::printf("ratio large, DownloadDocument / curl into a file: %6.2f (aim: at most 1.5)\n",
                oursLarge / curlLarge);
    std::printf("ratio large, exchange / curl to /dev/null:        %6.2f\n",
                clientLarge / curlNull);
    std::printf("ratio small, DownloadDocument / curl into files:  %6.2f\n", oursSmall / curlSmall);
    std::printf("DownloadDocument per small document:    %8.3f ms (aim: under 2 ms)\n",
                oursSmall / SmallCount);
    std::printf("  of which the exchange:                %8.3f ms, the file %.3f ms\n",
                clientSmall / SmallCount, (oursSmall - clientSmall) / SmallCount);
    return 0;
}
