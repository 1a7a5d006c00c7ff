#pragma once

#include "TunnelServiceLocation.h"
#include "TunnelSystem.h"
#include "platform/ipc/ControlProtocol.h"
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
// configuration as last reported, and one process-wide status-change signal. The service
// is looked for anew on every connection attempt, and its peer is checked before anything
// is sent. When the service goes away every configuration reads as disconnected; the
// client reconnects with back-off and resynchronises.
class TunnelServiceClient : public TunnelSystem {
    Q_OBJECT
public:
    using Reply = std::expected<nlohmann::json, QString>;
    using Callback = std::function<void(Reply)>;

    static constexpr int disconnectedStatus = 1;
    // The service's largest reply (every configuration at its size limit) fits well.
    static constexpr qsizetype maxFrameBytes = control::maxReplyBytes;

    // Why the service cannot be used right now.
    enum class Reachability {
        connected,
        connecting,
        notRunning,    // nothing listens
        accessDenied,  // the socket is not ours to use (not in the veloxa group)
        untrustedPeer, // someone else answers there
        unavailable,   // no place to look, or another failure
    };
    Q_ENUM(Reachability)

    // Looks for the service where TunnelServiceLocation says, on every attempt.
    explicit TunnelServiceClient(QObject* parent = nullptr);
    // Always at this control socket, run by root or this user (tests).
    explicit TunnelServiceClient(QString socketPath, QObject* parent = nullptr);
    ~TunnelServiceClient() override;

    // The process-wide client.
    static TunnelServiceClient& shared();

    bool isConnected() const { return m_up; }
    Reachability reachability() const { return m_reachability; }
    // For the user: why requests fail right now.
    QString lastError() const { return m_lastError; }
    // Where the last connection attempt went.
    const TunnelServiceLocation& location() const { return m_location; }

    // Sends {"op":…} with the fields of `request`; the callback gets the reply's fields or
    // the service's error text. Fails with a clear error while the service is unreachable.
    void send(nlohmann::json request, Callback callback);
    // Last reported status of a configuration (VPN numbering), disconnected when unknown.
    int status(const QString& identifier) const;
    // The reason the service gave with a configuration's last status change, if it gave
    // one (an engine that could not start, a refused restart).
    std::optional<QString> lastDisconnectError(const QString& identifier) const {
        return m_reasons.contains(identifier) ? std::optional(m_reasons.value(identifier))
                                              : std::nullopt;
    }
    // Tries to connect now instead of at the next back-off step.
    void reconnectNow();

    static QString notRunningMessage();
    // Why this user may not use the system service: `joinedSinceSessionBegan` when the
    // account is in the group but this session predates it.
    static QString accessDeniedMessage(const QString& user, bool joinedSinceSessionBegan);

    void loadAllFromPreferences(
        std::function<void(TunnelProviderManager::Managers, std::optional<QString>)> done) override;
    std::shared_ptr<TunnelProviderManager> makeManager() override;
    XPCConnection* connectionToService(const QString& serviceName) override;

signals:
    void connectedChanged(bool connected);
    void reachabilityChanged();

private:
    void connectNow();
    void onConnected();
    void onFailed(QLocalSocket::LocalSocketError error);
    void lost(Reachability why, const QString& message);
    void onReadable();
    void handleFrame(const QByteArray& frame);
    void setStatus(const QString& identifier, int status);
    void setReachability(Reachability reachability, const QString& message);
    void failPending(const QString& error);
    void deliver(Callback callback, Reply reply);

    std::optional<QString> m_fixedPath;
    TunnelServiceLocation m_location;
    QLocalSocket m_socket;
    LineFramer m_framer{maxFrameBytes};
    QTimer m_retry;
    int m_retryDelayMs = 200;
    bool m_up = false;
    Reachability m_reachability = Reachability::connecting;
    QString m_lastError;
    qint64 m_nextId = 1;
    QHash<qint64, Callback> m_pending;
    // Requests made while the first connection attempt is still under way.
    QList<std::pair<nlohmann::json, Callback>> m_queued;
    QHash<QString, int> m_status;
    QHash<QString, QString> m_reasons;
};

} // namespace veloxa
