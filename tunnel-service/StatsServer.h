#pragma once

#include "ClientLimits.h"
#include "PeerPolicy.h"
#include "TunnelService.h"
#include "UnixListener.h"

namespace veloxa::tunnel {

// The statistics service: a client writes {"op":"getRuntimeStats"} and a newline and gets
// one line back, {"rx_bytes":…,"tx_bytes":…} from the running tunnel's interface counters,
// or null when there is nothing to read (or the tunnel is another user's). Connections
// stay open for further requests.
class StatsServer : public QObject {
    Q_OBJECT
public:
    StatsServer(TunnelService& service, PeerPolicy policy, ClientLimits& limits, QString sysfsNet,
                QObject* parent = nullptr);

    std::expected<void, QString> listen(const QString& path, int mode, long group);

    // The counters of one interface under a sysfs net root; nothing when unreadable.
    static std::optional<std::pair<quint64, quint64>> readCounters(const QString& sysfsNet,
                                                                   const QString& interface);

private:
    void onAccepted(int fd);
    QByteArray answer(uid_t caller) const;

    TunnelService& m_service;
    PeerPolicy m_policy;
    ClientLimits& m_limits;
    QString m_sysfsNet;
    UnixListener m_listener;
};

} // namespace veloxa::tunnel
