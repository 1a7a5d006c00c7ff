#include "StatsServer.h"

#include "platform/ipc/LineFramer.h"
#include "json/JsonDepth.h"

#include <QLocalSocket>

#include <unistd.h>

namespace veloxa::tunnel {

using json = nlohmann::json;

StatsServer::StatsServer(TunnelService& service, PeerPolicy policy, ClientLimits& limits,
                         QObject* parent)
    : QObject(parent), m_service(service), m_policy(policy), m_limits(limits) {
    connect(&m_listener, &UnixListener::accepted, this, &StatsServer::onAccepted);
}

std::expected<void, QString> StatsServer::listen(const QString& path, int mode, long group) {
    return m_listener.listen(path, mode, group);
}

QByteArray StatsServer::answer(uid_t caller) {
    const auto traffic = m_service.traffic(caller);
    if (!traffic)
        return QByteArrayLiteral("null\n");
    // Keys in this order: rx_bytes, tx_bytes.
    return QByteArrayLiteral("{\"rx_bytes\":") + QByteArray::number(traffic->rx) +
           QByteArrayLiteral(",\"tx_bytes\":") + QByteArray::number(traffic->tx) + "}\n";
}

void StatsServer::onAccepted(int fd) {
    const auto credentials = PeerPolicy::credentials(fd);
    if (!credentials || !m_policy.allowsUser(credentials->first, credentials->second) ||
        !m_limits.admit(credentials->first)) {
        ::close(fd);
        return;
    }
    const uid_t uid = credentials->first;
    auto* socket = new QLocalSocket(this);
    socket->setReadBufferSize(4096);
    socket->setSocketDescriptor(fd);
    auto framer = std::make_shared<LineFramer>(4096);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, framer, uid] {
        for (const QByteArray& frame : framer->feed(socket->readAll())) {
            const json request =
                JsonDepth::parse(std::string_view(frame.constData(), std::size_t(frame.size())), 4);
            if (!request.is_object() || request.value("op", json()) != "getRuntimeStats" ||
                socket->bytesToWrite() > 64 * 1024) { // asks without reading: not a client
                socket->abort();
                return;
            }
            socket->write(answer(uid));
        }
        if (framer->overflowed())
            socket->abort();
    });
    auto released = std::make_shared<bool>(false);
    auto gone = [this, socket, uid, released] {
        if (socket->state() != QLocalSocket::UnconnectedState || *released)
            return;
        *released = true;
        m_limits.release(uid);
        socket->deleteLater();
    };
    connect(socket, &QLocalSocket::disconnected, this, gone);
    connect(socket, &QLocalSocket::errorOccurred, this, gone);
}

} // namespace veloxa::tunnel
