#pragma once

#include "ClientLimits.h"
#include "PeerPolicy.h"
#include "TunnelService.h"
#include "UnixListener.h"

namespace veloxa::tunnel {

// The statistics service: a client writes {"op":"getRuntimeStats"} and a newline and gets
// one line back, {"rx_bytes":…,"tx_bytes":…}, the traffic of the connection that is up, or
// null when there is nothing to read (or the connection is another user's). Connections
// stay open for further requests.
class StatsServer : public QObject {
    Q_OBJECT
public:
    StatsServer(TunnelService& service, PeerPolicy policy, ClientLimits& limits,
                QObject* parent = nullptr);

    std::expected<void, QString> listen(const QString& path, int mode, long group);

private:
    void onAccepted(int fd);
    QByteArray answer(uid_t caller);

    TunnelService& m_service;
    PeerPolicy m_policy;
    ClientLimits& m_limits;
    UnixListener m_listener;
};

} // namespace veloxa::tunnel
