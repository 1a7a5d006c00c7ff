#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>

namespace veloxa {

namespace {
constexpr char request[] = "show";
constexpr char answer[] = "ok\n";
constexpr qsizetype maxLine = 512;

// Tokens are printable ASCII; anything else is not passed on.
bool isToken(const QByteArray& text) {
    return text.size() <= 256 &&
           std::all_of(text.cbegin(), text.cend(), [](char c) { return c > 0x20 && c < 0x7f; });
}
} // namespace

QString SingleInstance::startupToken() {
    for (const char* name : {"XDG_ACTIVATION_TOKEN", "DESKTOP_STARTUP_ID"}) {
        const QByteArray token = qgetenv(name);
        if (!token.isEmpty() && isToken(token))
            return QString::fromLatin1(token);
    }
    return {};
}

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
                    if (peer->bytesAvailable() > maxLine)
                        peer->abort(); // not one of ours
                    return;
                }
                const QByteArray line = peer->readLine(maxLine).trimmed();
                const QByteArray token = line.mid(qsizetype(sizeof request));
                if ((line == request ||
                     (line.startsWith(QByteArray(request) + ' ') && isToken(token)))) {
                    peer->write(answer);
                    peer->flush();
                    emit activationRequested(QString::fromLatin1(token));
                }
                peer->disconnectFromServer();
            });
        }
    });
    // Without the socket later processes cannot hand over, but this one still runs.
    m_server->listen(socketPath());
    return true;
}

bool SingleInstance::handOver(int timeoutMs, const QString& activationToken) {
    QDeadlineTimer deadline(timeoutMs);
    // The first process may hold the lock and not listen yet; retry until the deadline.
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(int(deadline.remainingTime()))) {
            QByteArray line = request;
            if (!activationToken.isEmpty() && isToken(activationToken.toLatin1()))
                line += ' ' + activationToken.toLatin1();
            socket.write(line + '\n');
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
