#pragma once

#include "DeviceConfig.h"
#include "DeviceSummary.h"

namespace veloxa {

// The signed-in account as the service sees it now.
struct MeResult {
    QString email;
    QString status;
    std::optional<QString> expiresAt; // interpreted by InternetDateTime::parse
    QList<DeviceSummary> devices;
    QList<DeviceConfig> configs;

    static MeResult fromJson(const JsonReader& in);
    nlohmann::json toJson() const;
    bool operator==(const MeResult&) const = default;
};

} // namespace veloxa
