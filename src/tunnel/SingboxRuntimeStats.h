#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <optional>

namespace veloxa {

// The tunnel's byte counters as the tunnel service reports them.
struct SingboxRuntimeStats {
    quint64 rxBytes = 0;
    quint64 txBytes = 0;

    // Both keys required, unsigned 64-bit integers; anything else does not decode.
    static std::optional<SingboxRuntimeStats> fromJson(const QByteArray& data);
    bool operator==(const SingboxRuntimeStats&) const = default;
};

} // namespace veloxa
