#include "ControlServer.h"

#include "SocketListener.h"
#include "platform/ipc/LineFramer.h"

#include <QFile>
#include <QLocalSocket>
#include <QLoggingCategory>

#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcService)

namespace veloxa::tunnel {

using json = nlohmann::json;

ControlServer::ControlServer(TunnelService& service, ConfigurationStore& store, PeerPolicy policy,
                             QString serviceId, QString version, QObject* parent)
    : QObject(parent), m_service(service), m_store(store), m_policy(policy),
      m_serviceId(std::move(serviceId)), m_version(std::move(version)) {
    connect(&m_server, &QLocalServer::newConnection, this, &ControlServer::onNewConnection);
    connect(&m_service, &TunnelService::statusChanged, this, &ControlServer::broadcast);
}

ControlServer::~ControlServer() {
    // Clients go first, quietly: their handlers refer to this object.
    for (const auto& client : std::as_const(m_clients))
        if (client) {
            client->disconnect(this);
            client->abort();
        }
    m_clients.clear();
}

std::expected<void, QString> ControlServer::listen(const QString& path, int mode, long group) {
    return SocketListener::listen(m_server, path, mode, group);
}

void ControlServer::onNewConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        if (!m_policy.allows(static_cast<int>(socket->socketDescriptor()))) {
            qCWarning(lcService) << "refused a control connection from a peer without access";
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto framer = std::make_shared<LineFramer>();
        m_clients.append(socket);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, framer] {
            const auto frames = framer->feed(socket->readAll());
            for (const QByteArray& frame : frames) {
                if (socket->state() != QLocalSocket::ConnectedState)
                    return;
                json request = json::parse(frame.cbegin(), frame.cend(), nullptr, false);
                if (request.is_discarded() || !request.is_object()) {
                    send(socket, {{"id", nullptr}, {"ok", false}, {"error", "Malformed request"}});
                    socket->disconnectFromServer();
                    return;
                }
                send(socket, handle(request));
            }
            if (framer->overflowed()) {
                send(socket, {{"id", nullptr}, {"ok", false}, {"error", "Request too large"}});
                socket->disconnectFromServer();
            }
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            m_clients.removeAll(socket);
            socket->deleteLater();
        });
    }
}

void ControlServer::send(QLocalSocket* socket, const json& frame) {
    if (socket->state() != QLocalSocket::ConnectedState)
        return;
    socket->write(
        QByteArray::fromStdString(frame.dump(-1, ' ', false, json::error_handler_t::replace)) +
        '\n');
}

void ControlServer::broadcast(const QString& identifier, int status, const QString& error) {
    json event = {
        {"event", "status"}, {"identifier", identifier.toStdString()}, {"status", status}};
    if (!error.isEmpty())
        event["error"] = error.toStdString();
    for (const auto& client : std::as_const(m_clients))
        if (client)
            send(client, event);
}

json ControlServer::handle(const json& request) {
    json reply = {{"id", request.contains("id") ? request["id"] : json(nullptr)}};
    auto fail = [&](const QString& message) {
        reply["ok"] = false;
        reply["error"] = message.toStdString();
        return reply;
    };
    const auto opIt = request.find("op");
    if (opIt == request.end() || !opIt->is_string())
        return fail(QStringLiteral("The request has no operation"));
    const std::string op = *opIt;
    auto identifier = [&]() -> std::optional<QString> {
        const auto it = request.find("identifier");
        if (it == request.end() || !it->is_string())
            return std::nullopt;
        return QString::fromStdString(it->get<std::string>());
    };

    if (op == "hello") {
        reply["ok"] = true;
        reply["service"] = m_serviceId.toStdString();
        reply["version"] = m_version.toStdString();
        return reply;
    }
    if (op == "loadAll") {
        json list = json::array();
        for (const auto& record : m_store.all())
            list.push_back(m_service.withStatus(record));
        reply["ok"] = true;
        reply["configurations"] = list;
        return reply;
    }
    if (op == "save") {
        const auto it = request.find("configuration");
        if (it == request.end() || !it->is_object())
            return fail(QStringLiteral("The request has no configuration"));
        std::optional<TunnelConfigurationRecord> record;
        try {
            record = TunnelConfigurationRecord::fromJson(
                JsonReader(*it, QStringLiteral("configuration")));
        } catch (const JsonReader::Failure& failure) {
            return fail(
                QStringLiteral("Invalid configuration: %1").arg(QString::fromUtf8(failure.what())));
        }
        auto saved = m_service.save(*record);
        if (!saved)
            return fail(saved.error());
        reply["ok"] = true;
        reply["configuration"] = m_service.withStatus(*saved);
        return reply;
    }
    if (op == "load" || op == "remove" || op == "start" || op == "stop") {
        const auto id = identifier();
        if (!id)
            return fail(QStringLiteral("The request has no identifier"));
        std::expected<void, QString> done;
        if (op == "load") {
            const auto record = m_store.find(*id);
            if (!record)
                return fail(QStringLiteral("No such configuration"));
            reply["ok"] = true;
            reply["configuration"] = m_service.withStatus(*record);
            return reply;
        }
        if (op == "remove")
            done = m_service.remove(*id);
        else if (op == "start")
            done = m_service.start(*id);
        else
            done = m_service.stop(*id);
        if (!done)
            return fail(done.error());
        reply["ok"] = true;
        return reply;
    }
    return fail(QStringLiteral("Unknown operation \"%1\"").arg(QString::fromStdString(op)));
}

} // namespace veloxa::tunnel
