#include "SingboxTunnelContainer.h"

#include "TunnelLog.h"

#include <QPointer>

namespace veloxa {

namespace {
// The statistics call over a connection; delivery failures are only logged.
class StatsProxy : public TunnelXPCProtocol {
public:
    explicit StatsProxy(XPCConnection* connection) : m_connection(connection) {}
    void getRuntimeStats(std::function<void(std::optional<QByteArray>)> reply) override {
        auto logError = [](const QString& error) {
            qCCritical(lcSingboxTunnel).noquote() << "xpcProxy: remoteObjectProxy error:" << error;
        };
        if (!m_connection)
            return logError(QStringLiteral("The connection is gone"));
        m_connection->send(QByteArrayLiteral("{\"op\":\"getRuntimeStats\"}"), std::move(reply),
                           logError);
    }

private:
    QPointer<XPCConnection> m_connection;
};
} // namespace

SingboxTunnelContainer::SingboxTunnelContainer(std::shared_ptr<TunnelProviderManager> provider,
                                               Bundle bundle, Connect connect)
    : m_provider(std::move(provider)), m_bundle(std::move(bundle)), m_connect(std::move(connect)) {}

std::shared_ptr<SingboxTunnelContainer>
SingboxTunnelContainer::create(std::shared_ptr<TunnelProviderManager> provider, Bundle bundle,
                               Connect connect) {
    std::shared_ptr<SingboxTunnelContainer> container(
        new SingboxTunnelContainer(std::move(provider), std::move(bundle), std::move(connect)));
    container->m_status = container->currentSystemStatus();
    return container;
}

TunnelStatus SingboxTunnelContainer::currentSystemStatus() {
    const TunnelProviderSession* session = m_provider->connection();
    return tunnelstatus::fromVPNStatus(session ? session->status() : int(VPNStatus::invalid));
}

std::optional<QString> SingboxTunnelContainer::lastDisconnectError() const {
    const TunnelProviderSession* session = m_provider->connection();
    return session ? session->lastDisconnectError() : std::nullopt;
}

void SingboxTunnelContainer::startActivation(Completion done) {
    if (!m_provider->isEnabled) {
        qCCritical(lcSingboxTunnel)
            << "startActivation: tunnelProvider disabled, enabling + saving first";
        m_provider->isEnabled = true;
        std::weak_ptr<SingboxTunnelContainer> weak = weak_from_this();
        m_provider->saveToPreferences([weak, done](std::optional<QString> error) {
            if (error) {
                qCCritical(lcSingboxTunnel).noquote()
                    << "startActivation: saveToPreferences failed:" << *error;
                return done(error);
            }
            if (auto self = weak.lock())
                self->startActivation(done);
        });
        return;
    }
    TunnelProviderSession* session = m_provider->connection();
    if (!session) {
        qCCritical(lcSingboxTunnel)
            << "startActivation: connection is not an NETunnelProviderSession (stale manager?)";
        m_status = TunnelStatus::Inactive;
        return done(QStringLiteral("Could not start tunnel session"));
    }
    m_status = TunnelStatus::Activating;
    std::weak_ptr<SingboxTunnelContainer> weak = weak_from_this();
    auto failed = [weak, done](const QString& error) {
        qCCritical(lcSingboxTunnel).noquote()
            << "startActivation: session.startTunnel() threw:" << error;
        if (auto self = weak.lock())
            self->m_status = TunnelStatus::Inactive;
        done(error);
    };
    const auto immediate = session->startTunnel([failed, done](std::optional<QString> error) {
        if (error)
            return failed(*error);
        qCCritical(lcSingboxTunnel) << "startActivation: session.startTunnel() called";
        done(std::nullopt);
    });
    if (immediate)
        failed(*immediate);
}

void SingboxTunnelContainer::stopActivation() {
    if (TunnelProviderSession* session = m_provider->connection())
        session->stopTunnel();
}

void SingboxTunnelContainer::refreshStatus() {
    const TunnelStatus next = currentSystemStatus();
    if (next == TunnelStatus::Inactive && m_status != TunnelStatus::Inactive && m_xpc) {
        // The statistics channel closes once, on the move into inactive.
        m_xpc->invalidate();
        m_xpc.reset();
    }
    m_status = next;
}

void SingboxTunnelContainer::clearConnection(XPCConnection* which) {
    if (m_xpc.get() == which)
        m_xpc.reset();
}

std::shared_ptr<TunnelXPCProtocol> SingboxTunnelContainer::xpcProxy() {
    if (!m_xpc) {
        const auto appGroup = m_bundle.stringValue(QStringLiteral("AppGroupIdentifier"));
        if (!appGroup) {
            qCCritical(lcSingboxTunnel) << "xpcProxy: missing app group id";
            return nullptr;
        }
        const QString serviceName = *appGroup + QStringLiteral(".network-extension");
        qCCritical(lcSingboxTunnel).noquote()
            << "xpcProxy: creating NSXPCConnection for" << serviceName;
        auto* connection = m_connect(serviceName);
        std::weak_ptr<SingboxTunnelContainer> weak = weak_from_this();
        connection->setInvalidationHandler([weak, connection] {
            qCCritical(lcSingboxTunnel) << "xpcProxy: connection invalidated";
            if (auto self = weak.lock())
                self->clearConnection(connection);
        });
        connection->setInterruptionHandler([weak, connection] {
            qCCritical(lcSingboxTunnel) << "xpcProxy: connection interrupted";
            if (auto self = weak.lock())
                self->clearConnection(connection);
        });
        connection->resume();
        m_xpc.reset(connection);
    }
    return std::make_shared<StatsProxy>(m_xpc.get());
}

void SingboxTunnelContainer::getRuntimeTunnelConfiguration(
    std::function<void(std::optional<SingboxRuntimeStats>)> done) {
    const auto proxy = xpcProxy();
    if (!proxy) {
        qCCritical(lcSingboxTunnel) << "getRuntimeTunnelConfiguration: xpcProxy() returned nil";
        return done(std::nullopt);
    }
    proxy->getRuntimeStats([done](std::optional<QByteArray> data) {
        if (!data) {
            qCCritical(lcSingboxTunnel)
                << "getRuntimeTunnelConfiguration: getRuntimeStats returned nil data";
            return done(std::nullopt);
        }
        const auto stats = SingboxRuntimeStats::fromJson(*data);
        if (!stats) {
            qCCritical(lcSingboxTunnel).noquote()
                << QStringLiteral("getRuntimeTunnelConfiguration: undecodable data, %1 bytes")
                       .arg(data->size());
            return done(std::nullopt);
        }
        qCCritical(lcSingboxTunnel).noquote()
            << QStringLiteral("getRuntimeTunnelConfiguration: rxBytes=%1 txBytes=%2")
                   .arg(stats->rxBytes)
                   .arg(stats->txBytes);
        done(stats);
    });
}

} // namespace veloxa
