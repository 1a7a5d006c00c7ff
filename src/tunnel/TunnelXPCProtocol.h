#pragma once

#include <QByteArray>
#include <functional>
#include <optional>

namespace veloxa {

// The tunnel service's statistics interface: one call, answered once with the counters'
// JSON or with no data.
class TunnelXPCProtocol {
public:
    virtual ~TunnelXPCProtocol() = default;
    virtual void getRuntimeStats(std::function<void(std::optional<QByteArray>)> reply) = 0;
};

} // namespace veloxa
