#pragma once

#include "ClientLimits.h"
#include "ControlClient.h"
#include "PeerPolicy.h"
#include "TunnelService.h"
#include "UnixListener.h"

namespace veloxa::tunnel {

// The control socket: newline-framed JSON requests ({"id","op",…}) answered in order,
// and status events pushed to the clients allowed to see them. Each user sees and acts on
// the configurations they saved (root on all). A malformed or oversized frame gets an
// error reply and the connection is closed; nothing a client sends stops the service.
class ControlServer : public QObject {
    Q_OBJECT
public:
    ControlServer(TunnelService& service, PeerPolicy policy, ClientLimits& limits,
                  QString serviceId, QString version, QObject* parent = nullptr);
    ~ControlServer() override;

    // Listens at `path` with the given file mode (and group, when >= 0).
    std::expected<void, QString> listen(const QString& path, int mode, long group);
    qsizetype clientCount() const { return m_clients.size(); }

private:
    void onAccepted(int fd);
    nlohmann::json handle(ControlClient& client, const nlohmann::json& request);
    void broadcast(const QString& identifier, uid_t owner, int status, const QString& error);

    TunnelService& m_service;
    PeerPolicy m_policy;
    ClientLimits& m_limits;
    QString m_serviceId;
    QString m_version;
    UnixListener m_listener;
    QList<ControlClient*> m_clients;
};

} // namespace veloxa::tunnel
