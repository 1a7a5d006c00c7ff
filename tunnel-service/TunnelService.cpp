#include "TunnelService.h"

#include "EnginePolicy.h"
#include "json/JsonDepth.h"

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
    m_cleanupRetry.setSingleShot(true);
    m_cleanupRetry.setInterval(30000);
    connect(&m_cleanupRetry, &QTimer::timeout, this, [this] {
        if (m_activeId.isEmpty() && !m_engine)
            cleanUp(false);
    });
    m_sampleTimer.setInterval(sampleEveryMs);
    connect(&m_sampleTimer, &QTimer::timeout, this, &TunnelService::sampleTraffic);
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
            EngineProcess::prepare(m_options.engineCommand, m_options.engineConfigPath(), {});
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
    if (identifier != m_activeId)
        setStatus(identifier, connecting);
    stopActive(); // between restart attempts this launches the pending start at once
    return {};
}

void TunnelService::stopActive() {
    if (m_activeId.isEmpty() || m_stopRequested)
        return;
    m_stopRequested = true;
    m_restartTimer.stop();
    setStatus(m_activeId, disconnecting);
    if (m_engine)
        m_engine->stop(); // the engine removes everything itself
    else
        launchPendingOrIdle(true); // between restart attempts: the hold goes at once
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
    const bool continuing = mode != Launch::fresh;
    const auto record = m_store.find(identifier);
    const QString path = m_options.engineConfigPath();
    QString error;
    std::expected<QString, QString> interface = std::unexpected(QString());
    std::expected<EngineProcess::Launch, QString> prepared = std::unexpected(QString());
    if (!record)
        error = QStringLiteral("No such configuration");
    else if (interface = checkSettings(*record); !interface)
        error = interface.error();
    else if (prepared =
                 EngineProcess::prepare(m_options.engineCommand, path, m_options.engineStatePath());
             !prepared)
        error = prepared.error();
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
        if (mode == Launch::restart) {
            scheduleRestart(); // traffic stays held; the user decides when to give up
            return;
        }
        m_activeId = identifier;
        launchPendingOrIdle(mode == Launch::restore, error);
        return;
    }

    if (!continuing) {
        m_traffic.reset();
        // What an unfinished cleanup left is replayed before anything new is set up.
        if (QFileInfo::exists(m_options.engineStatePath()))
            cleanUp(false);
    }
    m_activeId = identifier;
    m_activeInterface = *interface;
    m_stopRequested = false;
    if (status(identifier) != reasserting)
        setStatus(identifier, connecting);
    if (prepared->builtIn && continuing)
        prepared->arguments << QStringLiteral("--resume");
    if (!prepared->builtIn) {
        // Other engines may say nothing: their interface appearing is their start.
        prepared->interfaceDir = m_options.sysfsNet + u'/' + *interface;
        prepared->interfaceExisted = QFileInfo::exists(prepared->interfaceDir);
    }
    prepared->interfaceName = *interface;
    prepared->readyTimeoutMs = m_options.readyTimeoutMs;
    prepared->stopGraceMs = m_options.stopGraceMs;
    prepared->killWhenLate = continuing;
    m_engine = std::make_unique<EngineProcess>(*prepared);
    connect(m_engine.get(), &EngineProcess::ready, this, &TunnelService::onEngineReady);
    connect(m_engine.get(), &EngineProcess::finished, this, &TunnelService::onEngineFinished,
            Qt::QueuedConnection);
    m_engine->start();
    writeMemo();
}

void TunnelService::onEngineReady() {
    m_stableTimer.start();
    // The engine has read its settings; the credentials leave the disk.
    QFile::remove(m_options.engineConfigPath());
    sampleTraffic();
    m_sampleTimer.start();
    setStatus(m_activeId, connected);
}

void TunnelService::onEngineFinished(bool wasReady, const QString& detail, int exitCode) {
    auto* engine = qobject_cast<EngineProcess*>(sender());
    if (!engine || engine != m_engine.get())
        return;
    const bool builtIn = engine->launch().builtIn;
    m_engine.reset();
    m_stableTimer.stop();
    m_sampleTimer.stop();
    m_traffic.endRun();
    QFile::remove(m_options.engineConfigPath());
    if (m_stopRequested) {
        launchPendingOrIdle(exitCode != 0);
        return;
    }
    if (wasReady || status(m_activeId) == reasserting ||
        (builtIn && exitCode == EngineProcess::exitResumable)) {
        qCWarning(lcService).noquote() << "engine ended unexpectedly:" << detail;
        scheduleRestart();
        return;
    }
    qCWarning(lcService).noquote() << "engine failed to start:" << detail;
    launchPendingOrIdle(true, detail);
}

void TunnelService::scheduleRestart() {
    // Whatever the engine set up to hold the connection's traffic stays meanwhile.
    setStatus(m_activeId, reasserting);
    const int last = int(std::size(restartDelaysMs)) - 1;
    m_restartTimer.start(restartDelaysMs[std::min(m_restartAttempt, last)]);
    m_restartAttempt = std::min(m_restartAttempt + 1, last);
}

