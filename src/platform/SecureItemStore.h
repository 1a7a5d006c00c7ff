#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace veloxa {

// One generic secret item found by the pair (service, account): the shape of the
// platform keychain's three calls. A missing item is reported apart from other failures.
class SecureItemStore {
public:
    enum class Status { success, itemNotFound, failure };
    // Who may read the item; only one class is used.
    enum class Accessibility { afterFirstUnlockThisDeviceOnly };

    struct FindResult {
        Status status = Status::failure;
        QByteArray data;
    };

    virtual ~SecureItemStore() = default;

    virtual FindResult find(const QString& service, const QString& account) = 0;
    // Changes the given parts of an existing item in place.
    virtual Status update(const QString& service, const QString& account,
                          const std::optional<QByteArray>& data,
                          const std::optional<QString>& label) = 0;
    virtual Status add(const QString& service, const QString& account, const QString& label,
                       const QByteArray& data, Accessibility accessibility) = 0;
};

} // namespace veloxa
