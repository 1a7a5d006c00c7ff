#pragma once

#include <QDateTime>
#include <optional>

namespace veloxa {

// RFC 3339 internet date-times as the service writes them: "2025-06-30T12:00:00Z",
// optionally with fractional seconds, always with a zone designator.
class InternetDateTime {
public:
    // Absent, empty or unreadable text gives nothing; that is never an error.
    static std::optional<QDateTime> parse(const std::optional<QString>& text);
};

} // namespace veloxa
