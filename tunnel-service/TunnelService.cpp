#include "TunnelService.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QSaveFile>

#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcService, "veloxa.tunnel")

namespace veloxa::tunnel {

TunnelService::TunnelService(ServiceOptions options, ConfigurationStore& store, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_store(store) {
    m_restartTimer.setSingleShot(true);
    connect(&m_restartTimer, &QTimer::timeout, this, [this] {
        if (!m_activeId.isEmpty() && !m_stopRequested)
            launch(m_activeId);
    });
    m_stableTimer.setSingleShot(true);
    m_stableTimer.setInterval(stableAfterMs);
    connect(&m_stableTimer, &QTimer::timeout, this, [this] { m_restartAttempt = 0; });
}

TunnelService::~TunnelService() {
    shutdown();
}

int TunnelService::status(const QString& identifier) const {
    return m_status.value(identifier, disconnected);
}

nlohmann::json TunnelService::withStatus(const TunnelConfigurationRecord& record) const {
    auto json = record.toJson();
    json["status"] = status(record.identifier);
    return json;
}

void TunnelService::setStatus(const QString& identifier, int value, const QString& error) {
    if (m_status.value(identifier, disconnected) == value && error.isEmpty())
        return;
    if (value == disconnected)
        m_status.remove(identifier);
    else
        m_status.insert(identifier, value);
    emit statusChanged(identifier, value, error);
}

QString TunnelService::engineConfigPath(const QString& identifier) const {
    return m_options.runtimeDir + QStringLiteral("/engine-") + identifier + QStringLiteral(".json");
}

std::expected<TunnelConfigurationRecord, QString>
TunnelService::save(TunnelConfigurationRecord record) {
    return m_store.save(std::move(record));
}

std::expected<void, QString> TunnelService::remove(const QString& identifier) {
    if (!m_store.find(identifier))
        return std::unexpected(QStringLiteral("No such configuration"));
    stop(identifier);
    return m_store.remove(identifier);
}

std::expected<void, QString> TunnelService::start(const QString& identifier) {
    const auto record = m_store.find(identifier);
    if (!record)
        return std::unexpected(QStringLiteral("No such configuration"));
    if (!record->isEnabled)
        return std::unexpected(QStringLiteral("The VPN configuration is disabled"));
    const QString document = record->providerConfiguration.value(
        QLatin1String(TunnelConfigurationRecord::engineConfigKey));
    if (document.isEmpty())
        return std::unexpected(QStringLiteral("The VPN configuration has no tunnel settings"));
    if (auto prepared =
            EngineProcess::prepare(m_options.engineCommand, engineConfigPath(identifier));
        !prepared)
        return std::unexpected(prepared.error());

    if (m_activeId.isEmpty()) {
        launch(identifier);
        return {};
    }
    // Another run (or this one, restarting with a new configuration) must end first: both
    // would claim the same interface.
    if (!m_pendingStart.isEmpty() && m_pendingStart != identifier && m_pendingStart != m_activeId)
        setStatus(m_pendingStart, disconnected);
    m_pendingStart = identifier;
    stopActive();
    if (identifier != m_activeId)
        setStatus(identifier, connecting);
    return {};
}

void TunnelService::stopActive() {
    if (m_activeId.isEmpty() || m_stopRequested)
        return;
    m_stopRequested = true;
    m_restartTimer.stop();
    setStatus(m_activeId, disconnecting);
    if (m_engine)
        m_engine->stop();
    else
        launchPendingOrIdle(); // between restart attempts: nothing runs
}

std::expected<void, QString> TunnelService::stop(const QString& identifier) {
    if (!m_store.find(identifier))
        return std::unexpected(QStringLiteral("No such configuration"));
    if (m_pendingStart == identifier && m_activeId != identifier) {
        m_pendingStart.clear();
        setStatus(identifier, disconnected);
        return {};
    }
    if (m_activeId != identifier)
        return {}; // already stopped
    if (m_pendingStart == identifier)
        m_pendingStart.clear();
    stopActive();
    return {};
}

void TunnelService::launch(const QString& identifier) {
    const auto record = m_store.find(identifier);
    const QString path = engineConfigPath(identifier);
    auto prepared = record ? EngineProcess::prepare(m_options.engineCommand, path)
                           : std::unexpected(QStringLiteral("No such configuration"));
    QString error;
    if (prepared) {
        QSaveFile file(path);
        file.setDirectWriteFallback(false);
        if (file.open(QIODevice::WriteOnly)) {
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            file.write(record->providerConfiguration
                           .value(QLatin1String(TunnelConfigurationRecord::engineConfigKey))
                           .toUtf8());
        }
        if (!file.commit())
            error = QStringLiteral("Cannot write the tunnel settings: %1").arg(file.errorString());
    } else {
        error = prepared.error();
    }
    if (!error.isEmpty()) {
        m_activeId.clear();
        m_restartAttempt = 0;
        setStatus(identifier, disconnected, error);
        qCWarning(lcService).noquote() << "start failed:" << error;
        return;
    }

    m_activeId = identifier;
    m_stopRequested = false;
    if (status(identifier) != reasserting)
        setStatus(identifier, connecting);
    prepared->interfaceDir.clear();
    if (auto iface = record->tunInterfaceName())
        prepared->interfaceDir = m_options.sysfsNet + u'/' + *iface;
    prepared->readyTimeoutMs = m_options.readyTimeoutMs;
    prepared->stopGraceMs = m_options.stopGraceMs;
    m_engine = std::make_unique<EngineProcess>(*prepared);
    connect(m_engine.get(), &EngineProcess::ready, this, &TunnelService::onEngineReady);
    connect(m_engine.get(), &EngineProcess::finished, this, &TunnelService::onEngineFinished,
            Qt::QueuedConnection);
    m_engine->start();
}

void TunnelService::onEngineReady() {
    m_stableTimer.start();
    setStatus(m_activeId, connected);
}

void TunnelService::onEngineFinished(bool wasReady, const QString& detail) {
    auto* engine = qobject_cast<EngineProcess*>(sender());
    if (!engine || engine != m_engine.get())
        return;
    m_engine.reset();
    m_stableTimer.stop();
    QFile::remove(engineConfigPath(m_activeId));
    if (m_stopRequested) {
        setStatus(m_activeId, disconnected);
        launchPendingOrIdle();
        return;
    }
    const bool restarting = status(m_activeId) == reasserting;
    if (wasReady || restarting) {
        qCWarning(lcService).noquote() << "engine ended unexpectedly:" << detail;
        scheduleRestart(detail);
        return;
    }
    qCWarning(lcService).noquote() << "engine failed to start:" << detail;
    setStatus(m_activeId, disconnected, detail);
    launchPendingOrIdle();
}

void TunnelService::scheduleRestart(const QString& detail) {
    if (m_restartAttempt >= int(std::size(restartDelaysMs))) {
        setStatus(m_activeId, disconnected, detail);
        launchPendingOrIdle();
        return;
    }
    setStatus(m_activeId, reasserting);
    m_restartTimer.start(restartDelaysMs[m_restartAttempt++]);
}

void TunnelService::launchPendingOrIdle() {
    if (!m_activeId.isEmpty() && status(m_activeId) != disconnected)
        setStatus(m_activeId, disconnected);
    m_activeId.clear();
    m_stopRequested = false;
    m_restartAttempt = 0;
    m_restartTimer.stop();
    const QString next = std::exchange(m_pendingStart, QString());
    if (!next.isEmpty())
        launch(next);
}

void TunnelService::shutdown() {
    m_restartTimer.stop();
    m_pendingStart.clear();
    if (m_engine) {
        m_stopRequested = true;
        m_engine->disconnect(this);
        m_engine->stopAndWait();
        m_engine.reset();
        QFile::remove(engineConfigPath(m_activeId));
    }
    m_activeId.clear();
}

std::optional<QString> TunnelService::activeInterface() const {
    if (m_activeId.isEmpty())
        return std::nullopt;
    const auto record = m_store.find(m_activeId);
    return record ? record->tunInterfaceName() : std::nullopt;
}

} // namespace veloxa::tunnel
