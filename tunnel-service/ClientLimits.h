#pragma once

#include <QHash>
#include <sys/types.h>

namespace veloxa::tunnel {

// How many connections the service holds: in total and per user, so that one user cannot
// take every descriptor or crowd out the others.
class ClientLimits {
public:
    ClientLimits(int total, int perUser) : m_total(total), m_perUser(perUser) {}

    // Counts a new connection of `uid` when the limits allow it.
    bool admit(uid_t uid);
    void release(uid_t uid);
    int count() const { return m_count; }

private:
    int m_total;
    int m_perUser;
    int m_count = 0;
    QHash<uid_t, int> m_byUser;
};

} // namespace veloxa::tunnel
