#pragma once

#include "LineFramer.h"
#include "XPCConnection.h"
#include "platform/netext/TunnelServiceLocation.h"

#include <QLocalSocket>

#include <deque>
#include <functional>
#include <optional>

namespace veloxa {

// The Linux transport of an XPCConnection: a local stream socket of the tunnel service.
// Each message gets one reply line: a JSON object (the data) or null (no data).
class LocalXPCConnection : public XPCConnection {
    Q_OBJECT
public:
    // The service named `serviceName` of the tunnel service at `location`; its peer must be
    // one the location trusts, or the connection ends before anything is sent.
    LocalXPCConnection(TunnelServiceLocation location, const QString& serviceName,
                       QObject* parent = nullptr);
    ~LocalXPCConnection() override;

    void setInvalidationHandler(std::function<void()> handler) override {
        m_onInvalidated = std::move(handler);
    }
    void setInterruptionHandler(std::function<void()> handler) override {
        m_onInterrupted = std::move(handler);
    }
    void resume() override;
    void invalidate() override;
    bool isValid() const { return !m_invalidated; }
    void send(const QByteArray& request, ReplyHandler reply, ErrorHandler error) override;

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
