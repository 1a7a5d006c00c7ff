#include "DeviceConfig.h"
#include "JsonReader.h"

namespace veloxa {

DeviceConfig DeviceConfig::fromJson(const JsonReader& in) {
    return {in.requireString("region"), in.requireString("region_label"),
            in.requireString("config"), in.requireString("filename")};
}

nlohmann::json DeviceConfig::toJson() const {
    return {{"region", region.toStdString()},
            {"region_label", regionLabel.toStdString()},
            {"config", config.toStdString()},
            {"filename", filename.toStdString()}};
}

} // namespace veloxa
