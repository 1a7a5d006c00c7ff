#include "MeResult.h"
#include "JsonReader.h"

namespace veloxa {

MeResult MeResult::fromJson(const JsonReader& in) {
    return {in.requireString("email"), in.requireString("status"), in.optionalString("expires_at"),
            in.requireArray<DeviceSummary>("devices"), in.requireArray<DeviceConfig>("configs")};
}

nlohmann::json MeResult::toJson() const {
    nlohmann::json out = {{"email", email.toStdString()},
                          {"status", status.toStdString()},
                          {"devices", JsonReader::arrayOf(devices)},
                          {"configs", JsonReader::arrayOf(configs)}};
    if (expiresAt)
        out["expires_at"] = expiresAt->toStdString();
    return out;
}

} // namespace veloxa
