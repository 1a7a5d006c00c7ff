#pragma once

#include "LineFramer.h"
#include "platform/netext/TunnelServiceLocation.h"

#include <QLocalSocket>
#include <QObject>

#include <deque>
#include <functional>
#include <optional>

namespace veloxa {

// A connection to a named service of the running tunnel service, shaped like an XPC
// connection: resume to use it, invalidate to end it; the invalidation handler runs once
// when it ends (or can never be made), the interruption handler when the service goes
// away. Each message gets one reply line: a JSON object (the data) or null (no data).
class LocalXPCConnection : public QObject {
    Q_OBJECT
public:
    using ReplyHandler = std::function<void(std::optional<QByteArray>)>;
    using ErrorHandler = std::function<void(const QString&)>;

    // The service named `serviceName` of the tunnel service at `location`; its peer must be
    // one the location trusts, or the connection ends before anything is sent.
    LocalXPCConnection(TunnelServiceLocation location, const QString& serviceName,
                       QObject* parent = nullptr);
    ~LocalXPCConnection() override;

    void setInvalidationHandler(std::function<void()> handler) {
        m_onInvalidated = std::move(handler);
    }
    void setInterruptionHandler(std::function<void()> handler) {
        m_onInterrupted = std::move(handler);
    }
    void resume();
    void invalidate();
    bool isValid() const { return !m_invalidated; }

    // Sends one request line. Exactly one of the two handlers runs: the reply, or the
    // error when the message cannot be delivered or the connection ends first.
    void send(const QByteArray& request, ReplyHandler reply, ErrorHandler error);

private:
    struct Pending {
        ReplyHandler reply;
        ErrorHandler error;
    };
    void onReadable();
    void onDisconnected();
    void failAll(const QString& why);
    void flushWaiting();

    TunnelServiceLocation m_location;
    QString m_path;
    QLocalSocket m_socket;
    LineFramer m_framer{64 * 1024};
    std::deque<Pending> m_pending;
    QByteArray m_unsent;
    std::function<void()> m_onInvalidated;
    std::function<void()> m_onInterrupted;
    bool m_resumed = false;
    bool m_wasConnected = false;
    bool m_invalidated = false;
};

} // namespace veloxa
