#pragma once

#include "TunnelProviderProtocol.h"
#include "TunnelProviderSession.h"

#include <QList>
#include <nlohmann/json.hpp>

#include <expected>
#include <functional>
#include <memory>
#include <optional>

namespace veloxa {

class TunnelServiceClient;
struct TunnelConfigurationRecord;

// One VPN configuration in the tunnel service's store, shaped like the system's tunnel
// provider manager: edit the properties, then save, load or remove. Completions run later
// on the main thread with an error description, or nothing on success.
class TunnelProviderManager : public std::enable_shared_from_this<TunnelProviderManager> {
public:
    using Completion = std::function<void(std::optional<QString> error)>;
    using Managers = QList<std::shared_ptr<TunnelProviderManager>>;

    static std::shared_ptr<TunnelProviderManager> create(TunnelServiceClient& client);
    // Every configuration in the store, or an error.
    static void loadAllFromPreferences(TunnelServiceClient& client,
                                       std::function<void(Managers, std::optional<QString>)> done);

    QString localizedDescription;
    std::optional<TunnelProviderProtocol> protocolConfiguration;
    bool isEnabled = false;

    // Empty until the configuration is first saved.
    const QString& identifier() const { return m_identifier; }
    // The tunnel-provider session of a saved configuration; nothing for an unsaved one.
    TunnelProviderSession* connection();

    void saveToPreferences(Completion done);
    void loadFromPreferences(Completion done);
    void removeFromPreferences(Completion done);

    void apply(const TunnelConfigurationRecord& record);

private:
    explicit TunnelProviderManager(TunnelServiceClient& client);
    TunnelConfigurationRecord record() const;
    // A reply handler that copies the stored configuration back into this object.
    std::function<void(std::expected<nlohmann::json, QString>)> applyingReply(Completion done);

    TunnelServiceClient& m_client;
    QString m_identifier;
    std::unique_ptr<TunnelProviderSession> m_session;
};

} // namespace veloxa
