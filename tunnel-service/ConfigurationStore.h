#pragma once

#include "platform/ipc/ControlProtocol.h"
#include "platform/netext/TunnelConfigurationRecord.h"

#include <QList>
#include <QStringList>
#include <expected>
#include <sys/types.h>

namespace veloxa::tunnel {

// The service's VPN configurations: one JSON file each (they hold tunnel credentials,
// so 0600 in a 0700 directory), written atomically. Files that cannot be read at start-up
// are moved aside, never deleted. Each belongs to the user who saved it; the quotas keep
// one user from filling the disk or the replies.
class ConfigurationStore {
public:
    static constexpr qsizetype maxConfigurationBytes = control::maxConfigurationBytes;
    static constexpr int maxPerOwner = control::maxConfigurationsPerUser;
    static constexpr int maxTotal = control::maxConfigurations;

    explicit ConfigurationStore(QString directory);

    // Creates the directory and loads every configuration; `warnings` gets one line per
    // file that was set aside.
    std::expected<void, QString> open(QStringList* warnings);

    // In the order they were first saved; those of one owner when `owner` is given.
    QList<TunnelConfigurationRecord> all(std::optional<uid_t> owner = std::nullopt) const;
    std::optional<TunnelConfigurationRecord> find(const QString& identifier) const;
    std::optional<uid_t> ownerOf(const QString& identifier) const;
    // A record without identifier is new and gets one, owned by `owner`; otherwise it
    // must exist (the caller checks who may change it).
    std::expected<TunnelConfigurationRecord, QString> save(TunnelConfigurationRecord record,
                                                           uid_t owner);
    std::expected<void, QString> remove(const QString& identifier);

    static bool isValidIdentifier(const QString& identifier);

    struct Entry {
        qint64 sequence;
        uid_t owner;
        TunnelConfigurationRecord record;
    };
    // One stored file's contents, checked against the name it was found under.
    static std::expected<Entry, QString> readFile(const QByteArray& bytes, const QString& name);

private:
    QString pathFor(const QString& identifier) const;
    std::expected<void, QString> write(const Entry& entry);

    QString m_directory;
    QList<Entry> m_entries;
};

} // namespace veloxa::tunnel
