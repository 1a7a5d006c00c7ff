#include "LoginResult.h"
#include "JsonReader.h"

#include "BearerToken.h"

namespace veloxa {

LoginResult LoginResult::fromJson(const JsonReader& in) {
    const QString token = in.requireString("token");
    if (!isUsableBearerToken(token))
        throw JsonReader::Failure("\"token\" is not printable ASCII");
    return {token,
            in.requireString("email"),
            in.requireString("status"),
            in.optionalString("expires_at"),
            in.requireArray<DeviceSummary>("devices"),
            in.requireArray<DeviceConfig>("configs")};
}

nlohmann::json LoginResult::toJson() const {
    nlohmann::json out = {{"token", token.toStdString()},
                          {"email", email.toStdString()},
                          {"status", status.toStdString()},
                          {"devices", JsonReader::arrayOf(devices)},
                          {"configs", JsonReader::arrayOf(configs)}};
    if (expiresAt)
        out["expires_at"] = expiresAt->toStdString();
    return out;
}

} // namespace veloxa
