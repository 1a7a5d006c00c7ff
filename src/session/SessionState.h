#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace veloxa {

// This device's identifier plus the session token and e-mail while signed in. Stored as
// compact JSON with camelCase keys; absent fields are left out.
struct SessionState {
    QString deviceUUID;
    std::optional<QString> token;
    std::optional<QString> email;

    QByteArray toJson() const;
    // Requires "deviceUUID"; "token" and "email" may be missing or null.
    static std::optional<SessionState> fromJson(const QByteArray& data);
    bool operator==(const SessionState&) const = default;
};

} // namespace veloxa
