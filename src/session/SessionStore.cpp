#include "SessionStore.h"

#include <QUuid>

namespace veloxa {

using Status = SecureItemStore::Status;

SessionStore::SessionStore(std::shared_ptr<SecureItemStore> items, QString service, QString account,
                           QString label)
    : m_items(std::move(items)), m_service(std::move(service)), m_account(std::move(account)),
      m_label(std::move(label)) {}

std::optional<SessionState> SessionStore::load() {
    if (m_cache)
        return m_cache;
    relabelIfNeeded();
    const auto found = m_items->find(m_service, m_account);
    if (found.status != Status::success)
        return std::nullopt;
    m_cache = SessionState::fromJson(found.data);
    return m_cache;
}

void SessionStore::save(const SessionState& state) {
    m_cache = state;
    const QByteArray data = state.toJson();
    const Status updated = m_items->update(m_service, m_account, data, m_label);
    if (updated == Status::itemNotFound)
        m_items->add(m_service, m_account, m_label, data,
                     SecureItemStore::Accessibility::afterFirstUnlockThisDeviceOnly);
}

void SessionStore::relabelIfNeeded() {
    if (m_didAttemptRelabel)
        return;
    m_didAttemptRelabel = true;
    m_items->update(m_service, m_account, std::nullopt, m_label);
}

QString SessionStore::currentDeviceUUID() {
    if (auto state = load())
        return state->deviceUUID;
    const QString uuid = newDeviceUUID();
    save({uuid, std::nullopt, std::nullopt});
    return uuid;
}

QString SessionStore::newDeviceUUID() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

} // namespace veloxa
