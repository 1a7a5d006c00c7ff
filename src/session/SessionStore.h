#pragma once

#include "SessionState.h"
#include "platform/SecureItemStore.h"

#include <memory>

namespace veloxa {

// The persisted session in one secret item, with an in-memory copy so that the item is
// read at most once per launch. Failures of the item store are silent: the cache keeps
// the newest state for the rest of the process.
class SessionStore {
public:
    SessionStore(std::shared_ptr<SecureItemStore> items, QString service, QString account,
                 QString label);

    std::optional<SessionState> load();
    void save(const SessionState& state);
    // This device's identifier, made and stored the first time nothing can be read.
    QString currentDeviceUUID();

    // Canonical upper-case 36-character form of a new random UUID.
    static QString newDeviceUUID();

    const QString& service() const { return m_service; }
    const QString& account() const { return m_account; }
    const QString& label() const { return m_label; }

private:
    void relabelIfNeeded();

    std::shared_ptr<SecureItemStore> m_items;
    QString m_service;
    QString m_account;
    QString m_label;
    std::optional<SessionState> m_cache;
    bool m_didAttemptRelabel = false;
};

} // namespace veloxa
