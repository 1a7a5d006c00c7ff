#include "StatsServer.h"

#include "SocketListener.h"
#include "platform/ipc/LineFramer.h"

#include <QFile>
#include <QLocalSocket>

#include <sys/stat.h>
#include <unistd.h>

namespace veloxa::tunnel {

using json = nlohmann::json;

StatsServer::StatsServer(TunnelService& service, PeerPolicy policy, QString sysfsNet,
                         QObject* parent)
    : QObject(parent), m_service(service), m_policy(policy), m_sysfsNet(std::move(sysfsNet)) {
    connect(&m_server, &QLocalServer::newConnection, this, &StatsServer::onNewConnection);
}

std::expected<void, QString> StatsServer::listen(const QString& path, int mode, long group) {
    return SocketListener::listen(m_server, path, mode, group);
}

std::optional<std::pair<quint64, quint64>> StatsServer::readCounters(const QString& sysfsNet,
                                                                     const QString& interface) {
    auto read = [&](const char* name) -> std::optional<quint64> {
        QFile file(sysfsNet + u'/' + interface + QStringLiteral("/statistics/") +
                   QLatin1String(name));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        const QByteArray text = file.read(64).trimmed();
        bool ok = false;
        const quint64 value = text.toULongLong(&ok, 10);
        if (!ok || text.isEmpty() ||
            !std::all_of(text.cbegin(), text.cend(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        return value;
    };
    const auto rx = read("rx_bytes");
    const auto tx = read("tx_bytes");
    if (!rx || !tx)
        return std::nullopt;
    return std::pair{*rx, *tx};
}

QByteArray StatsServer::answer() const {
    const auto interface = m_service.activeInterface();
    const auto counters = interface ? readCounters(m_sysfsNet, *interface) : std::nullopt;
    if (!counters)
        return QByteArrayLiteral("null\n");
    // Keys in this order: rx_bytes, tx_bytes.
    return QByteArrayLiteral("{\"rx_bytes\":") + QByteArray::number(counters->first) +
           QByteArrayLiteral(",\"tx_bytes\":") + QByteArray::number(counters->second) + "}\n";
}

void StatsServer::onNewConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        if (!m_policy.allows(static_cast<int>(socket->socketDescriptor()))) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto framer = std::make_shared<LineFramer>(4096);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, framer] {
            for (const QByteArray& frame : framer->feed(socket->readAll())) {
                const json request = json::parse(frame.cbegin(), frame.cend(), nullptr, false);
                if (!request.is_object() || request.value("op", json()) != "getRuntimeStats") {
                    socket->disconnectFromServer();
                    return;
                }
                socket->write(answer());
            }
            if (framer->overflowed())
                socket->disconnectFromServer();
        });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    }
}

} // namespace veloxa::tunnel
