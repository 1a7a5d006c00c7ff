#include "ConfigurationStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUuid>

#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace veloxa::tunnel {

namespace {
constexpr qint64 maxFileBytes = 2 * 1024 * 1024;

struct StoredFile {
    qint64 sequence = 0;
    uid_t owner = 0;
    TunnelConfigurationRecord record;
    static StoredFile fromJson(const JsonReader& in) {
        StoredFile f;
        f.sequence = in.requireInt64("sequence");
        // Files from before owners were kept belong to root: no user can claim them.
        const qint64 owner = in.optionalInt64("owner").value_or(0);
        if (owner < 0 || owner > std::numeric_limits<uid_t>::max())
            throw JsonReader::Failure("owner out of range");
        f.owner = static_cast<uid_t>(owner);
        f.record = in.require<TunnelConfigurationRecord>("configuration");
        return f;
    }
};

void syncDirectory(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
} // namespace

ConfigurationStore::ConfigurationStore(QString directory) : m_directory(std::move(directory)) {}

bool ConfigurationStore::isValidIdentifier(const QString& identifier) {
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9-]{1,64}$"));
    return pattern.match(identifier).hasMatch();
}

QString ConfigurationStore::pathFor(const QString& identifier) const {
    return m_directory + u'/' + identifier + QStringLiteral(".json");
}

std::expected<void, QString> ConfigurationStore::open(QStringList* warnings) {
    if (!QDir().mkpath(m_directory))
        return std::unexpected(QStringLiteral("cannot create %1").arg(m_directory));
    if (::chmod(QFile::encodeName(m_directory).constData(), 0700) != 0)
        return std::unexpected(QStringLiteral("cannot restrict %1 to its owner").arg(m_directory));
    m_entries.clear();
    const QDir dir(m_directory);
    for (const QString& name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        const QString path = dir.filePath(name);
        QString problem;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            problem = file.errorString();
        } else if (file.size() > maxFileBytes) {
            problem = QStringLiteral("file too large");
        } else {
            auto entry = readFile(file.readAll(), name);
            if (entry)
                m_entries.append(*entry);
            else
                problem = entry.error();
        }
        if (problem.isEmpty())
            continue;
        const QString aside =
            path + QStringLiteral(".corrupt-") +
            QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddThhmmsszzz"));
        const bool moved = QFile::rename(path, aside);
        if (warnings)
            *warnings << QStringLiteral("configuration file %1 is unreadable (%2); %3")
                             .arg(name, problem,
                                  moved ? QStringLiteral("kept as ") + QFileInfo(aside).fileName()
                                        : QStringLiteral("left in place"));
    }
    std::sort(m_entries.begin(), m_entries.end(),
              [](const Entry& a, const Entry& b) { return a.sequence < b.sequence; });
    return {};
}

std::expected<ConfigurationStore::Entry, QString>
ConfigurationStore::readFile(const QByteArray& bytes, const QString& name) {
    auto parsed = JsonReader::decode<StoredFile>(bytes);
    if (!parsed)
        return std::unexpected(parsed.error().message);
    if (parsed->record.identifier + QStringLiteral(".json") != name)
        return std::unexpected(QStringLiteral("identifier does not match the file name"));
    return Entry{parsed->sequence, parsed->owner, parsed->record};
}

QList<TunnelConfigurationRecord> ConfigurationStore::all(std::optional<uid_t> owner) const {
    QList<TunnelConfigurationRecord> out;
    for (const auto& e : m_entries)
        if (!owner || e.owner == *owner)
            out.append(e.record);
    return out;
}

std::optional<uid_t> ConfigurationStore::ownerOf(const QString& identifier) const {
    for (const auto& e : m_entries)
        if (e.record.identifier == identifier)
            return e.owner;
    return std::nullopt;
}

std::optional<TunnelConfigurationRecord> ConfigurationStore::find(const QString& identifier) const {
    for (const auto& e : m_entries)
        if (e.record.identifier == identifier)
            return e.record;
    return std::nullopt;
}

std::expected<void, QString> ConfigurationStore::write(const Entry& entry) {
    const nlohmann::json doc = {{"sequence", entry.sequence},
                                {"owner", entry.owner},
                                {"configuration", entry.record.toJson()}};
    QSaveFile file(pathFor(entry.record.identifier));
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return std::unexpected(
            QStringLiteral("cannot write the configuration: %1").arg(file.errorString()));
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(QByteArray::fromStdString(doc.dump()));
    if (!file.commit()) // flushes, syncs and renames over the old file
        return std::unexpected(
            QStringLiteral("cannot write the configuration: %1").arg(file.errorString()));
    ::chmod(QFile::encodeName(pathFor(entry.record.identifier)).constData(), 0600);
    syncDirectory(m_directory);
    return {};
}

std::expected<TunnelConfigurationRecord, QString>
ConfigurationStore::save(TunnelConfigurationRecord record, uid_t owner) {
    if (record.toJson().dump().size() > std::size_t(maxConfigurationBytes))
        return std::unexpected(
            QStringLiteral("The VPN configuration is too large (more than %1 KiB)")
                .arg(maxConfigurationBytes / 1024));
    if (record.identifier.isEmpty()) {
        if (all(owner).size() >= maxPerOwner)
            return std::unexpected(
                QStringLiteral("You already have %1 VPN configurations; remove one first")
                    .arg(maxPerOwner));
        if (m_entries.size() >= maxTotal)
            return std::unexpected(
                QStringLiteral("The tunnel service holds too many VPN configurations"));
        record.identifier = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        qint64 next = 1;
        for (const auto& e : m_entries)
            next = std::max(next, e.sequence + 1);
        Entry entry{next, owner, record};
        if (auto written = write(entry); !written)
            return std::unexpected(written.error());
        m_entries.append(entry);
        return record;
    }
    for (auto& e : m_entries) {
        if (e.record.identifier != record.identifier)
            continue;
        Entry updated{e.sequence, e.owner, record};
        if (auto written = write(updated); !written)
            return std::unexpected(written.error());
        e = updated;
        return record;
    }
    return std::unexpected(QStringLiteral("No such configuration"));
}

std::expected<void, QString> ConfigurationStore::remove(const QString& identifier) {
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].record.identifier != identifier)
            continue;
        if (!QFile::remove(pathFor(identifier)) && QFile::exists(pathFor(identifier)))
            return std::unexpected(QStringLiteral("cannot remove the configuration file"));
        syncDirectory(m_directory);
        m_entries.removeAt(i);
        return {};
    }
    return std::unexpected(QStringLiteral("No such configuration"));
}

} // namespace veloxa::tunnel
