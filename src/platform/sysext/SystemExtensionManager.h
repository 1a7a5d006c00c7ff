#pragma once

#include "SystemExtensionRequest.h"

#include <QList>
#include <QObject>

namespace veloxa {

class TunnelServiceClient;

// Activation of the tunnel extension on Linux, where the extension is the tunnel service:
// it needs the user's approval while no service answers (the user enables it with
// `systemctl enable --now veloxa-tunnel`), asks whether to replace a running service of
// another version, and finishes once the service answers.
class SystemExtensionManager : public QObject {
    Q_OBJECT
public:
    SystemExtensionManager(TunnelServiceClient& client, QString bundledVersion,
                           QObject* parent = nullptr);

    static SystemExtensionManager& shared();
    void submitRequest(const std::shared_ptr<SystemExtensionRequest>& request);

private:
    void check(const std::shared_ptr<SystemExtensionRequest>& request);

    TunnelServiceClient& m_client;
    QString m_bundledVersion;
    // Requests waiting for the service to appear.
    QList<std::shared_ptr<SystemExtensionRequest>> m_waiting;
};

} // namespace veloxa
