#pragma once

#include <QStringList>
#include <nlohmann/json_fwd.hpp>

#include <optional>

#include <QHashFunctions>
#include <QObject>
#include <QVariant>

namespace veloxa {

class JsonReader;

// One device registered on the account. Dates are carried as the service sent them.
struct DeviceSummary {
    Q_GADGET
    Q_PROPERTY(QString deviceUuid MEMBER deviceUuid CONSTANT)
    Q_PROPERTY(QString deviceName MEMBER deviceName CONSTANT)
    Q_PROPERTY(QString platform MEMBER platform CONSTANT)
    Q_PROPERTY(QStringList regions MEMBER regions CONSTANT)
    Q_PROPERTY(QString createdAt MEMBER createdAt CONSTANT)
    Q_PROPERTY(QVariant lastSeenAt READ lastSeenAtValue CONSTANT)
public:
    QString deviceUuid;
    QString deviceName;
    QString platform;
    QStringList regions;
    QString createdAt;
    std::optional<QString> lastSeenAt;

    static DeviceSummary fromJson(const JsonReader& in);
    nlohmann::json toJson() const;
    bool operator==(const DeviceSummary&) const = default;
    QVariant lastSeenAtValue() const {
        return lastSeenAt ? QVariant(*lastSeenAt) : QVariant::fromValue(nullptr);
    }
};

size_t qHash(const DeviceSummary& device, size_t seed = 0);

} // namespace veloxa
