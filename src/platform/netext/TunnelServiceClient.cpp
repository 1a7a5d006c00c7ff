#include "TunnelServiceClient.h"

#include "platform/ipc/LocalXPCConnection.h"
#include "json/JsonDepth.h"

#include <QFileInfo>
#include <QPointer>

#include <pwd.h>
#include <unistd.h>

namespace veloxa {

using json = nlohmann::json;

namespace {
QString userName() {
    const passwd* pw = ::getpwuid(::getuid());
    return pw ? QString::fromLocal8Bit(pw->pw_name) : QStringLiteral("$USER");
}
QString accessDenied() {
    return TunnelServiceClient::accessDeniedMessage(
        userName(), TunnelServiceLocation::joinedSinceSessionBegan());
}
} // namespace

TunnelServiceClient::TunnelServiceClient(QObject* parent) : TunnelSystem(parent) {
    connect(&m_socket, &QLocalSocket::connected, this, &TunnelServiceClient::onConnected);
    connect(&m_socket, &QLocalSocket::disconnected, this, [this] {
        if (m_up)
            lost(Reachability::notRunning, notRunningMessage());
    });
    connect(&m_socket, &QLocalSocket::errorOccurred, this, &TunnelServiceClient::onFailed);
    connect(&m_socket, &QLocalSocket::readyRead, this, &TunnelServiceClient::onReadable);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &TunnelServiceClient::connectNow);
    connectNow();
}

TunnelServiceClient::TunnelServiceClient(QString socketPath, QObject* parent)
    : TunnelServiceClient(parent) {
    m_fixedPath = std::move(socketPath);
    m_socket.abort();
    connectNow();
}

TunnelServiceClient::~TunnelServiceClient() {
    m_socket.disconnect(this);
    m_socket.abort();
}

TunnelServiceClient& TunnelServiceClient::shared() {
    static auto* client = new TunnelServiceClient();
    return *client;
}

// On Linux the VPN system is the tunnel service, reached through this client.
TunnelSystem& TunnelSystem::shared() {
    return TunnelServiceClient::shared();
}

void TunnelServiceClient::loadAllFromPreferences(
    std::function<void(TunnelProviderManager::Managers, std::optional<QString>)> done) {
    TunnelProviderManager::loadAllFromPreferences(*this, std::move(done));
}

std::shared_ptr<TunnelProviderManager> TunnelServiceClient::makeManager() {
    return TunnelProviderManager::create(*this);
}

// Statistics go wherever the control connection found the service last.
XPCConnection* TunnelServiceClient::connectionToService(const QString& serviceName) {
    return new LocalXPCConnection(m_location, serviceName);
}

QString TunnelServiceClient::notRunningMessage() {
    return QStringLiteral("The Veloxa tunnel service is not running");
}

QString TunnelServiceClient::accessDeniedMessage(const QString& user,
                                                 bool joinedSinceSessionBegan) {
    if (joinedSinceSessionBegan)
        return QStringLiteral("You joined the veloxa group after this session began: sign out "
                              "and sign in again to use the Veloxa tunnel service");
    return QStringLiteral("You may not use the Veloxa tunnel service: add yourself to the "
                          "veloxa group (sudo adduser %1 veloxa), then sign out and sign in "
                          "again")
        .arg(user);
}

void TunnelServiceClient::setReachability(Reachability reachability, const QString& message) {
    m_lastError = message;
    if (std::exchange(m_reachability, reachability) != reachability)
        emit reachabilityChanged();
}

void TunnelServiceClient::connectNow() {
    if (m_socket.state() != QLocalSocket::UnconnectedState)
        return;
    m_location = m_fixedPath ? TunnelServiceLocation::at(QFileInfo(*m_fixedPath).path())
                             : TunnelServiceLocation::current();
    if (m_location.runtimeDir.isEmpty())
        return lost(Reachability::unavailable, m_location.problem);
    if (m_location.accessDenied)
        return lost(Reachability::accessDenied, accessDenied());
    setReachability(Reachability::connecting, m_lastError);
    m_socket.connectToServer(m_fixedPath.value_or(m_location.controlSocket()));
}

void TunnelServiceClient::reconnectNow() {
    if (m_up)
        return;
    m_retry.stop();
    m_retryDelayMs = 200;
    connectNow();
}

void TunnelServiceClient::onConnected() {
    // Nothing goes out before we know who listens: a socket in a folder someone else
    // could have made first must not receive the configurations.
    if (const auto untrusted = m_location.checkPeer(m_socket.socketDescriptor())) {
        m_socket.abort();
        return lost(Reachability::untrustedPeer, *untrusted);
    }
    m_up = true;
    m_retryDelayMs = 200;
    setReachability(Reachability::connected, {});
    emit connectedChanged(true);
    // Resynchronise: the service is the truth about every configuration's status.
    send({{"op", "loadAll"}}, [this](Reply reply) {
        if (!reply)
            return;
        QHash<QString, int> seen;
        for (const auto& c : reply->value("configurations", json::array())) {
            if (!c.is_object() || !c.contains("identifier") || !c["identifier"].is_string())
                continue;
            const int s = c.value("status", json(disconnectedStatus)).is_number_integer()
                              ? c["status"].get<int>()
                              : disconnectedStatus;
            seen.insert(QString::fromStdString(c["identifier"].get<std::string>()), s);
        }
        for (auto it = seen.cbegin(); it != seen.cend(); ++it)
            setStatus(it.key(), it.value());
        for (const QString& id : m_status.keys())
            if (!seen.contains(id))
                setStatus(id, disconnectedStatus);
    });
    const auto queued = std::exchange(m_queued, {});
    for (const auto& [request, callback] : queued)
        send(request, callback);
}

