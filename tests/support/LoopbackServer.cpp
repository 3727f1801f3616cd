#include "support/LoopbackServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QMutex>
#include <QPointer>
#include <QSslSocket>
#include <QTcpServer>
#include <QThread>
#include <QTimer>
#include <QWaitCondition>

#include <utility>

LoopbackReply LoopbackReply::raw(const QByteArray &bytes, bool close)
{
    LoopbackReply reply;
    reply.parts.append({0, bytes});
    reply.close = close;
    return reply;
}

LoopbackReply LoopbackReply::http(const QByteArray &statusLine, const QByteArray &body,
                                  const QByteArray &extraHeaders)
{
    return raw("HTTP/1.1 " + statusLine + "\r\n" + extraHeaders +
               "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
}

LoopbackReply LoopbackReply::okWhenReleased(const QByteArray &body)
{
    return raw("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n")
        .thenWhenReleased(body);
}

LoopbackReply &LoopbackReply::then(int delayMs, const QByteArray &bytes)
{
    parts.append({delayMs, bytes});
    return *this;
}

LoopbackReply &LoopbackReply::thenWhenReleased(const QByteArray &bytes)
{
    parts.append({0, bytes, true});
    return *this;
}

QByteArray LoopbackRequest::target() const
{
    const QByteArray line = raw.left(raw.indexOf("\r\n"));
    const QList<QByteArray> words = line.split(' ');
    return words.size() >= 2 ? words.at(1) : QByteArray();
}

class LoopbackServer::Thread : public QThread
{
};

class LoopbackServer::Worker : public QTcpServer
{
public:
    mutable QMutex mutex;
    mutable QWaitCondition changed;
    QList<LoopbackReply> queue;
    std::function<LoopbackReply(const LoopbackRequest &)> handler;
    QList<LoopbackRequest> requests;
    int connections = 0;

    QSslCertificate certificate;
    QSslKey key;
    bool tlsFromStart = false;
    QSslCertificate tunnelCertificate;
    QSslKey tunnelKey;
    // Parts kept back until release(); touched in the server's thread only, counted under
    // the mutex.
    QList<std::function<void()>> held;
    int heldParts = 0;
    bool released = false;

    void releaseHeld()
    {
        released = true;
        const QList<std::function<void()>> parts = std::exchange(held, {});
        {
            QMutexLocker lock(&mutex);
            heldParts = 0;
        }
        for (const auto &part : parts)
            part();
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QSslSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        auto state = std::make_shared<Connection>();
        {
            QMutexLocker lock(&mutex);
            state->id = ++connections;
        }
        connect(socket, &QSslSocket::readyRead, socket, [this, socket, state] {
            state->buffer += socket->readAll();
            serve(socket, state);
        });
        connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
        if (tlsFromStart) {
            socket->setLocalCertificate(certificate);
            socket->setPrivateKey(key);
            socket->startServerEncryption();
        }
    }

private:
    struct Connection
    {
        int id = 0;
        QByteArray buffer;
        bool answering = false;
    };

    void serve(QSslSocket *socket, const std::shared_ptr<Connection> &state)
    {
        if (state->answering)
            return;
        const int end = state->buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        LoopbackRequest request;
        request.connection = state->id;
        request.raw = state->buffer.left(end + 4);
        state->buffer.remove(0, end + 4);

        LoopbackReply reply;
        bool scripted = false;
        std::function<LoopbackReply(const LoopbackRequest &)> answer;
        {
            QMutexLocker lock(&mutex);
            requests.append(request);
            if (!queue.isEmpty()) {
                reply = queue.takeFirst();
                scripted = true;
            } else {
                answer = handler;
            }
            changed.wakeAll();
        }
        if (!scripted) {
            reply = answer ? answer(request)
                           : LoopbackReply::http("500 No scripted reply", QByteArray());
        }
        state->answering = true;
        send(socket, state, reply, 0);
    }

    void send(QSslSocket *socket, const std::shared_ptr<Connection> &state,
              const LoopbackReply &reply, int index)
    {
        if (reply.parts.isEmpty() && !reply.close && !reply.startTls)
            return; // a stall: this connection answers nothing more
        if (index == reply.parts.size()) {
            state->answering = false;
            if (reply.startTls) {
                socket->setLocalCertificate(tunnelCertificate);
                socket->setPrivateKey(tunnelKey);
                socket->startServerEncryption();
            }
            if (reply.close) {
                socket->disconnectFromHost();
                return;
            }
            serve(socket, state);
            return;
        }
        const LoopbackReply::Part &part = reply.parts.at(index);
        QPointer<QSslSocket> alive(socket);
        auto next = [this, alive, state, reply, index] {
            if (!alive)
                return;
            alive->write(reply.parts.at(index).bytes);
            send(alive, state, reply, index + 1);
        };
        if (part.held && !released) {
            held.append(next);
            QMutexLocker lock(&mutex);
            ++heldParts;
        } else if (part.delayMs > 0)
            QTimer::singleShot(part.delayMs, socket, next);
        else
            next();
    }
};

LoopbackServer::LoopbackServer() : m_worker(std::make_unique<Worker>()), m_thread(new Thread) {}

LoopbackServer::~LoopbackServer()
{
    if (m_thread->isRunning()) {
        QThread *home = QThread::currentThread();
        Worker *worker = m_worker.get();
        QMetaObject::invokeMethod(
            worker,
            [worker, home] {
                worker->close();
                qDeleteAll(worker->findChildren<QSslSocket *>());
                worker->moveToThread(home);
            },
            Qt::BlockingQueuedConnection);
        m_thread->quit();
        m_thread->wait(10000);
    }
}

void LoopbackServer::setTls(const QSslCertificate &certificate, const QSslKey &key)
{
    m_worker->certificate = certificate;
    m_worker->key = key;
    m_worker->tlsFromStart = true;
}

void LoopbackServer::setTunnelTls(const QSslCertificate &certificate, const QSslKey &key)
{
    m_worker->tunnelCertificate = certificate;
    m_worker->tunnelKey = key;
}

bool LoopbackServer::start()
{
    m_worker->moveToThread(m_thread.get());
    m_thread->start();
    bool listening = false;
    Worker *worker = m_worker.get();
    QMetaObject::invokeMethod(
        worker, [worker, &listening] { listening = worker->listen(QHostAddress::LocalHost, 0); },
        Qt::BlockingQueuedConnection);
    return listening;
}

quint16 LoopbackServer::port() const
{
    return m_worker->serverPort();
}

QString LoopbackServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

void LoopbackServer::enqueue(const LoopbackReply &reply)
{
    QMutexLocker lock(&m_worker->mutex);
    m_worker->queue.append(reply);
}

void LoopbackServer::setHandler(std::function<LoopbackReply(const LoopbackRequest &)> handler)
{
    QMutexLocker lock(&m_worker->mutex);
    m_worker->handler = std::move(handler);
}

QList<LoopbackRequest> LoopbackServer::requests() const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->requests;
}

int LoopbackServer::requestCount() const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->requests.size();
}

int LoopbackServer::connectionCount() const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->connections;
}

bool LoopbackServer::waitForRequests(int count, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&m_worker->mutex);
    while (m_worker->requests.size() < count) {
        if (!m_worker->changed.wait(&m_worker->mutex, deadline))
            return m_worker->requests.size() >= count;
    }
    return true;
}

int LoopbackServer::heldCount() const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->heldParts;
}

void LoopbackServer::release()
{
    Worker *worker = m_worker.get();
    QMetaObject::invokeMethod(worker, [worker] { worker->releaseHeld(); }, Qt::QueuedConnection);
}
