#pragma once

#include "api/JsonReader.h"

#include <QMap>

namespace veloxa {

// One VPN configuration as the tunnel service stores and sends it. The provider
// configuration holds the tunnel engine's document under "SingboxConfig".
struct TunnelConfigurationRecord {
    QString identifier; // assigned by the service; empty for a new configuration
    QString localizedDescription;
    bool isEnabled = false;
    QString providerBundleIdentifier;
    QString serverAddress;
    QMap<QString, QString> providerConfiguration;

    static constexpr const char* engineConfigKey = "SingboxConfig";

    // "identifier" may be missing (a new configuration); every other key is required.
    static TunnelConfigurationRecord fromJson(const JsonReader& in);
    nlohmann::json toJson() const;
    bool operator==(const TunnelConfigurationRecord&) const = default;

    // The TUN interface named by the engine document's first tun inbound, if any.
    std::optional<QString> tunInterfaceName() const;
};

} // namespace veloxa
