#include "SingboxTunnelsManagerError.h"

namespace veloxa {

QString message(SingboxTunnelsManagerError error) {
    switch (error) {
    case SingboxTunnelsManagerError::tunnelAlreadyExistsWithThatName:
        return QStringLiteral("A tunnel with this name already exists");
    case SingboxTunnelsManagerError::systemErrorOnAddTunnel:
        return QStringLiteral("Unable to create the VPN configuration");
    case SingboxTunnelsManagerError::systemErrorOnModifyTunnel:
        return QStringLiteral("Unable to update the VPN configuration");
    case SingboxTunnelsManagerError::systemErrorOnRemoveTunnel:
        return QStringLiteral("Unable to remove the VPN configuration");
    }
    return {};
}

} // namespace veloxa
