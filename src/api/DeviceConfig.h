#pragma once

#include <QObject>
#include <QString>
#include <nlohmann/json_fwd.hpp>

#include <optional>

namespace veloxa {

class JsonReader;

// One tunnel configuration of the account for one region.
struct DeviceConfig {
    Q_GADGET
    Q_PROPERTY(QString region MEMBER region CONSTANT)
    Q_PROPERTY(QString regionLabel MEMBER regionLabel CONSTANT)
public:
    QString region;
    QString regionLabel;
    QString config; // the tunnel engine's JSON document, passed through unchanged
    QString filename;

    static DeviceConfig fromJson(const JsonReader& in);
    nlohmann::json toJson() const;
    bool operator==(const DeviceConfig&) const = default;
};

} // namespace veloxa
