#pragma once

#include "platform/netext/TunnelConfigurationRecord.h"

#include <QList>
#include <QStringList>
#include <expected>

namespace veloxa::tunnel {

// The service's VPN configurations: one JSON file each (they hold tunnel credentials,
// so 0600 in a 0700 directory), written atomically. Files that cannot be read at start-up
// are moved aside, never deleted.
class ConfigurationStore {
public:
    explicit ConfigurationStore(QString directory);

    // Creates the directory and loads every configuration; `warnings` gets one line per
    // file that was set aside.
    std::expected<void, QString> open(QStringList* warnings);

    // In the order they were first saved.
    QList<TunnelConfigurationRecord> all() const;
    std::optional<TunnelConfigurationRecord> find(const QString& identifier) const;
    // A record without identifier is new and gets one; otherwise it must exist.
    std::expected<TunnelConfigurationRecord, QString> save(TunnelConfigurationRecord record);
    std::expected<void, QString> remove(const QString& identifier);

    static bool isValidIdentifier(const QString& identifier);

private:
    struct Entry {
        qint64 sequence;
        TunnelConfigurationRecord record;
    };
    QString pathFor(const QString& identifier) const;
    std::expected<void, QString> write(const Entry& entry);

    QString m_directory;
    QList<Entry> m_entries;
};

} // namespace veloxa::tunnel
