#include "LocalXPCConnection.h"

#include <QCoreApplication>
#include <QPointer>

namespace veloxa {

namespace {
// Handlers run later, like callbacks on a connection's own queue, so that they may drop
// the connection they belong to.
void post(std::function<void()> handler) {
    if (handler)
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(handler),
                                  Qt::QueuedConnection);
}
} // namespace

LocalXPCConnection::LocalXPCConnection(TunnelServiceLocation location, const QString& serviceName,
                                       QObject* parent)
    : XPCConnection(parent), m_location(std::move(location)),
      m_path(m_location.socketFor(serviceName)) {
    connect(&m_socket, &QLocalSocket::connected, this, [this] {
        if (m_location.checkPeer(m_socket.socketDescriptor())) {
            m_socket.abort(); // not the service we trust: it never gets a request
            return;
        }
        m_wasConnected = true;
        flushWaiting();
    });
    connect(&m_socket, &QLocalSocket::readyRead, this, &LocalXPCConnection::onReadable);
    connect(&m_socket, &QLocalSocket::disconnected, this, &LocalXPCConnection::onDisconnected);
    connect(&m_socket, &QLocalSocket::errorOccurred, this, [this](QLocalSocket::LocalSocketError) {
        if (m_socket.state() == QLocalSocket::UnconnectedState)
            onDisconnected();
    });
}

LocalXPCConnection::~LocalXPCConnection() {
    m_socket.disconnect(this);
    m_socket.abort();
}

void LocalXPCConnection::resume() {
    if (m_resumed || m_invalidated)
        return;
    m_resumed = true;
    m_socket.connectToServer(m_path);
}

void LocalXPCConnection::invalidate() {
    if (m_invalidated)
        return;
    m_invalidated = true;
    m_socket.disconnect(this);
    m_socket.abort();
    failAll(QStringLiteral("The connection was invalidated"));
    post(std::exchange(m_onInvalidated, {}));
    m_onInterrupted = {};
}

void LocalXPCConnection::failAll(const QString& why) {
    auto pending = std::exchange(m_pending, {});
    for (auto& p : pending)
        if (p.error)
            p.error(why);
}

void LocalXPCConnection::onDisconnected() {
    if (m_invalidated)
        return;
    m_unsent.clear();
    if (m_wasConnected) {
        // The service went away after we had it: an interruption.
        m_wasConnected = false;
        m_resumed = false;
        failAll(QStringLiteral("The tunnel's statistics service went away"));
        post(m_onInterrupted);
        return;
    }
    // It could never be reached: the connection is over.
    m_invalidated = true;
    failAll(QStringLiteral("The tunnel's statistics service is not running"));
    post(std::exchange(m_onInvalidated, {}));
    m_onInterrupted = {};
}

void LocalXPCConnection::send(const QByteArray& request, ReplyHandler reply, ErrorHandler error) {
    if (m_invalidated || !m_resumed) {
        if (error)
            error(QStringLiteral("The connection is not usable"));
        return;
    }
    m_pending.push_back({std::move(reply), std::move(error)});
    if (m_wasConnected)
        m_socket.write(request + '\n');
    else
        m_unsent += request + '\n'; // until we know who answers
}

void LocalXPCConnection::flushWaiting() {
    if (!m_unsent.isEmpty())
        m_socket.write(std::exchange(m_unsent, {}));
}

void LocalXPCConnection::onReadable() {
    const auto frames = m_framer.feed(m_socket.readAll());
    QPointer<LocalXPCConnection> self(this);
    for (const QByteArray& frame : frames) {
        if (!self || m_pending.empty())
            return;
        Pending p = std::move(m_pending.front());
        m_pending.pop_front();
        const QByteArray line = frame.trimmed();
        if (p.reply)
            p.reply(line == "null" || line.isEmpty() ? std::nullopt
                                                     : std::optional<QByteArray>(line));
    }
    if (self && m_framer.overflowed())
        m_socket.abort();
}

} // namespace veloxa
