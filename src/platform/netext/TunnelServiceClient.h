#pragma once

#include "platform/ipc/LineFramer.h"

#include <QHash>
#include <QLocalSocket>
#include <QObject>
#include <QTimer>
#include <nlohmann/json.hpp>

#include <expected>
#include <functional>

namespace veloxa {

// The client's connection to the tunnel service's control socket: requests with
// completion callbacks (always delivered later on the main thread), the status of every
// configuration as last reported, and one process-wide status-change signal. When the
// service goes away every configuration reads as disconnected; the client reconnects
// with back-off and resynchronises.
class TunnelServiceClient : public QObject {
    Q_OBJECT
public:
    using Reply = std::expected<nlohmann::json, QString>;
    using Callback = std::function<void(Reply)>;

    static constexpr int disconnectedStatus = 1;

    explicit TunnelServiceClient(QString socketPath, QObject* parent = nullptr);
    ~TunnelServiceClient() override;

    // The process-wide client for the service's runtime directory.
    static TunnelServiceClient& shared();
    // VELOXA_TUNNEL_RUNTIME_DIR, else /run/veloxa when its socket exists, else the user's.
    static QString runtimeDirectory();

    bool isConnected() const { return m_socket.state() == QLocalSocket::ConnectedState; }
    // Sends {"op":…} with the fields of `request`; the callback gets the reply's fields or
    // the service's error text. Fails with a clear error while the service is unreachable.
    void send(nlohmann::json request, Callback callback);
    // Last reported status of a configuration (VPN numbering), disconnected when unknown.
    int status(const QString& identifier) const;

    static QString unreachableMessage();

signals:
    // Any configuration's status changed (the VPN status-change notification).
    void statusDidChange(const QString& identifier);
    // The last status event of a configuration carried an error from the service.
    void startFailed(const QString& identifier, const QString& error);
    void connectedChanged(bool connected);

private:
    void connectNow();
    void onConnected();
    void onDisconnected();
    void onReadable();
    void handleFrame(const QByteArray& frame);
    void setStatus(const QString& identifier, int status);
    void failPending(const QString& error);
    void deliver(Callback callback, Reply reply);

    QString m_path;
    QLocalSocket m_socket;
    LineFramer m_framer;
    QTimer m_retry;
    int m_retryDelayMs = 200;
    bool m_up = false;
    qint64 m_nextId = 1;
    QHash<qint64, Callback> m_pending;
    // Requests made while the first connection attempt is still under way.
    QList<std::pair<nlohmann::json, Callback>> m_queued;
    bool m_connecting = false;
    QHash<QString, int> m_status;
};

} // namespace veloxa
