#include "DeviceSummary.h"
#include "JsonReader.h"

namespace veloxa {

DeviceSummary DeviceSummary::fromJson(const JsonReader& in) {
    return {in.requireString("device_uuid"), in.requireString("device_name"),
            in.requireString("platform"),    in.requireStringArray("regions"),
            in.requireString("created_at"),  in.optionalString("last_seen_at")};
}

nlohmann::json DeviceSummary::toJson() const {
    nlohmann::json regionsJson = nlohmann::json::array();
    for (const auto& r : regions)
        regionsJson.push_back(r.toStdString());
    nlohmann::json out = {{"device_uuid", deviceUuid.toStdString()},
                          {"device_name", deviceName.toStdString()},
                          {"platform", platform.toStdString()},
                          {"regions", regionsJson},
                          {"created_at", createdAt.toStdString()}};
    if (lastSeenAt)
        out["last_seen_at"] = lastSeenAt->toStdString();
    return out;
}

size_t qHash(const DeviceSummary& d, size_t seed) {
    return qHashMulti(seed, d.deviceUuid, d.deviceName, d.platform, d.regions, d.createdAt,
                      d.lastSeenAt.value_or(QString()), d.lastSeenAt.has_value());
}

} // namespace veloxa
