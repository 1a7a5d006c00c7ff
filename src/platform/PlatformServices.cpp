#include "PlatformServices.h"

#include "ClientBusService.h"
#include "DBusRemoteClient.h"
#include "FreedesktopNotifier.h"
#include "LibsecretItemStore.h"

namespace veloxa {

std::shared_ptr<SecureItemStore> PlatformServices::secureItemStore() {
    return std::make_shared<LibsecretItemStore>();
}

std::unique_ptr<Notifier> PlatformServices::notifier() {
    return std::make_unique<FreedesktopNotifier>();
}

std::unique_ptr<QObject> PlatformServices::publishControl(ClientControl& control) {
    auto service = std::make_unique<ClientBusService>(control, QDBusConnection::sessionBus());
    service->publish();
    return service;
}

std::unique_ptr<RemoteClient> PlatformServices::remoteClient(QStringList startCommand) {
    return std::make_unique<DBusRemoteClient>(QDBusConnection::sessionBus(),
                                              std::move(startCommand));
}

} // namespace veloxa
