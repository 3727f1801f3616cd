#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLockFile;
class QLocalServer;

// One running instance per executable path. The first instance holds a lock file named
// from a hash of the executable's canonical path (the system's lock dies with the
// process, and a lock left by a dead process is taken over) and listens on a local socket
// of the same name; a later instance asks it through that socket to come to the front.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // `executablePath` defaults to the running program's file.
    explicit SingleInstance(const QString &executablePath = QString(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // True: this is the first instance (it keeps the lock while this object lives).
    // False: another instance runs and has been asked to activate itself or, with
    // `subscribeAddress`, to subscribe to that address.
    bool tryBecomeFirst(const QString &subscribeAddress = QString());
    bool isFirst() const { return m_first; }

    // Name shared by the lock file and the local socket of this executable path.
    QString instanceKey() const { return m_key; }
    QString lockFilePath() const;

signals:
    void activationRequested();
    // A later start was handed this address (already checked with SubscribeAddressFrom).
    void subscribeRequested(const QString &address);

private:
    void onNewConnection();
    bool askFirst(const QByteArray &message);

    QString m_key;
    bool m_first = false;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};
