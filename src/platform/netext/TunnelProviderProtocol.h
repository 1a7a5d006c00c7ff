#pragma once

#include <QMap>
#include <QString>

namespace veloxa {

// What a VPN configuration hands to the tunnel provider: whose extension runs it, the
// server it names and the provider's own settings.
struct TunnelProviderProtocol {
    QString providerBundleIdentifier;
    QString serverAddress;
    QMap<QString, QString> providerConfiguration;

    bool operator==(const TunnelProviderProtocol&) const = default;
};

} // namespace veloxa
