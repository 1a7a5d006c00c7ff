#include "TunnelService.h"

#include "EnginePolicy.h"
#include "json/JsonDepth.h"
#include "platform/netext/InterfaceName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>

Q_LOGGING_CATEGORY(lcService, "veloxa.tunnel")

namespace veloxa::tunnel {

TunnelService::TunnelService(ServiceOptions options, ConfigurationStore& store, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_store(store) {
    m_restartTimer.setSingleShot(true);
    connect(&m_restartTimer, &QTimer::timeout, this, [this] {
        if (!m_activeId.isEmpty() && !m_stopRequested)
            launch(m_activeId, Launch::restart);
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

bool TunnelService::visible(const QString& identifier, uid_t caller) const {
    const auto owner = m_store.ownerOf(identifier);
    return owner && (caller == 0 || *owner == caller);
}

uid_t TunnelService::ownerOf(const QString& identifier) const {
    return m_store.ownerOf(identifier).value_or(m_owners.value(identifier, 0));
}

QList<TunnelConfigurationRecord> TunnelService::configurations(uid_t caller) const {
    return caller == 0 ? m_store.all() : m_store.all(caller);
}

std::optional<TunnelConfigurationRecord> TunnelService::find(const QString& identifier,
                                                             uid_t caller) const {
    return visible(identifier, caller) ? m_store.find(identifier) : std::nullopt;
}

void TunnelService::setStatus(const QString& identifier, int value, const QString& error) {
    if (m_status.value(identifier, disconnected) == value && error.isEmpty())
        return;
    const uid_t owner = ownerOf(identifier);
    if (value == disconnected) {
        m_status.remove(identifier);
    } else {
        m_status.insert(identifier, value);
        m_owners.insert(identifier, owner);
    }
    emit statusChanged(identifier, owner, value, error);
    if (value == disconnected && !m_store.find(identifier))
        m_owners.remove(identifier);
}

QString TunnelService::engineConfigPath(const QString& identifier) const {
    return m_options.runtimeDir + QStringLiteral("/engine-") + identifier + QStringLiteral(".json");
}

std::expected<QString, QString>
TunnelService::checkSettings(const TunnelConfigurationRecord& record) const {
    if (!record.isEnabled)
        return std::unexpected(QStringLiteral("The VPN configuration is disabled"));
    const QString document = record.providerConfiguration.value(
        QLatin1String(TunnelConfigurationRecord::engineConfigKey));
    if (document.isEmpty())
        return std::unexpected(QStringLiteral("The VPN configuration has no tunnel settings"));
    return EnginePolicy::check(document.toStdString());
}

std::expected<TunnelConfigurationRecord, QString>
TunnelService::save(TunnelConfigurationRecord record, uid_t caller) {
    if (!record.identifier.isEmpty() && !visible(record.identifier, caller))
        return std::unexpected(QStringLiteral("No such configuration"));
    return m_store.save(std::move(record), caller);
}

std::expected<void, QString> TunnelService::remove(const QString& identifier, uid_t caller) {
    if (!visible(identifier, caller))
        return std::unexpected(QStringLiteral("No such configuration"));
    stop(identifier, caller);
    return m_store.remove(identifier);
}

std::expected<void, QString> TunnelService::start(const QString& identifier, uid_t caller) {
    const auto record = find(identifier, caller);
    if (!record)
        return std::unexpected(QStringLiteral("No such configuration"));
    const auto interface = checkSettings(*record);
    if (!interface)
        return std::unexpected(interface.error());
    if (auto prepared =
            EngineProcess::prepare(m_options.engineCommand, engineConfigPath(identifier));
        !prepared)
        return std::unexpected(prepared.error());
    for (const QString& other : {m_activeId, m_pendingStart})
        if (!other.isEmpty() && other != identifier && caller != 0 && ownerOf(other) != caller)
            return std::unexpected(
                QStringLiteral("Another user's VPN connection is active on this computer"));

    if (m_activeId.isEmpty()) {
        if (QFileInfo::exists(m_options.sysfsNet + u'/' + *interface))
            return std::unexpected(
                QStringLiteral("The network interface \"%1\" already exists").arg(*interface));
        launch(identifier, Launch::fresh);
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
        launchPendingOrIdle(false); // between restart attempts: nothing runs
}

std::expected<void, QString> TunnelService::stop(const QString& identifier, uid_t caller) {
    if (!visible(identifier, caller))
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

void TunnelService::launch(const QString& identifier, Launch mode) {
    const bool restarting = mode == Launch::restart;
    const auto record = m_store.find(identifier);
    const QString path = engineConfigPath(identifier);
    QString error;
    std::expected<QString, QString> interface = std::unexpected(QString());
    std::expected<EngineProcess::Launch, QString> prepared = std::unexpected(QString());
    if (!record)
        error = QStringLiteral("No such configuration");
    else if (interface = checkSettings(*record); !interface)
        error = interface.error();
    else if (prepared = EngineProcess::prepare(m_options.engineCommand, path); !prepared)
        error = prepared.error();

    const QString interfaceDir = interface ? m_options.sysfsNet + u'/' + *interface : QString();
    bool existed = interface && QFileInfo::exists(interfaceDir);
    if (error.isEmpty() && existed && restarting && m_interfaceIsOurs) {
        cleanUp(*interface, true); // the dead engine's interface; its routes stay in place
        existed = QFileInfo::exists(interfaceDir);
    }
    if (error.isEmpty()) {
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
    }
    if (!error.isEmpty()) {
        qCWarning(lcService).noquote() << "start failed:" << error;
        if (restarting) {
            setStatus(identifier, disconnected, error);
            launchPendingOrIdle(true);
            return;
        }
        setStatus(identifier, disconnected, error);
        removeMemo();
        return;
    }

    if (!restarting)
        m_interfaceIsOurs = false;
    m_activeId = identifier;
    m_activeInterface = *interface;
    m_stopRequested = false;
    if (status(identifier) != reasserting)
        setStatus(identifier, connecting);
    prepared->interfaceDir = interfaceDir;
    prepared->interfaceExisted = existed;
    prepared->readyTimeoutMs = m_options.readyTimeoutMs;
    prepared->stopGraceMs = m_options.stopGraceMs;
    m_engine = std::make_unique<EngineProcess>(*prepared);
    connect(m_engine.get(), &EngineProcess::ready, this, &TunnelService::onEngineReady);
    connect(m_engine.get(), &EngineProcess::finished, this, &TunnelService::onEngineFinished,
            Qt::QueuedConnection);
    m_engine->start();
    writeMemo();
}

void TunnelService::onEngineReady() {
    m_stableTimer.start();
    // Only an interface our engine brought up is ours to remove later.
    if (QFileInfo::exists(m_options.sysfsNet + u'/' + m_activeInterface) &&
        (m_interfaceIsOurs || (m_engine && !m_engine->launch().interfaceExisted)))
        m_interfaceIsOurs = true;
    // The engine has read its settings; the credentials leave the disk.
    QFile::remove(engineConfigPath(m_activeId));
    writeMemo();
    setStatus(m_activeId, connected);
}

void TunnelService::onEngineFinished(bool wasReady, const QString& detail, bool clean) {
    auto* engine = qobject_cast<EngineProcess*>(sender());
    if (!engine || engine != m_engine.get())
        return;
    m_engine.reset();
    m_stableTimer.stop();
    QFile::remove(engineConfigPath(m_activeId));
    if (m_stopRequested) {
        setStatus(m_activeId, disconnected);
        launchPendingOrIdle(!clean);
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
    launchPendingOrIdle(true);
}

void TunnelService::scheduleRestart(const QString& detail) {
    if (m_restartAttempt >= int(std::size(restartDelaysMs))) {
        setStatus(m_activeId, disconnected, detail);
        launchPendingOrIdle(true);
        return;
    }
    // The engine's routing stays in place meanwhile: nothing leaves outside the tunnel.
    setStatus(m_activeId, reasserting);
    m_restartTimer.start(restartDelaysMs[m_restartAttempt++]);
}

void TunnelService::launchPendingOrIdle(bool leftovers) {
    if (!m_activeId.isEmpty() && status(m_activeId) != disconnected)
        setStatus(m_activeId, disconnected);
    if (leftovers && !m_activeId.isEmpty())
        cleanUp(m_interfaceIsOurs ? m_activeInterface : QString(), false);
    removeMemo();
    m_activeId.clear();
    m_activeInterface.clear();
    m_interfaceIsOurs = false;
    m_stopRequested = false;
    m_restartAttempt = 0;
    m_restartTimer.stop();
    const QString next = std::exchange(m_pendingStart, QString());
    if (!next.isEmpty())
        launch(next, Launch::fresh);
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
    // The memo stays: a restarted service brings this connection back.
    m_activeId.clear();
}

std::optional<QString> TunnelService::activeInterface(uid_t caller) const {
    if (m_activeId.isEmpty() || m_activeInterface.isEmpty() ||
        (caller != 0 && ownerOf(m_activeId) != caller))
        return std::nullopt;
    return m_activeInterface;
}

void TunnelService::cleanUp(const QString& interface, bool keepRoutes) const {
    if (m_options.cleanupProgram.isEmpty())
        return;
    QStringList arguments{QStringLiteral("cleanup")};
    if (!interface.isEmpty())
        arguments << QStringLiteral("--interface") << interface;
    if (keepRoutes)
        arguments << QStringLiteral("--keep-routes");
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(m_options.cleanupProgram, arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
    }
    for (const QByteArray& line : process.readAll().split('\n'))
        if (!line.trimmed().isEmpty())
            qCInfo(lcService).noquote() << QString::fromUtf8(line.trimmed()).left(200);
}

void TunnelService::writeMemo() const {
    nlohmann::json memo = {{"identifier", m_activeId.toStdString()}};
    if (m_interfaceIsOurs)
        memo["interface"] = m_activeInterface.toStdString();
    QSaveFile file(m_options.connectionMemoPath());
    file.setDirectWriteFallback(false);
    if (file.open(QIODevice::WriteOnly)) {
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        file.write(QByteArray::fromStdString(memo.dump()));
        file.commit();
    }
}

void TunnelService::removeMemo() const {
    QFile::remove(m_options.connectionMemoPath());
}

void TunnelService::recover() {
    const QDir runtime(m_options.runtimeDir);
    for (const QString& name :
         runtime.entryList({QStringLiteral("engine-*.json")}, QDir::Files | QDir::Hidden))
        QFile::remove(runtime.filePath(name)); // credentials left by a service that was killed

    QString identifier, interface;
    QFile memoFile(m_options.connectionMemoPath());
    if (memoFile.open(QIODevice::ReadOnly)) {
        const QByteArray text = memoFile.read(4096);
        const auto memo =
            JsonDepth::parse(std::string_view(text.constData(), std::size_t(text.size())), 2);
        if (memo.is_object()) {
            const auto id = memo.value("identifier", nlohmann::json());
            const auto name = memo.value("interface", nlohmann::json());
            if (id.is_string() && ConfigurationStore::isValidIdentifier(
                                      QString::fromStdString(id.get<std::string>())))
                identifier = QString::fromStdString(id.get<std::string>());
            if (name.is_string() && isValidInterfaceName(name.get_ref<const std::string&>()))
                interface = QString::fromStdString(name.get<std::string>());
        }
    }
    const auto record = identifier.isEmpty() ? std::nullopt : m_store.find(identifier);
    const bool restore = record && checkSettings(*record).has_value();
    cleanUp(interface, restore); // while restoring, the routing keeps traffic in the tunnel
    if (!restore) {
        removeMemo();
        return;
    }
    qCInfo(lcService).noquote() << "restoring the connection that was up:" << identifier;
    launch(identifier, Launch::restore);
}

} // namespace veloxa::tunnel
