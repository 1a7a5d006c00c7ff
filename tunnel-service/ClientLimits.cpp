#include "ClientLimits.h"

namespace veloxa::tunnel {

bool ClientLimits::admit(uid_t uid) {
    int& mine = m_byUser[uid];
    if (m_count >= m_total || mine >= m_perUser) {
        if (mine == 0)
            m_byUser.remove(uid);
        return false;
    }
    ++mine;
    ++m_count;
    return true;
}

void ClientLimits::release(uid_t uid) {
    const auto it = m_byUser.find(uid);
    if (it == m_byUser.end())
        return;
    --m_count;
    if (--*it <= 0)
        m_byUser.erase(it);
}

} // namespace veloxa::tunnel
