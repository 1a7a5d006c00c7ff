#pragma once

#include <QList>
#include <QString>
#include <optional>
#include <sys/types.h>

namespace veloxa {

// Where the tunnel service is, worked out anew for every connection: the runtime folder
// named by VELOXA_TUNNEL_RUNTIME_DIR, else the system service's when its socket exists,
// else the user's own under XDG_RUNTIME_DIR. Never a shared folder such as /tmp, where
// another local user could be waiting. It also says who may be on the other end: root for
// the system service, this user for their own, either for a folder named explicitly.
struct TunnelServiceLocation {
    QString runtimeDir;         // empty when there is nowhere to look
    QList<uid_t> trustedOwners; // the peer must run as one of these
    QString problem;            // why there is nowhere to look

    static constexpr const char* systemRuntimeDir = "/run/veloxa";

    static TunnelServiceLocation current();
    // A folder named by the caller (tests, the demo): root's service or the user's own.
    static TunnelServiceLocation at(const QString& runtimeDir);

    QString controlSocket() const { return runtimeDir + QStringLiteral("/tunnel.sock"); }
    QString socketFor(const QString& serviceName) const { return runtimeDir + u'/' + serviceName; }
    // Why the peer on `socketDescriptor` is not to be trusted, or nothing when it is.
    std::optional<QString> checkPeer(qintptr socketDescriptor) const;
};

} // namespace veloxa
