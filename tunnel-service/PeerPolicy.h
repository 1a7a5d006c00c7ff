#pragma once

#include <QString>
#include <optional>
#include <sys/types.h>
#include <utility>

namespace veloxa::tunnel {

// Who may talk to the service's sockets, checked from the peer's kernel credentials:
// in user mode only the same user; in system mode root and members of the socket group.
class PeerPolicy {
public:
    static PeerPolicy forUser();
    static PeerPolicy forSystem(const QString& groupName);

    // The peer's user and group, from the kernel.
    static std::optional<std::pair<uid_t, gid_t>> credentials(int socketDescriptor);
    bool allows(int socketDescriptor) const;
    bool allowsUser(uid_t uid, gid_t gid) const;
    // The socket group's id, or -1 when there is no such group.
    long groupId() const { return m_groupId; }

private:
    bool m_userMode = true;
    uid_t m_ownUid = 0;
    long m_groupId = -1;
};

} // namespace veloxa::tunnel
