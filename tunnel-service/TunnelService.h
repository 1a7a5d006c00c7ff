#pragma once

#include "ConfigurationStore.h"
#include "EngineProcess.h"
#include "ServiceOptions.h"
#include "TrafficCounters.h"
#include "platform/ipc/ControlProtocol.h"

#include <QHash>
#include <QObject>
#include <QTimer>
#include <memory>

namespace veloxa::tunnel {

// Connection control for the stored configurations: at most one runs at a time. Status
// values use the VPN numbering (1 disconnected, 2 connecting, 3 connected, 4 reasserting,
// 5 disconnecting); every change is announced with statusChanged, with the owner of the
// configuration so that only they (and root) hear of it. Callers act only on their own
// configurations; root acts on all.
class TunnelService : public QObject {
    Q_OBJECT
public:
    // The shared numbering, as plain numbers for the status table and the wire.
    enum Status {
        disconnected = int(VPNStatus::disconnected),
        connecting = int(VPNStatus::connecting),
        connected = int(VPNStatus::connected),
        reasserting = int(VPNStatus::reasserting),
        disconnecting = int(VPNStatus::disconnecting)
    };
    // Waits between restarts of an engine that died while connected, the last one repeated
    // until the engine is back or the user disconnects: the service never gives up on its
    // own, as that would release the hold on the user's traffic.
    static constexpr int restartDelaysMs[] = {250, 1000, 2000, 4000, 8000, 16000, 30000};
    // An engine that stays up this long after a restart counts as recovered.
    static constexpr int stableAfterMs = 10000;
    // How often the running tunnel's counters are read, so an engine that dies loses little.
    static constexpr int sampleEveryMs = 1000;

    TunnelService(ServiceOptions options, ConfigurationStore& store, QObject* parent = nullptr);
    ~TunnelService() override;

    int status(const QString& identifier) const;
    nlohmann::json withStatus(const TunnelConfigurationRecord& record) const;

    QList<TunnelConfigurationRecord> configurations(uid_t caller) const;
    std::optional<TunnelConfigurationRecord> find(const QString& identifier, uid_t caller) const;
    std::expected<TunnelConfigurationRecord, QString> save(TunnelConfigurationRecord record,
                                                           uid_t caller);
    std::expected<void, QString> remove(const QString& identifier, uid_t caller);
    // Fails at once when the configuration, its settings or the engine are not usable;
    // otherwise the start is queued and its progress arrives as status changes.
    std::expected<void, QString> start(const QString& identifier, uid_t caller);
    std::expected<void, QString> stop(const QString& identifier, uid_t caller);

    // At start-up: removes what a killed service and engine left behind (engine files,
    // and through the built-in engine's ledger what it set up) and brings back the
    // connection that was up, with traffic held meanwhile.
    void recover();
    // Stops the engine and waits for it (service shut-down); the connection is remembered
    // for the next start within this boot.
    void shutdown();
    // Ends the service for the next one (an upgrade): a built-in engine is killed so that
    // its hold on the connection's traffic stays, and the next service resumes it. Other
    // engines stop as on shut-down.
    void handOver();
    // The service's exit status after a hand-over; its unit starts it again on it.
    static constexpr int exitHandedOver = 75;

    // The traffic of the connection that is up, over all its engine runs, when `caller`
    // may see it.
    std::optional<Traffic> traffic(uid_t caller);

signals:
    void statusChanged(const QString& identifier, uid_t owner, int status, const QString& error);

private:
    bool visible(const QString& identifier, uid_t caller) const;
    uid_t ownerOf(const QString& identifier) const;
    std::expected<QString, QString> checkSettings(const TunnelConfigurationRecord& record) const;
    void setStatus(const QString& identifier, int status, const QString& error = {});
    // fresh: the user's start; restart: after the engine died; restore: at service
    // start-up. The last two continue the connection (the built-in engine resumes).
    enum class Launch { fresh, restart, restore };
    void launch(const QString& identifier, Launch mode);
    void stopActive();
    void onEngineReady();
    void onEngineFinished(bool wasReady, const QString& detail, int exitCode);
    void scheduleRestart();
    // The active connection ends (with `error` for the user, if any) and a pending start
    // runs; `leftovers`: the built-in engine's ledger is replayed first.
    void launchPendingOrIdle(bool leftovers, const QString& error = {});
    void sampleTraffic();
    // Replays the built-in engine's ledger: everything, or only what lived for the run.
    // A replay that fails leaves the ledger, and the next one (every 30 s while idle, before
    // the next run, or at the next service start) goes on from there.
    void cleanUp(bool keepConnection);
    void writeMemo() const;
    void removeMemo() const;

    ServiceOptions m_options;
    ConfigurationStore& m_store;
    QHash<QString, int> m_status;
    QHash<QString, uid_t> m_owners; // of every configuration with a status, also once removed
    // The configuration whose engine runs, is starting, restarting or stopping.
    QString m_activeId;
    QString m_activeInterface; // where its counters are read, once its engine is ready
    std::unique_ptr<EngineProcess> m_engine;
    bool m_stopRequested = false;
    int m_restartAttempt = 0;
    QTimer m_restartTimer;
    QTimer m_stableTimer;
    QTimer m_sampleTimer;
    // Replays a ledger that an unfinished cleanup left while no connection runs.
    QTimer m_cleanupRetry;
    ConnectionTraffic m_traffic;
    // Started while another engine was still stopping.
    QString m_pendingStart;
};

} // namespace veloxa::tunnel
