#pragma once

#include "PeerPolicy.h"
#include "TunnelService.h"

#include <QLocalServer>
#include <QPointer>

class QLocalSocket;

namespace veloxa::tunnel {

// The control socket: newline-framed JSON requests ({"id","op",…}) answered in order,
// and status events pushed to every client. A malformed or oversized frame gets an error
// reply and the connection is closed; nothing a client sends stops the service.
class ControlServer : public QObject {
    Q_OBJECT
public:
    ControlServer(TunnelService& service, ConfigurationStore& store, PeerPolicy policy,
                  QString serviceId, QString version, QObject* parent = nullptr);
    ~ControlServer() override;

    // Listens at `path` with the given file mode (and group, when >= 0).
    std::expected<void, QString> listen(const QString& path, int mode, long group);
    qsizetype clientCount() const { return m_clients.size(); }

private:
    void onNewConnection();
    void onReadable(QLocalSocket* socket);
    nlohmann::json handle(const nlohmann::json& request);
    void broadcast(const QString& identifier, int status, const QString& error);
    static void send(QLocalSocket* socket, const nlohmann::json& frame);

    TunnelService& m_service;
    ConfigurationStore& m_store;
    PeerPolicy m_policy;
    QString m_serviceId;
    QString m_version;
    QLocalServer m_server;
    QList<QPointer<QLocalSocket>> m_clients;
};

} // namespace veloxa::tunnel
