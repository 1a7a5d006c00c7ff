#pragma once

#include "DeviceConfig.h"
#include "DeviceSummary.h"

namespace veloxa {

// Body of a successful sign-in or device replacement.
struct LoginResult {
    QString token;
    QString email;
    QString status;
    std::optional<QString> expiresAt;
    QList<DeviceSummary> devices;
    QList<DeviceConfig> configs;

    static LoginResult fromJson(const JsonReader& in);
    nlohmann::json toJson() const;
    bool operator==(const LoginResult&) const = default;
};

} // namespace veloxa
