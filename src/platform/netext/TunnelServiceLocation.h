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
    // The system service is there but this process may not reach it (not in its group,
    // or in it only since this session began).
    bool accessDenied = false;

    static constexpr const char* systemRuntimeDir = "/run/veloxa";
    static constexpr const char* serviceGroup = "veloxa";

    static TunnelServiceLocation current();
    // The decision behind current(): `systemSocket` is what looking up the system
    // service's socket gave (0 when it is there, else the errno), `userRuntimeDir` the
    // value of XDG_RUNTIME_DIR.
    static TunnelServiceLocation choose(const QString& configuredDir, int systemSocket,
                                        const QString& userRuntimeDir);
    // 0 when something is at `path`, else why it cannot be seen (an errno value).
    static int lookUp(const QString& path);
    // Whether this user's account is listed in the system service's group while this
    // process lacks it: the session began before the user joined.
    static bool joinedSinceSessionBegan();
    // A folder named by the caller (tests, the demo): root's service or the user's own.
    static TunnelServiceLocation at(const QString& runtimeDir);

    QString controlSocket() const { return runtimeDir + QStringLiteral("/tunnel.sock"); }
    QString socketFor(const QString& serviceName) const { return runtimeDir + u'/' + serviceName; }
    // Why the peer on `socketDescriptor` is not to be trusted, or nothing when it is.
    std::optional<QString> checkPeer(qintptr socketDescriptor) const;
};

} // namespace veloxa
