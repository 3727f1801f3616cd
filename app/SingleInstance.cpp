#include "app/SingleInstance.h"

#include "app/CommandLine.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

namespace {

const QByteArray ActivateMessage = QByteArrayLiteral("activate\n");
const QByteArray SubscribePrefix = QByteArrayLiteral("subscribe ");
// Longer than any address a desktop hands over; anything beyond is not one of ours.
const int MaxMessage = 16 * 1024;

QString runtimeFolder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

} // namespace

SingleInstance::SingleInstance(const QString &executablePath, QObject *parent) : QObject(parent)
{
    QString path =
        executablePath.isEmpty() ? QCoreApplication::applicationFilePath() : executablePath;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (!canonical.isEmpty())
        path = canonical;
    const QByteArray hash =
        QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    m_key = QStringLiteral("kolvani-") + QString::fromLatin1(hash);
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
    if (m_lock)
        m_lock->unlock();
}

QString SingleInstance::lockFilePath() const
{
    return runtimeFolder() + QLatin1Char('/') + m_key + QStringLiteral(".lock");
}

bool SingleInstance::tryBecomeFirst(const QString &subscribeAddress)
{
    if (m_first)
        return true;
    if (!m_lock) {
        m_lock = std::make_unique<QLockFile>(lockFilePath());
        // Only a dead owner makes a lock stale, never its age: a long run keeps its lock.
        m_lock->setStaleLockTime(0);
    }
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() == QLockFile::LockFailedError) {
            const QString address = SubscribeAddressFrom(subscribeAddress);
            askFirst(address.isEmpty() ? ActivateMessage
                                       : SubscribePrefix + address.toUtf8() + '\n');
            return false;
        }
        // No lock can be made at all (unwritable folder): run rather than refuse to start.
        m_first = true;
        return true;
    }

    m_first = true;
    const QString socketName = runtimeFolder() + QLatin1Char('/') + m_key + QStringLiteral(".sock");
    // A socket left by a crashed first instance; we hold the lock, so it is not in use.
    QLocalServer::removeServer(socketName);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    m_server->listen(socketName);
    return true;
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->canReadLine()) {
                const QByteArray line = socket->readLine(MaxMessage + 1);
                socket->disconnectFromServer();
                if (line == ActivateMessage) {
                    emit activationRequested();
                } else if (line.startsWith(SubscribePrefix) && line.endsWith('\n')) {
                    const QString address = SubscribeAddressFrom(QString::fromUtf8(
                        line.mid(SubscribePrefix.size(), line.size() - SubscribePrefix.size() - 1)));
                    if (!address.isEmpty())
                        emit subscribeRequested(address);
                }
            } else if (socket->bytesAvailable() > MaxMessage) {
                socket->abort(); // not one of ours
            }
        });
    }
}

bool SingleInstance::askFirst(const QByteArray &message)
{
    const QString socketName = runtimeFolder() + QLatin1Char('/') + m_key + QStringLiteral(".sock");
    // The first instance may have its lock but not yet its socket: try for a short while.
    for (int attempt = 0; attempt < 20; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(socketName);
        if (socket.waitForConnected(250)) {
            socket.write(message);
            const bool written = socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            return written;
        }
        QThread::msleep(50);
    }
    return false;
}
