#include "window/SingleInstance.h"

#include "base/SettingsStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <cstdio>

namespace {

// The user's own runtime folder. Without XDG_RUNTIME_DIR Qt would fall back to a folder in the
// shared /tmp, where another user could have put a file of that name first: the per-user cache
// folder is used then, as for the history log.
QString privateFolder()
{
#ifdef Q_OS_LINUX
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
#endif
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

// Two programs only clash on the same settings, which name the same folders and archives.
QString instanceName()
{
    const QByteArray store = QDir::cleanPath(SettingsStore::StoreFilePath()).toUtf8();
    return QStringLiteral("tessaly-")
        + QString::fromLatin1(QCryptographicHash::hash(store, QCryptographicHash::Sha256).toHex().left(16));
}

void say(const QString& text)
{
    std::fprintf(stderr, "tessaly: %s\n", qPrintable(text));
}

} // namespace

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent)
    , m_folder(privateFolder())
    , m_name(instanceName())
    , m_lock(m_folder + u'/' + m_name + QStringLiteral(".lock"))
{
    // Only a lock whose holder is gone is stale: a program that runs for weeks keeps it.
    m_lock.setStaleLockTime(0);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromServer();
            Q_EMIT showRequested();
        }
    });
}

bool SingleInstance::claim()
{
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder)) {
        say(QStringLiteral("no private folder for the one-program lock; starting without it"));
        return true;
    }
    if (m_lock.tryLock(0)) {
        const QString socket = m_folder + u'/' + m_name;
        // The socket of a program that crashed is still on disk; the lock says it is dead.
        QLocalServer::removeServer(socket);
        m_server.setSocketOptions(QLocalServer::UserAccessOption);
        if (!m_server.listen(socket))
            say(QStringLiteral("cannot listen on %1 (%2); a second start cannot bring this window forward")
                    .arg(socket, m_server.errorString()));
        return true;
    }
    if (m_lock.error() != QLockFile::LockFailedError) {
        say(QStringLiteral("cannot use the lock %1; starting without it").arg(m_lock.fileName()));
        return true;
    }
    return handOver();
}

bool SingleInstance::handOver()
{
    qint64 pid = 0;
    QString host;
    QString application;
    m_lock.getLockInfo(&pid, &host, &application);
    // The first program listens right after it takes the lock; give it a few seconds to do so.
    constexpr int Attempts = 50;
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(m_folder + u'/' + m_name);
        if (socket.waitForConnected(1000)) {
            // The connection itself is the request; wait until the first one has taken it.
            socket.waitForDisconnected(5000);
            return false;
        }
        QThread::msleep(100);
    }
    say(QStringLiteral("already running as process %1, which does not answer; not starting a second one").arg(pid));
    return false;
}
