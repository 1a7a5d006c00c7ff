#pragma once

#include "DeviceSummary.h"

namespace veloxa {

// Body of a sign-in refused because the account has no free device slot.
struct DeviceLimitResult {
    Q_GADGET
    Q_PROPERTY(qint64 maxDevices MEMBER maxDevices CONSTANT)
    Q_PROPERTY(QVariantList devices READ devicesValue CONSTANT)
public:
    QString replaceToken;
    qint64 maxDevices = 0;
    QList<DeviceSummary> devices;

    static DeviceLimitResult fromJson(const JsonReader& in);
    nlohmann::json toJson() const;
    bool operator==(const DeviceLimitResult&) const = default;
    QVariantList devicesValue() const;
};

} // namespace veloxa
