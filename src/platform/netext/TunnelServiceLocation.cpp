#include "TunnelServiceLocation.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace veloxa {

TunnelServiceLocation TunnelServiceLocation::at(const QString& runtimeDir) {
    return {runtimeDir, {0, ::getuid()}, {}};
}

TunnelServiceLocation TunnelServiceLocation::current() {
    const QString system = QString::fromLatin1(systemRuntimeDir);
    return choose(qEnvironmentVariable("VELOXA_TUNNEL_RUNTIME_DIR"),
                  lookUp(system + QStringLiteral("/tunnel.sock")),
                  qEnvironmentVariable("XDG_RUNTIME_DIR"));
}

TunnelServiceLocation TunnelServiceLocation::choose(const QString& configuredDir, int systemSocket,
                                                    const QString& userRuntimeDir) {
    if (!configuredDir.isEmpty())
        return at(configuredDir);
    const QString system = QString::fromLatin1(systemRuntimeDir);
    if (systemSocket == 0)
        return {system, {0}, {}};
    // The system folder is closed to this process: the service is installed and it is
    // the user who lacks the group. A private service is not the answer.
    if (systemSocket == EACCES || systemSocket == EPERM)
        return {system, {0}, {}, true};
    if (userRuntimeDir.isEmpty())
        return {{},
                {},
                QStringLiteral("The Veloxa tunnel service is not running, and without "
                               "XDG_RUNTIME_DIR there is no place for a private one")};
    return {userRuntimeDir + QStringLiteral("/veloxa"), {::getuid()}, {}};
}

bool TunnelServiceLocation::joinedSinceSessionBegan() {
    const group* entry = ::getgrnam(serviceGroup);
    const passwd* user = ::getpwuid(::getuid());
    if (!entry || !user)
        return false;
    const gid_t gid = entry->gr_gid;
    bool listed = user->pw_gid == gid;
    for (char** member = entry->gr_mem; member && *member && !listed; ++member)
        listed = std::strcmp(*member, user->pw_name) == 0;
    if (!listed || ::getegid() == gid)
        return false;
    std::vector<gid_t> groups(std::size_t(std::max(::getgroups(0, nullptr), 0)));
    const int count = ::getgroups(int(groups.size()), groups.data());
    return std::find(groups.begin(), groups.begin() + std::max(count, 0), gid) ==
           groups.begin() + std::max(count, 0);
}

int TunnelServiceLocation::lookUp(const QString& path) {
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? 0 : errno;
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
