#include "SingboxTunnelsManager.h"

#include "TunnelLog.h"
#include "platform/netext/TunnelConfigurationRecord.h"
#include "platform/netext/TunnelSystem.h"

namespace veloxa {

SingboxTunnelsManager::SingboxTunnelsManager(TunnelSystem& system, Bundle bundle)
    : m_system(system), m_bundle(std::move(bundle)) {}

SingboxTunnelsManager::Container
SingboxTunnelsManager::makeContainer(std::shared_ptr<TunnelProviderManager> provider) const {
    TunnelSystem* system = &m_system;
    return SingboxTunnelContainer::create(
        std::move(provider), m_bundle,
        [system](const QString& name) { return system->connectionToService(name); });
}

QString SingboxTunnelsManager::extensionBundleIdentifier() const {
    return m_bundle.bundleIdentifier() + QStringLiteral(".network-extension");
}

void SingboxTunnelsManager::create(
    const TunnelProviderManager::Managers& loaded, const std::optional<QString>& loadError,
    TunnelSystem& system, Bundle bundle,
    const std::function<void(std::expected<Pointer, QString>)>& done) {
    if (loadError)
        return done(std::unexpected(*loadError));
    Pointer manager(new SingboxTunnelsManager(system, std::move(bundle)));
    const QString ours = manager->extensionBundleIdentifier();
    for (const auto& provider : loaded) {
        if (provider && provider->protocolConfiguration &&
            provider->protocolConfiguration->providerBundleIdentifier == ours)
            manager->m_tunnels.append(manager->makeContainer(provider));
    }
    std::weak_ptr<SingboxTunnelsManager> weak = manager;
    connect(&system, &TunnelSystem::statusDidChange, manager.get(), [weak] {
        if (auto self = weak.lock())
            for (const auto& container : self->m_tunnels)
                container->refreshStatus();
    });
    done(manager);
}

void SingboxTunnelsManager::fill(TunnelProviderManager& provider,
                                 const SingboxTunnelConfiguration& configuration) const {
    provider.localizedDescription = configuration.name;
    provider.protocolConfiguration = TunnelProviderProtocol{
        extensionBundleIdentifier(),
        configuration.name,
        {{QLatin1String(TunnelConfigurationRecord::engineConfigKey), configuration.configJSON}}};
    provider.isEnabled = true;
}

void SingboxTunnelsManager::add(
    const SingboxTunnelConfiguration& configuration,
    std::function<void(std::expected<Container, SingboxTunnelsManagerError>)> done) {
    auto provider = m_system.makeManager();
    fill(*provider, configuration);
    std::weak_ptr<SingboxTunnelsManager> weak = weak_from_this();
    provider->saveToPreferences([weak, provider, done](std::optional<QString> error) {
        auto self = weak.lock();
        if (!self)
            return; // the manager is gone: nothing further happens
        if (error) {
            qCCritical(lcSingboxTunnel).noquote() << "add: saveToPreferences failed:" << *error;
            return done(std::unexpected(SingboxTunnelsManagerError::systemErrorOnAddTunnel));
        }
        provider->loadFromPreferences([weak, provider, done](std::optional<QString> loadError) {
            auto self = weak.lock();
            if (!self)
                return;
            if (loadError)
                qCCritical(lcSingboxTunnel).noquote()
                    << "add: loadFromPreferences after save failed:" << *loadError;
            auto container = self->makeContainer(provider);
            self->m_tunnels.append(container);
            done(container);
        });
    });
}

void SingboxTunnelsManager::modify(
    const Container& container, const SingboxTunnelConfiguration& configuration,
    std::function<void(std::optional<SingboxTunnelsManagerError>)> done) {
    auto provider = container->tunnelProvider();
    fill(*provider, configuration);
    std::weak_ptr<SingboxTunnelsManager> weak = weak_from_this();
    provider->saveToPreferences([weak, provider, done](std::optional<QString> error) {
        if (!weak.lock())
            return;
        if (error) {
            qCCritical(lcSingboxTunnel).noquote() << "modify: saveToPreferences failed:" << *error;
            return done(SingboxTunnelsManagerError::systemErrorOnModifyTunnel);
        }
        provider->loadFromPreferences([weak, done](std::optional<QString> loadError) {
            if (!weak.lock())
                return;
            if (loadError)
                qCCritical(lcSingboxTunnel).noquote()
                    << "modify: loadFromPreferences after save failed:" << *loadError;
            done(std::nullopt);
        });
    });
}

void SingboxTunnelsManager::remove(const Container& container,
                                   std::function<void(std::optional<QString>)> done) {
    std::weak_ptr<SingboxTunnelsManager> weak = weak_from_this();
    container->tunnelProvider()->removeFromPreferences(
        [weak, container, done](std::optional<QString> error) {
            if (error)
                return done(error);
            if (auto self = weak.lock())
                self->m_tunnels.removeIf(
                    [&](const Container& c) { return c.get() == container.get(); });
            done(std::nullopt);
        });
}

void SingboxTunnelsManager::startActivation(const Container& container,
                                            std::function<void(std::optional<QString>)> done) {
    container->startActivation([done](std::optional<QString> error) {
        if (error)
            qCCritical(lcSingboxTunnel).noquote() << "startActivation(of:):" << *error;
        done(error);
    });
}

} // namespace veloxa
