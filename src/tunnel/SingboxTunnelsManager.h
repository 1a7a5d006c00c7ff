#pragma once

#include "SingboxTunnelConfiguration.h"
#include "SingboxTunnelContainer.h"
#include "SingboxTunnelsManagerError.h"

#include <QObject>
#include <expected>

namespace veloxa {

class TunnelSystem;

// The client's side of the stored VPN configurations that belong to its tunnel
// extension: wraps each in a container, creates, updates, removes and starts them, and
// keeps every container's status in step with the service's status changes.
class SingboxTunnelsManager : public QObject,
                              public std::enable_shared_from_this<SingboxTunnelsManager> {
    Q_OBJECT
public:
    using Pointer = std::shared_ptr<SingboxTunnelsManager>;
    using Container = std::shared_ptr<SingboxTunnelContainer>;

    // Builds a manager from a load of all configurations (or fails with the load's error),
    // keeping those whose provider is this application's extension, in order.
    static void create(const TunnelProviderManager::Managers& loaded,
                       const std::optional<QString>& loadError, TunnelSystem& system, Bundle bundle,
                       const std::function<void(std::expected<Pointer, QString>)>& done);

    const QList<Container>& tunnels() const { return m_tunnels; }
    QString extensionBundleIdentifier() const;

    void add(const SingboxTunnelConfiguration& configuration,
             std::function<void(std::expected<Container, SingboxTunnelsManagerError>)> done);
    void modify(const Container& container, const SingboxTunnelConfiguration& configuration,
                std::function<void(std::optional<SingboxTunnelsManagerError>)> done);
    // Passes the service's error on unchanged.
    void remove(const Container& container, std::function<void(std::optional<QString>)> done);
    void startActivation(const Container& container,
                         std::function<void(std::optional<QString>)> done);

private:
    SingboxTunnelsManager(TunnelSystem& system, Bundle bundle);
    Container makeContainer(std::shared_ptr<TunnelProviderManager> provider) const;
    void fill(TunnelProviderManager& provider,
              const SingboxTunnelConfiguration& configuration) const;

    TunnelSystem& m_system;
    Bundle m_bundle;
    QList<Container> m_tunnels;
};

} // namespace veloxa
