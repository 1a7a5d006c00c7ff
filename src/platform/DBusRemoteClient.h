#pragma once

#include "app/RemoteClient.h"

#include <QDBusConnection>
#include <QStringList>

namespace veloxa {

// The running client through its session-bus interface (ClientBusService).
class DBusRemoteClient : public RemoteClient {
public:
    // `startCommand`: the program and arguments that start the client without its window.
    DBusRemoteClient(QDBusConnection bus, QStringList startCommand);

    bool running() override;
    bool start() override;
    std::expected<ClientControl::Snapshot, QString> snapshot() override;
    std::optional<QString> request(Action action, const QString& region) override;

    static constexpr int startTimeoutMs = 20000;
    // A running client answers at once; one that hangs must not hold a --wait for D-Bus's
    // default 25 s per poll.
    static constexpr int snapshotTimeoutMs = 3000;

private:
    QDBusConnection m_bus;
    QStringList m_startCommand;
};

} // namespace veloxa
