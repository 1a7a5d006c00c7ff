#pragma once

#include <QString>

namespace veloxa {

// What a caller hands in to create or update a tunnel: its visible name and the tunnel
// engine's JSON document, passed through unchanged.
struct SingboxTunnelConfiguration {
    QString name;
    QString configJSON;
};

} // namespace veloxa
