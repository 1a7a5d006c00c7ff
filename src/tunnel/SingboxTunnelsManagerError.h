#pragma once

#include <QString>

namespace veloxa {

// Errors of the tunnels manager, with the fixed English texts the model shows.
enum class SingboxTunnelsManagerError {
    tunnelAlreadyExistsWithThatName,
    systemErrorOnAddTunnel,
    systemErrorOnModifyTunnel,
    systemErrorOnRemoveTunnel,
};

QString message(SingboxTunnelsManagerError error);

} // namespace veloxa
