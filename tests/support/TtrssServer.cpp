#include "TtrssServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QProcess>

#include <csignal>

#ifndef KV_SOURCE_DIR
#define KV_SOURCE_DIR "."
#endif

namespace {

TtrssServer *g_server = nullptr;
QString g_skipReason;

QString script()
{
    return QStringLiteral(KV_SOURCE_DIR "/scripts/ttrss-test-server.sh");
}

class TtrssEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        if (!QFileInfo::exists(QStringLiteral("/usr/share/tt-rss/www/api/index.php")) ||
            !QFileInfo::exists(QStringLiteral("/usr/bin/php"))) {
            g_skipReason = QStringLiteral("tt-rss and php are not installed (scripts/install-deps.sh)");
            return;
        }
        auto server = std::make_unique<TtrssServer>();
        if (!server->start()) {
            g_skipReason = QStringLiteral("the tt-rss server did not start: ") + server->error();
            ADD_FAILURE() << g_skipReason.toStdString();
            return;
        }
        std::fprintf(stderr, "tt-rss test server started in %lld ms\n",
                     static_cast<long long>(server->startMs()));
        g_server = server.release();
    }
    void TearDown() override
    {
        delete g_server;
        g_server = nullptr;
    }
};

} // namespace

bool RegisterTtrssEnvironment()
{
    static bool registered = false;
    if (!registered)
        ::testing::AddGlobalTestEnvironment(new TtrssEnvironment);
    registered = true;
    return true;
}

TtrssServer *TtrssServer::instance()
{
    return g_server;
}

QString TtrssServer::skipReason()
{
    return g_skipReason.isEmpty() ? QStringLiteral("no tt-rss server") : g_skipReason;
}

TtrssServer::~TtrssServer()
{
    stop();
}

bool TtrssServer::runScript(const QStringList &args, QByteArray *out)
{
    QProcess p;
    p.start(QStringLiteral("/bin/bash"), QStringList{script()} + args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished(5000);
        m_error = QStringLiteral("the script did not end in time");
        return false;
    }
    if (out)
        *out = p.readAllStandardOutput();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_error = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
        if (m_error.isEmpty())
            m_error = QStringLiteral("exit code %1").arg(p.exitCode());
        return false;
    }
    return true;
}

bool TtrssServer::start()
{
    QElapsedTimer timer;
    timer.start();
    if (!m_dir) {
        // The socket path's limit is 107 bytes: the folder stays short, in /tmp.
        m_dir = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/kvtt-XXXXXX"));
        if (!m_dir->isValid()) {
            m_error = QStringLiteral("no temporary folder");
            return false;
        }
        m_folder = m_dir->path();
        m_dir->setAutoRemove(false); // the script removes it, as the database's owner
    }
    if (!m_feeds.port()) {
        m_feeds.setHandler([this](const LoopbackRequest &request) {
            // tt-rss asks the proxy with the absolute form: "GET http://[::1]/path".
            QString target = QString::fromUtf8(request.target());
            const QString prefix = QStringLiteral("http://[::1]/");
            if (target.startsWith(prefix))
                target = target.mid(prefix.size());
            else if (target.startsWith(QLatin1Char('/')))
                target = target.mid(1);
            QMutexLocker lock(&m_mutex);
            m_feedCounts[target] += 1;
            if (!m_feedBodies.contains(target))
                return LoopbackReply::http("404 Not Found", "no such feed",
                                           "Connection: close\r\n");
            return LoopbackReply::http("200 OK", m_feedBodies.value(target),
                                       "Content-Type: application/rss+xml; charset=UTF-8\r\n"
                                       "Connection: close\r\n");
        });
        if (!m_feeds.start()) {
            m_error = QStringLiteral("the feed server did not start");
            return false;
        }
    }
    QByteArray out;
    if (!runScript({QStringLiteral("start"), m_folder}, &out))
        return false;
    for (const QByteArray &line : out.split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0)
            m_values.insert(QString::fromUtf8(line.left(eq)), QString::fromUtf8(line.mid(eq + 1)));
    }
    QFile proxy(m_values.value(QStringLiteral("TTRSS_FEED_PROXY_FILE")));
    if (!proxy.open(QIODevice::WriteOnly) ||
        proxy.write(QByteArray("127.0.0.1:") + QByteArray::number(m_feeds.port())) <= 0) {
        m_error = QStringLiteral("cannot write the feed proxy file");
        return false;
    }
    proxy.close();
    m_startMs = timer.elapsed();
    return !api().isEmpty();
}

void TtrssServer::stop()
{
    if (m_folder.isEmpty())
        return;
    runScript({QStringLiteral("stop"), m_folder}, nullptr);
    m_folder.clear();
    m_dir.reset();
}

QString TtrssServer::address() const
{
    QString a = api();
    if (a.endsWith(QLatin1String("api/")))
        a.chop(4);
    return a;
}

QString TtrssServer::addUser(const QString &password)
{
    const QString name = QStringLiteral("user%1").arg(++m_users);
    if (!runScript({QStringLiteral("adduser"), m_folder, name, password}, nullptr))
        return QString();
    return name;
}

QString TtrssServer::sql(const QString &statement)
{
    QStringList command = m_values.value(QStringLiteral("TTRSS_PSQL")).split(QLatin1Char(' '));
    if (command.isEmpty() || command.first().isEmpty())
        return QString();
    QProcess p;
    p.setWorkingDirectory(QStringLiteral("/"));
    const QString program = command.takeFirst();
    p.start(program, command + QStringList{QStringLiteral("-tA"), QStringLiteral("-v"),
                                           QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-c"),
                                           statement});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        m_error = QString::fromLocal8Bit(p.readAllStandardError());
        return QString();
    }
    const QString out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    return out.isNull() ? QStringLiteral("") : out;
}

void TtrssServer::setFeed(const QString &path, const QByteArray &body)
{
    QMutexLocker lock(&m_mutex);
    m_feedBodies.insert(path, body);
}

void TtrssServer::removeFeed(const QString &path)
{
    QMutexLocker lock(&m_mutex);
    m_feedBodies.remove(path);
}

int TtrssServer::feedRequests(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    return m_feedCounts.value(path);
}

void TtrssServer::pauseWeb(bool paused)
{
    QFile file(m_folder + QStringLiteral("/php.pid"));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const int pid = file.readAll().trimmed().toInt();
    if (pid > 0)
        ::kill(-pid, paused ? SIGSTOP : SIGCONT);
}

void TtrssServer::stopDatabase()
{
    runScript({QStringLiteral("stoppg"), m_folder}, nullptr);
}
