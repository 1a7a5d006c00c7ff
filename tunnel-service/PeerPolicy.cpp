#include "PeerPolicy.h"

#include <QByteArray>
#include <QVarLengthArray>

#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace veloxa::tunnel {

PeerPolicy PeerPolicy::forUser() {
    PeerPolicy p;
    p.m_userMode = true;
    p.m_ownUid = ::getuid();
    return p;
}

PeerPolicy PeerPolicy::forSystem(const QString& groupName) {
    PeerPolicy p;
    p.m_userMode = false;
    p.m_ownUid = ::getuid();
    if (const group* g = ::getgrnam(groupName.toLocal8Bit().constData()))
        p.m_groupId = static_cast<long>(g->gr_gid);
    return p;
}

std::optional<std::pair<uid_t, gid_t>> PeerPolicy::credentials(int fd) {
    ucred cred{};
    socklen_t length = sizeof(cred);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &length) != 0 || length != sizeof(cred))
        return std::nullopt;
    return std::pair{cred.uid, cred.gid};
}

bool PeerPolicy::allows(int fd) const {
    const auto cred = credentials(fd);
    return cred && allowsUser(cred->first, cred->second);
}

bool PeerPolicy::allowsUser(uid_t uid, gid_t gid) const {
    if (uid == m_ownUid)
        return true;
    if (m_userMode)
        return false;
    if (uid == 0)
        return true;
    if (m_groupId < 0)
        return false;
    if (static_cast<long>(gid) == m_groupId)
        return true;
    // Supplementary groups are not in the credentials; ask the user database.
    const passwd* pw = ::getpwuid(uid);
    if (!pw)
        return false;
    int count = 64;
    QVarLengthArray<gid_t, 64> groups(count);
    while (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &count) < 0) {
        if (count > 65536)
            return false;
        groups.resize(count);
    }
    for (int i = 0; i < count; ++i)
        if (static_cast<long>(groups[i]) == m_groupId)
            return true;
    return false;
}

} // namespace veloxa::tunnel
