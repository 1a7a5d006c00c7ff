#include "DeviceLimitResult.h"
#include "JsonReader.h"

#include <QVariant>

namespace veloxa {

DeviceLimitResult DeviceLimitResult::fromJson(const JsonReader& in) {
    return {in.requireString("replace_token"), in.requireInt64("max_devices"),
            in.requireArray<DeviceSummary>("devices")};
}

nlohmann::json DeviceLimitResult::toJson() const {
    return {{"replace_token", replaceToken.toStdString()},
            {"max_devices", maxDevices},
            {"devices", JsonReader::arrayOf(devices)}};
}

QVariantList DeviceLimitResult::devicesValue() const {
    QVariantList out;
    for (const auto& d : devices)
        out << QVariant::fromValue(d);
    return out;
}

} // namespace veloxa
