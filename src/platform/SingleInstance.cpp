#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace veloxa {

namespace {
constexpr char request[] = "show\n";
constexpr char answer[] = "ok\n";
} // namespace

SingleInstance::SingleInstance(QString directory, QString name, QObject* parent)
    : QObject(parent), m_directory(std::move(directory)), m_name(std::move(name)),
      m_lock(m_directory + u'/' + m_name + QStringLiteral(".lock")) {
    // Only a lock whose process is gone counts as stale, however old it is.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
    if (m_server)
        m_server->close(); // removes the socket file
}

QString SingleInstance::defaultDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

QString SingleInstance::socketPath() const {
    return m_directory + u'/' + m_name + QStringLiteral(".sock");
}

bool SingleInstance::claim() {
    QDir().mkpath(m_directory);
    if (!m_lock.tryLock(0)) {
        if (m_lock.error() == QLockFile::LockFailedError)
            return false; // another client holds it
        // An unusable runtime directory: better a second window than no client at all.
        return true;
    }
    // We hold the lock, so a socket file left here belongs to a process that is gone.
    QLocalServer::removeServer(socketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = m_server->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, peer, [this, peer] {
                if (!peer->canReadLine()) {
                    if (peer->bytesAvailable() > 64)
                        peer->abort(); // not one of ours
                    return;
                }
                if (peer->readLine(64) == request) {
                    peer->write(answer);
                    peer->flush();
                    emit activationRequested();
                }
                peer->disconnectFromServer();
            });
        }
    });
    // Without the socket later processes cannot hand over, but this one still runs.
    m_server->listen(socketPath());
    return true;
}

bool SingleInstance::handOver(int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    // The first process may hold the lock and not listen yet; retry until the deadline.
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(int(deadline.remainingTime()))) {
            socket.write(request);
            socket.waitForBytesWritten(int(deadline.remainingTime()));
            while (!socket.canReadLine() && socket.waitForReadyRead(int(deadline.remainingTime())))
                ;
            return socket.canReadLine() && socket.readLine(64) == answer;
        }
        QThread::msleep(50);
    }
    return false;
}

} // namespace veloxa
