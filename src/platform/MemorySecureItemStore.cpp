#include "MemorySecureItemStore.h"

namespace veloxa {

SecureItemStore::FindResult MemorySecureItemStore::find(const QString& service,
                                                        const QString& account) {
    ++findCalls;
    if (forcedStatus)
        return {*forcedStatus, {}};
    const auto it = m_items.constFind(keyOf(service, account));
    if (it == m_items.cend())
        return {Status::itemNotFound, {}};
    return {Status::success, it->data};
}

SecureItemStore::Status MemorySecureItemStore::update(const QString& service,
                                                      const QString& account,
                                                      const std::optional<QByteArray>& data,
                                                      const std::optional<QString>& label) {
    ++updateCalls;
    if (forcedStatus)
        return *forcedStatus;
    const auto it = m_items.find(keyOf(service, account));
    if (it == m_items.end())
        return Status::itemNotFound;
    if (data)
        it->data = *data;
    if (label)
        it->label = *label;
    return Status::success;
}

SecureItemStore::Status MemorySecureItemStore::add(const QString& service, const QString& account,
                                                   const QString& label, const QByteArray& data,
                                                   Accessibility accessibility) {
    ++addCalls;
    if (forcedStatus)
        return *forcedStatus;
    const QString key = keyOf(service, account);
    if (m_items.contains(key))
        return Status::failure; // a duplicate item
    m_items.insert(key, {data, label, accessibility});
    return Status::success;
}

std::optional<MemorySecureItemStore::Item>
MemorySecureItemStore::item(const QString& service, const QString& account) const {
    const auto it = m_items.constFind(keyOf(service, account));
    return it == m_items.cend() ? std::nullopt : std::optional<Item>(*it);
}

void MemorySecureItemStore::setItem(const QString& service, const QString& account, Item item) {
    m_items.insert(keyOf(service, account), std::move(item));
}

} // namespace veloxa
