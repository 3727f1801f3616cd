#pragma once

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>

#include <functional>
#include <memory>

// One scripted answer to one request: raw bytes sent in parts, each after its own delay.
struct LoopbackReply
{
    struct Part
    {
        int delayMs = 0;
        QByteArray bytes;
        bool held = false; // sent only once the test calls LoopbackServer::release()
    };

    QList<Part> parts;
    bool close = false;    // close the connection after the last part
    bool startTls = false; // after the last part, switch the connection to TLS (a tunnel)

    // A reply with no parts sends nothing and keeps the connection open: a stalled server.
    static LoopbackReply stall() { return LoopbackReply(); }
    static LoopbackReply raw(const QByteArray &bytes, bool close = false);
    // "HTTP/1.1 <statusLine>" with the given extra header lines, a Content-Length and body.
    static LoopbackReply http(const QByteArray &statusLine, const QByteArray &body,
                              const QByteArray &extraHeaders = QByteArray());
    // A "200 OK" whose head goes at once and whose body is kept back until the test
    // releases the server.
    static LoopbackReply okWhenReleased(const QByteArray &body);
    LoopbackReply &then(int delayMs, const QByteArray &bytes);
    // A part the server keeps back until the test releases it: a download that is surely
    // still going on while the test looks at the program.
    LoopbackReply &thenWhenReleased(const QByteArray &bytes);
};

struct LoopbackRequest
{
    int connection = 0;        // 1 for the first connection accepted, and so on
    QByteArray raw;            // the head as received, up to and including the empty line
    QByteArray target() const; // the second word of the request line
};

// A raw TCP (optionally TLS) server on 127.0.0.1 with a free port, running in its own
// thread so the test's thread may block in a download. Each request head is recorded and
// answered with the next queued reply, else by the handler, else with a 500. Every wait is
// bounded; the destructor stops the thread.
class LoopbackServer
{
public:
    LoopbackServer();
    ~LoopbackServer();

    LoopbackServer(const LoopbackServer &) = delete;
    LoopbackServer &operator=(const LoopbackServer &) = delete;

    // Every connection starts with a TLS handshake using this certificate and key.
    void setTls(const QSslCertificate &certificate, const QSslKey &key);
    // Certificate and key for connections that switch to TLS through a reply's startTls.
    void setTunnelTls(const QSslCertificate &certificate, const QSslKey &key);

    bool start();
    quint16 port() const;
    QString url(const QString &path = QStringLiteral("/")) const; // http://127.0.0.1:port/path

    void enqueue(const LoopbackReply &reply);
    void setHandler(std::function<LoopbackReply(const LoopbackRequest &)> handler);

    QList<LoopbackRequest> requests() const;
    int requestCount() const;
    int connectionCount() const;
    bool waitForRequests(int count, int timeoutMs) const;
    // How many parts are being kept back now.
    int heldCount() const;
    // Sends every part kept back, and from now on sends held parts at once.
    void release();

    class Worker;

private:
    std::unique_ptr<Worker> m_worker;
    class Thread;
    std::unique_ptr<Thread> m_thread;
};
