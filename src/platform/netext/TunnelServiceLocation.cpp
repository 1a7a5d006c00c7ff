#include "TunnelServiceLocation.h"

#include <QFileInfo>

#include <sys/socket.h>
#include <unistd.h>

namespace veloxa {

TunnelServiceLocation TunnelServiceLocation::at(const QString& runtimeDir) {
    return {runtimeDir, {0, ::getuid()}, {}};
}

TunnelServiceLocation TunnelServiceLocation::current() {
    const QString configured = qEnvironmentVariable("VELOXA_TUNNEL_RUNTIME_DIR");
    if (!configured.isEmpty())
        return at(configured);
    const QString system = QString::fromLatin1(systemRuntimeDir);
    if (QFileInfo::exists(system + QStringLiteral("/tunnel.sock")))
        return {system, {0}, {}};
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        return {{},
                {},
                QStringLiteral("The Veloxa tunnel service is not running, and without "
                               "XDG_RUNTIME_DIR there is no place for a private one")};
    return {runtime + QStringLiteral("/veloxa"), {::getuid()}, {}};
}

std::optional<QString> TunnelServiceLocation::checkPeer(qintptr socketDescriptor) const {
    ucred cred{};
    socklen_t length = sizeof cred;
    if (::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &cred, &length) != 0 ||
        length != sizeof cred)
        return QStringLiteral("Cannot tell who runs the tunnel service at %1").arg(runtimeDir);
    if (trustedOwners.contains(cred.uid))
        return std::nullopt;
    return QStringLiteral("The tunnel service at %1 is run by another user (uid %2); Veloxa "
                          "does not use it")
        .arg(runtimeDir)
        .arg(cred.uid);
}

} // namespace veloxa