void TunnelServiceClient::onFailed(QLocalSocket::LocalSocketError error) {
    if (m_socket.state() == QLocalSocket::ConnectedState)
        return;
    switch (error) {
    case QLocalSocket::ServerNotFoundError:
    case QLocalSocket::ConnectionRefusedError:
    case QLocalSocket::PeerClosedError:
        return lost(Reachability::notRunning, notRunningMessage());
    case QLocalSocket::SocketAccessError:
        return lost(Reachability::accessDenied, accessDenied());
    default:
        return lost(Reachability::unavailable,
                    QStringLiteral("The Veloxa tunnel service cannot be reached: %1")
                        .arg(m_socket.errorString()));
    }
}

void TunnelServiceClient::lost(Reachability why, const QString& message) {
    const bool wasUp = std::exchange(m_up, false);
    m_framer = LineFramer(maxFrameBytes);
    setReachability(why, message);
    failPending(message);
    for (auto& [request, callback] : std::exchange(m_queued, {}))
        deliver(callback, std::unexpected(message));
    m_reasons.clear(); // the service went away: no reason of its stands
    for (const QString& id : m_status.keys())
        setStatus(id, disconnectedStatus);
    if (wasUp)
        emit connectedChanged(false);
    if (!m_retry.isActive()) {
        m_retry.start(m_retryDelayMs);
        m_retryDelayMs = std::min(m_retryDelayMs * 2, 5000);
    }
}

void TunnelServiceClient::failPending(const QString& error) {
    const auto pending = std::exchange(m_pending, {});
    for (const auto& callback : pending)
        deliver(callback, std::unexpected(error));
}

void TunnelServiceClient::deliver(Callback callback, Reply reply) {
    if (!callback)
        return;
    QMetaObject::invokeMethod(
        this, [callback = std::move(callback), reply = std::move(reply)] { callback(reply); },
        Qt::QueuedConnection);
}

void TunnelServiceClient::send(json request, Callback callback) {
    if (!m_up) {
        if (m_reachability == Reachability::connecting) {
            m_queued.append({std::move(request), std::move(callback)});
            return;
        }
        deliver(std::move(callback), std::unexpected(m_lastError));
        return;
    }
    const qint64 id = m_nextId++;
    request["id"] = id;
    m_pending.insert(id, std::move(callback));
    m_socket.write(
        QByteArray::fromStdString(request.dump(-1, ' ', false, json::error_handler_t::replace)) +
        '\n');
}

int TunnelServiceClient::status(const QString& identifier) const {
    return m_status.value(identifier, disconnectedStatus);
}

void TunnelServiceClient::setStatus(const QString& identifier, int status) {
    if (this->status(identifier) == status && m_status.contains(identifier))
        return;
    m_status.insert(identifier, status);
    emit statusDidChange(identifier);
}

void TunnelServiceClient::onReadable() {
    for (const QByteArray& frame : m_framer.feed(m_socket.readAll()))
        handleFrame(frame);
    if (m_framer.overflowed())
        m_socket.abort(); // a misbehaving peer; reconnect from scratch
}

void TunnelServiceClient::handleFrame(const QByteArray& frame) {
    const json message =
        JsonDepth::parse(std::string_view(frame.constData(), std::size_t(frame.size())));
    if (!message.is_object())
        return;
    if (message.contains("event")) {
        if (message["event"] != "status" || !message.contains("identifier") ||
            !message["identifier"].is_string() || !message.contains("status") ||
            !message["status"].is_number_integer())
            return;
        const QString id = QString::fromStdString(message["identifier"].get<std::string>());
        // The reason travels with the change it explains; a change without one ends it.
        if (message.contains("error") && message["error"].is_string())
            m_reasons.insert(id, QString::fromStdString(message["error"].get<std::string>()));
        else
            m_reasons.remove(id);
        setStatus(id, message["status"].get<int>());
        return;
    }
    if (!message.contains("id") || !message["id"].is_number_integer())
        return;
    const auto callback = m_pending.take(message["id"].get<qint64>());
    if (!callback)
        return;
    if (message.value("ok", json(false)) == true)
        deliver(callback, message);
    else
        deliver(callback,
                std::unexpected(message.contains("error") && message["error"].is_string()
                                    ? QString::fromStdString(message["error"].get<std::string>())
                                    : QStringLiteral("The tunnel service refused the request")));
}

} // namespace veloxa
