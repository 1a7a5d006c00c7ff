#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace veloxa {

// A connection to a named service of the running tunnel, shaped like an XPC connection:
// resume to use it, invalidate to end it; the invalidation handler runs once when it ends
// (or can never be made), the interruption handler when the service goes away. Each
// message gets one reply: the data, or none. Each platform's transport implements it, and
// the platform's TunnelSystem makes them, so the tunnel layer never names a transport.
class XPCConnection : public QObject {
    Q_OBJECT
public:
    using ReplyHandler = std::function<void(std::optional<QByteArray>)>;
    using ErrorHandler = std::function<void(const QString&)>;

    using QObject::QObject;

    virtual void setInvalidationHandler(std::function<void()> handler) = 0;
    virtual void setInterruptionHandler(std::function<void()> handler) = 0;
    virtual void resume() = 0;
    virtual void invalidate() = 0;
    // Sends one request. Exactly one of the two handlers runs: the reply, or the error
    // when the message cannot be delivered or the connection ends first.
    virtual void send(const QByteArray& request, ReplyHandler reply, ErrorHandler error) = 0;
};

} // namespace veloxa
