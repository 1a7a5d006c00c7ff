#include "TunnelServiceClient.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace veloxa {

using json = nlohmann::json;

TunnelServiceClient::TunnelServiceClient(QString socketPath, QObject* parent)
    : QObject(parent), m_path(std::move(socketPath)) {
    connect(&m_socket, &QLocalSocket::connected, this, &TunnelServiceClient::onConnected);
    connect(&m_socket, &QLocalSocket::disconnected, this, &TunnelServiceClient::onDisconnected);
    connect(&m_socket, &QLocalSocket::errorOccurred, this, [this](QLocalSocket::LocalSocketError) {
        if (m_socket.state() != QLocalSocket::ConnectedState)
            onDisconnected();
    });
    connect(&m_socket, &QLocalSocket::readyRead, this, &TunnelServiceClient::onReadable);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &TunnelServiceClient::connectNow);
    connectNow();
}

TunnelServiceClient::~TunnelServiceClient() {
    m_socket.disconnect(this);
    m_socket.abort();
}

TunnelServiceClient& TunnelServiceClient::shared() {
    static auto* client =
        new TunnelServiceClient(runtimeDirectory() + QStringLiteral("/tunnel.sock"));
    return *client;
}

QString TunnelServiceClient::runtimeDirectory() {
    const QString configured = qEnvironmentVariable("VELOXA_TUNNEL_RUNTIME_DIR");
    if (!configured.isEmpty())
        return configured;
    if (QFileInfo::exists(QStringLiteral("/run/veloxa/tunnel.sock")))
        return QStringLiteral("/run/veloxa");
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    return runtime + QStringLiteral("/veloxa");
}

QString TunnelServiceClient::unreachableMessage() {
    return QStringLiteral("The Veloxa tunnel service is not running");
}

void TunnelServiceClient::connectNow() {
    if (m_socket.state() != QLocalSocket::UnconnectedState)
        return;
    m_connecting = true;
    m_socket.connectToServer(m_path);
}

void TunnelServiceClient::onConnected() {
    m_connecting = false;
    m_up = true;
    m_retryDelayMs = 200;
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

void TunnelServiceClient::onDisconnected() {
    const bool wasUp = std::exchange(m_up, false);
    m_connecting = false;
    m_framer = LineFramer();
    failPending(unreachableMessage());
    for (auto& [request, callback] : std::exchange(m_queued, {}))
        deliver(callback, std::unexpected(unreachableMessage()));
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
    if (!isConnected()) {
        if (m_connecting) {
            m_queued.append({std::move(request), std::move(callback)});
            return;
        }
        deliver(std::move(callback), std::unexpected(unreachableMessage()));
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
    const json message = json::parse(frame.cbegin(), frame.cend(), nullptr, false);
    if (!message.is_object())
        return;
    if (message.contains("event")) {
        if (message["event"] != "status" || !message.contains("identifier") ||
            !message["identifier"].is_string() || !message.contains("status") ||
            !message["status"].is_number_integer())
            return;
        const QString id = QString::fromStdString(message["identifier"].get<std::string>());
        if (message.contains("error") && message["error"].is_string())
            emit startFailed(id, QString::fromStdString(message["error"].get<std::string>()));
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