void TunnelService::launchPendingOrIdle(bool leftovers, const QString& error) {
    // Disconnected means released: what held the traffic goes before anyone hears of it.
    if (leftovers && !m_activeId.isEmpty())
        cleanUp(false);
    if (!m_activeId.isEmpty())
        setStatus(m_activeId, disconnected, error);
    removeMemo();
    m_activeId.clear();
    m_activeInterface.clear();
    m_stopRequested = false;
    m_restartAttempt = 0;
    m_restartTimer.stop();
    m_traffic.reset();
    const QString next = std::exchange(m_pendingStart, QString());
    if (!next.isEmpty())
        launch(next, Launch::fresh);
}

void TunnelService::sampleTraffic() {
    if (m_engine && m_engine->isReady())
        m_traffic.sample(readInterfaceCounters(m_options.sysfsNet, m_activeInterface));
}

void TunnelService::shutdown() {
    m_restartTimer.stop();
    m_pendingStart.clear();
    bool leftovers = !m_activeId.isEmpty(); // between restart attempts nothing else removes them
    if (m_engine) {
        m_stopRequested = true;
        m_engine->disconnect(this);
        m_engine->stopAndWait();
        leftovers = !m_engine->exitedCleanly();
        m_engine.reset();
        QFile::remove(m_options.engineConfigPath());
    }
    if (leftovers)
        cleanUp(false);
    // The memo stays: a restarted service brings this connection back.
    m_activeId.clear();
}

void TunnelService::handOver() {
    const bool holding = !m_activeId.isEmpty() && !m_stopRequested;
    if (!holding || (m_engine && !m_engine->launch().builtIn)) {
        shutdown();
        return;
    }
    m_restartTimer.stop();
    m_pendingStart.clear();
    if (m_engine) {
        m_engine->disconnect(this);
        m_engine.reset(); // SIGKILL: the built-in engine leaves its hold on traffic in place
        QFile::remove(m_options.engineConfigPath());
    }
    // The memo and the engine's ledger stay for the next service.
    m_activeId.clear();
}

std::optional<Traffic> TunnelService::traffic(uid_t caller) {
    if (m_activeId.isEmpty() || (caller != 0 && ownerOf(m_activeId) != caller))
        return std::nullopt;
    sampleTraffic();
    return m_traffic.totals();
}

void TunnelService::cleanUp(bool keepConnection) {
    m_cleanupRetry.stop();
    if (m_options.cleanupProgram.isEmpty() ||
        (!m_options.builtInEngine && !QFileInfo::exists(m_options.engineStatePath())))
        return;
    // Another engine cannot resume what the built-in one holds: its hold goes in full.
    keepConnection = keepConnection && m_options.builtInEngine;
    QStringList arguments{QStringLiteral("cleanup"), QStringLiteral("--state"),
                          m_options.engineStatePath()};
    if (keepConnection)
        arguments << QStringLiteral("--keep-connection");
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(m_options.cleanupProgram, arguments);
    if (!process.waitForFinished(m_options.cleanupTimeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        qCWarning(lcService) << "the engine's cleanup did not finish; it is tried again later";
    }
    for (const QByteArray& line : process.readAll().split('\n'))
        if (!line.trimmed().isEmpty())
            qCInfo(lcService).noquote() << QString::fromUtf8(line.trimmed()).left(200);
    if (!keepConnection && QFileInfo::exists(m_options.engineStatePath()))
        m_cleanupRetry.start();
}

void TunnelService::writeMemo() const {
    const nlohmann::json memo = {{"identifier", m_activeId.toStdString()}};
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
    const QString ledger = QFileInfo(m_options.engineStatePath()).fileName();
    for (const QString& name :
         runtime.entryList({QStringLiteral("engine-*.json")}, QDir::Files | QDir::Hidden))
        if (name != ledger)
            QFile::remove(runtime.filePath(name)); // credentials left by a killed service

    QString identifier;
    QFile memoFile(m_options.connectionMemoPath());
    if (memoFile.open(QIODevice::ReadOnly)) {
        const QByteArray text = memoFile.read(4096);
        const auto memo =
            JsonDepth::parse(std::string_view(text.constData(), std::size_t(text.size())), 2);
        const auto id =
            memo.is_object() ? memo.value("identifier", nlohmann::json()) : nlohmann::json();
        if (id.is_string() &&
            ConfigurationStore::isValidIdentifier(QString::fromStdString(id.get<std::string>())))
            identifier = QString::fromStdString(id.get<std::string>());
    }
    const auto record = identifier.isEmpty() ? std::nullopt : m_store.find(identifier);
    const bool restore = record && checkSettings(*record).has_value();
    cleanUp(restore); // while restoring, what holds the traffic stays in place
    if (!restore) {
        removeMemo();
        return;
    }
    qCInfo(lcService).noquote() << "restoring the connection that was up:" << identifier;
    launch(identifier, Launch::restore);
}

} // namespace veloxa::tunnel
