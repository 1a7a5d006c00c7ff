#pragma once

#include "ConfigurationStore.h"
#include "EngineProcess.h"
#include "ServiceOptions.h"

#include <QHash>
#include <QObject>
#include <QTimer>
#include <memory>

namespace veloxa::tunnel {

// Connection control for the stored configurations: at most one runs at a time. Status
// values use the VPN numbering (1 disconnected, 2 connecting, 3 connected, 4 reasserting,
// 5 disconnecting); every change is announced with statusChanged.
class TunnelService : public QObject {
    Q_OBJECT
public:
    enum Status {
        disconnected = 1,
        connecting = 2,
        connected = 3,
        reasserting = 4,
        disconnecting = 5
    };
    // Waits between restarts of an engine that died while connected; then it gives up.
    static constexpr int restartDelaysMs[] = {250, 1000, 2000};
    // An engine that stays up this long after a restart counts as recovered.
    static constexpr int stableAfterMs = 10000;

    TunnelService(ServiceOptions options, ConfigurationStore& store, QObject* parent = nullptr);
    ~TunnelService() override;

    int status(const QString& identifier) const;
    nlohmann::json withStatus(const TunnelConfigurationRecord& record) const;

    std::expected<TunnelConfigurationRecord, QString> save(TunnelConfigurationRecord record);
    std::expected<void, QString> remove(const QString& identifier);
    // Fails at once when the configuration or the engine is missing; otherwise the start is
    // queued and its progress arrives as status changes.
    std::expected<void, QString> start(const QString& identifier);
    std::expected<void, QString> stop(const QString& identifier);
    // Stops the engine and waits for it (service shut-down).
    void shutdown();

    // The TUN interface of the configuration that is running, if it names one.
    std::optional<QString> activeInterface() const;

signals:
    void statusChanged(const QString& identifier, int status, const QString& error);

private:
    void setStatus(const QString& identifier, int status, const QString& error = {});
    void launch(const QString& identifier);
    void stopActive();
    void onEngineReady();
    void onEngineFinished(bool wasReady, const QString& detail);
    void scheduleRestart(const QString& detail);
    void launchPendingOrIdle();
    QString engineConfigPath(const QString& identifier) const;

    ServiceOptions m_options;
    ConfigurationStore& m_store;
    QHash<QString, int> m_status;
    // The configuration whose engine runs, is starting, restarting or stopping.
    QString m_activeId;
    std::unique_ptr<EngineProcess> m_engine;
    bool m_stopRequested = false;
    int m_restartAttempt = 0;
    QTimer m_restartTimer;
    QTimer m_stableTimer;
    // Started while another engine was still stopping.
    QString m_pendingStart;
};

} // namespace veloxa::tunnel
