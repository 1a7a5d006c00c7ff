#include "ControlClient.h"

#include "json/JsonDepth.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcService)

namespace veloxa::tunnel {

using json = nlohmann::json;

ControlClient::ControlClient(int fd, uid_t uid, Handler handler, QObject* parent)
    : QObject(parent), m_uid(uid), m_handler(std::move(handler)) {
    m_socket.setReadBufferSize(64 * 1024);
    m_socket.setSocketDescriptor(fd);
    m_stall.setSingleShot(true);
    m_stall.setInterval(stallMs);
    connect(&m_stall, &QTimer::timeout, this, [this] {
        qCWarning(lcService) << "dropped a control client that stopped reading (uid" << m_uid
                             << ")";
        m_socket.abort();
    });
    connect(&m_socket, &QLocalSocket::readyRead, this, &ControlClient::process);
    connect(&m_socket, &QLocalSocket::bytesWritten, this, [this] {
        watchStall(true);
        process();
    });
    auto gone = [this] {
        if (m_socket.state() != QLocalSocket::UnconnectedState || m_closedSignalled)
            return;
        m_closedSignalled = true;
        m_stall.stop();
        emit closed(this);
    };
    connect(&m_socket, &QLocalSocket::disconnected, this, gone);
    connect(&m_socket, &QLocalSocket::errorOccurred, this, gone);
    QMetaObject::invokeMethod(this, &ControlClient::process, Qt::QueuedConnection);
}

ControlClient::~ControlClient() {
    m_socket.disconnect(this);
    m_socket.abort();
}

void ControlClient::send(const json& frame) {
    if (m_socket.state() != QLocalSocket::ConnectedState)
        return;
    m_socket.write(
        QByteArray::fromStdString(frame.dump(-1, ' ', false, json::error_handler_t::replace)) +
        '\n');
    if (m_socket.bytesToWrite() > dropAbove) {
        qCWarning(lcService) << "dropped a control client with" << m_socket.bytesToWrite()
                             << "unread bytes (uid" << m_uid << ")";
        m_socket.abort();
        return;
    }
    watchStall(false);
}

void ControlClient::watchStall(bool progressed) {
    if (m_socket.bytesToWrite() < pauseAbove)
        m_stall.stop();
    else if (progressed || !m_stall.isActive())
        m_stall.start(); // the peer has stallMs to take more of what waits for it
}

void ControlClient::refuse(const char* error) {
    send({{"id", nullptr}, {"ok", false}, {"error", error}});
    m_closing = true;
    m_frames.clear();
    // What the peer is still writing is read and dropped for a moment, so that its writes
    // do not fail before it has read why it is being closed.
    QTimer::singleShot(closeAfterMs, this, [this] { m_socket.disconnectFromServer(); });
}

void ControlClient::process() {
    if (m_closing) {
        while (m_socket.bytesAvailable() > 0 && !m_socket.read(64 * 1024).isEmpty()) {
        }
        return;
    }
    while (m_socket.state() == QLocalSocket::ConnectedState &&
           m_socket.bytesToWrite() < pauseAbove) {
        if (m_frames.isEmpty()) {
            if (m_framer.overflowed())
                return refuse("Request too large");
            const QByteArray chunk = m_socket.read(64 * 1024);
            if (chunk.isEmpty())
                return;
            m_frames = m_framer.feed(chunk);
            continue;
        }
        const QByteArray frame = m_frames.takeFirst();
        const json request = JsonDepth::parse(
            std::string_view(frame.constData(), std::size_t(frame.size())), maxRequestDepth);
        if (!request.is_object())
            return refuse("Malformed request");
        send(m_handler(*this, request));
    }
    watchStall(false);
}

} // namespace veloxa::tunnel
