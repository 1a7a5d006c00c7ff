#pragma once

#include "DeviceLimitResult.h"

#include <QString>
#include <optional>

namespace veloxa {

struct DecodeError;

// The one error of the service API. Its description is read in the current interface
// language at the moment it is taken.
class APIError {
public:
    enum class Kind { server, network, decoding, deviceLimitReached, unauthorized };

    static APIError server(QString message);
    static APIError network(QString systemDescription);
    static APIError decoding(DecodeError error);
    static APIError deviceLimitReached(DeviceLimitResult result);
    static APIError unauthorized();

    Kind kind() const { return m_kind; }
    // server: the service's message; network: the transport's description;
    // decoding: what did not decode (for diagnostics, never shown).
    const QString& detail() const { return m_detail; }
    const std::optional<DeviceLimitResult>& deviceLimit() const { return m_deviceLimit; }

    QString description() const;

private:
    APIError(Kind kind, QString detail) : m_kind(kind), m_detail(std::move(detail)) {}

    Kind m_kind;
    QString m_detail;
    std::optional<DeviceLimitResult> m_deviceLimit;
};

} // namespace veloxa
