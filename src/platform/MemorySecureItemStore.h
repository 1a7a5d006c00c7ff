#pragma once

#include "SecureItemStore.h"

#include <QHash>

namespace veloxa {

// An in-memory store for tests: records every call and can be told to fail.
class MemorySecureItemStore : public SecureItemStore {
public:
    struct Item {
        QByteArray data;
        QString label;
        Accessibility accessibility = Accessibility::afterFirstUnlockThisDeviceOnly;
    };

    FindResult find(const QString& service, const QString& account) override;
    Status update(const QString& service, const QString& account,
                  const std::optional<QByteArray>& data,
                  const std::optional<QString>& label) override;
    Status add(const QString& service, const QString& account, const QString& label,
               const QByteArray& data, Accessibility accessibility) override;

    std::optional<Item> item(const QString& service, const QString& account) const;
    void setItem(const QString& service, const QString& account, Item item);
    qsizetype itemCount() const { return m_items.size(); }

    // When set, every call answers this status without touching the items.
    std::optional<Status> forcedStatus;
    int findCalls = 0;
    int updateCalls = 0;
    int addCalls = 0;

private:
    static QString keyOf(const QString& service, const QString& account) {
        return service + QChar(0) + account;
    }
    QHash<QString, Item> m_items;
};

} // namespace veloxa
