#pragma once

#include "SecureItemStore.h"

#include <chrono>

namespace veloxa {

// Secret Service items (GNOME Keyring, KWallet, KeePassXC) through libsecret, in the
// default collection. Every call is bounded in time: a missing service or a locked
// keyring that would prompt answers failure instead of hanging the caller.
class LibsecretItemStore : public SecureItemStore {
public:
    explicit LibsecretItemStore(std::chrono::milliseconds deadline = std::chrono::seconds(5));

    FindResult find(const QString& service, const QString& account) override;
    Status update(const QString& service, const QString& account,
                  const std::optional<QByteArray>& data,
                  const std::optional<QString>& label) override;
    Status add(const QString& service, const QString& account, const QString& label,
               const QByteArray& data, Accessibility accessibility) override;

private:
    std::chrono::milliseconds m_deadline;
};

} // namespace veloxa
