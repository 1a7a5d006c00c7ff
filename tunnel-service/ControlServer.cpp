#include "ControlServer.h"

#include <QLoggingCategory>

#include <sys/socket.h>
#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcService)

namespace veloxa::tunnel {

using json = nlohmann::json;

namespace {
// An id is echoed only when it is a plain scalar of sensible size: anything else could be
// a structure built to be expensive to copy or print.
json echoedId(const json& request) {
    const auto it = request.find("id");
    if (it == request.end())
        return nullptr;
    if (it->is_number() || (it->is_string() && it->get_ref<const std::string&>().size() <= 256))
        return *it;
    return nullptr;
}

void refuseAndClose(int fd, const char* error) {
    const std::string frame = std::string(R"({"id":null,"ok":false,"error":")") + error + "\"}\n";
    [[maybe_unused]] auto sent =
        ::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::close(fd);
}
} // namespace

ControlServer::ControlServer(TunnelService& service, PeerPolicy policy, ClientLimits& limits,
                             QString serviceId, QString version, QObject* parent)
    : QObject(parent), m_service(service), m_policy(policy), m_limits(limits),
      m_serviceId(std::move(serviceId)), m_version(std::move(version)) {
    connect(&m_listener, &UnixListener::accepted, this, &ControlServer::onAccepted);
    connect(&m_service, &TunnelService::statusChanged, this, &ControlServer::broadcast);
}

ControlServer::~ControlServer() {
    for (ControlClient* client : std::as_const(m_clients)) {
        client->disconnect(this);
        delete client;
    }
    m_clients.clear();
}

std::expected<void, QString> ControlServer::listen(const QString& path, int mode, long group) {
    return m_listener.listen(path, mode, group);
}

void ControlServer::onAccepted(int fd) {
    const auto credentials = PeerPolicy::credentials(fd);
    if (!credentials || !m_policy.allowsUser(credentials->first, credentials->second)) {
        qCWarning(lcService) << "refused a control connection from a peer without access";
        refuseAndClose(fd, "Permission denied: you are not in the group that may use the "
                           "tunnel service");
        return;
    }
    const uid_t uid = credentials->first;
    if (!m_limits.admit(uid)) {
        qCWarning(lcService) << "refused a control connection: too many connections (uid" << uid
                             << ")";
        refuseAndClose(fd, "Too many connections to the tunnel service");
        return;
    }
    auto* client = new ControlClient(
        fd, uid, [this](ControlClient& c, const json& request) { return handle(c, request); },
        this);
    m_clients.append(client);
    connect(client, &ControlClient::closed, this, [this](ControlClient* gone) {
        if (m_clients.removeAll(gone) > 0)
            m_limits.release(gone->uid());
        gone->deleteLater();
    });
}

void ControlServer::broadcast(const QString& identifier, uid_t owner, int status,
                              const QString& error) {
    json event = {
        {"event", "status"}, {"identifier", identifier.toStdString()}, {"status", status}};
    if (!error.isEmpty())
        event["error"] = error.toStdString();
    for (ControlClient* client : std::as_const(m_clients))
        if (client->uid() == owner || client->uid() == 0)
            client->send(event);
}

json ControlServer::handle(ControlClient& client, const json& request) {
    const uid_t caller = client.uid();
    json reply = {{"id", echoedId(request)}};
    auto fail = [&](const QString& message) {
        reply["ok"] = false;
        reply["error"] = message.toStdString();
        return reply;
    };
    const auto opIt = request.find("op");
    if (opIt == request.end() || !opIt->is_string())
        return fail(QStringLiteral("The request has no operation"));
    const std::string& op = opIt->get_ref<const std::string&>();
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
        for (const auto& record : m_service.configurations(caller))
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
        auto saved = m_service.save(*record, caller);
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
        if (op == "load") {
            const auto record = m_service.find(*id, caller);
            if (!record)
                return fail(QStringLiteral("No such configuration"));
            reply["ok"] = true;
            reply["configuration"] = m_service.withStatus(*record);
            return reply;
        }
        std::expected<void, QString> done;
        if (op == "remove")
            done = m_service.remove(*id, caller);
        else if (op == "start")
            done = m_service.start(*id, caller);
        else
            done = m_service.stop(*id, caller);
        if (!done)
            return fail(done.error());
        reply["ok"] = true;
        return reply;
    }
    return fail(
        QStringLiteral("Unknown operation \"%1\"").arg(QString::fromStdString(op).left(40)));
}

} // namespace veloxa::tunnel
