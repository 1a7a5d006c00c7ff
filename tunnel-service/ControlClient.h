#pragma once

#include "platform/ipc/ControlProtocol.h"
#include "platform/ipc/LineFramer.h"

#include <QLocalSocket>
#include <QTimer>
#include <functional>
#include <nlohmann/json.hpp>
#include <sys/types.h>

namespace veloxa::tunnel {

// One connection to the control socket. Requests are taken one at a time and only while
// the replies already queued are small, so a client that writes without reading holds
// a bounded amount of the service's memory; one that stops reading for long is dropped.
class ControlClient : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype maxRequestBytes = control::maxRequestBytes;
    static constexpr int maxRequestDepth = 8;
    static constexpr qint64 pauseAbove = 256 * 1024; // queued reply bytes that pause requests
    static constexpr qint64 dropAbove = 8 * 1024 * 1024;
    static constexpr int stallMs = 5000;
    static constexpr int closeAfterMs = 500; // after refusing a frame

    using Handler = std::function<nlohmann::json(ControlClient&, const nlohmann::json&)>;

    // Takes over the connected descriptor `fd` of a peer running as `uid`.
    ControlClient(int fd, uid_t uid, Handler handler, QObject* parent = nullptr);
    ~ControlClient() override;

    uid_t uid() const { return m_uid; }
    // Queues one frame (a reply or an event).
    void send(const nlohmann::json& frame);

signals:
    void closed(ControlClient* client);

private:
    void process();
    void refuse(const char* error);
    void watchStall(bool progressed);

    uid_t m_uid;
    Handler m_handler;
    QLocalSocket m_socket;
    LineFramer m_framer{maxRequestBytes};
    QList<QByteArray> m_frames;
    QTimer m_stall;
    bool m_closing = false;
    bool m_closedSignalled = false;
};

} // namespace veloxa::tunnel
