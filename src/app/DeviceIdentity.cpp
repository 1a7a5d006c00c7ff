#include "DeviceIdentity.h"

#include <QFile>
#include <QSysInfo>

namespace veloxa {

namespace {
// The value of KEY=value in a shell-style key file, quotes removed.
QString valueOf(const QByteArray& file, const QByteArray& key) {
    for (const QByteArray& raw : file.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (!line.startsWith(key + '='))
            continue;
        QString value = QString::fromUtf8(line.mid(key.size() + 1));
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        return value.trimmed();
    }
    return {};
}

QByteArray readSmall(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(64 * 1024) : QByteArray();
}
} // namespace

QString DeviceIdentity::platform(const QString& cpuArchitecture) {
    if (cpuArchitecture == u"i386")
        return QStringLiteral("linux-x86");
    return QStringLiteral("linux-") + cpuArchitecture;
}

QString DeviceIdentity::platform() {
    return platform(QSysInfo::currentCpuArchitecture());
}

QString DeviceIdentity::deviceName(const QString& name, const QString& system) {
    const QString shown = name.trimmed().isEmpty() ? QStringLiteral("Linux") : name.trimmed();
    return system.isEmpty() ? shown : shown + QStringLiteral(" — ") + system;
}

QString DeviceIdentity::systemName(const QByteArray& osRelease) {
    const QString name = valueOf(osRelease, "NAME");
    if (name.isEmpty())
        return {};
    const QString version = valueOf(osRelease, "VERSION_ID");
    return version.isEmpty() ? name : name + u' ' + version;
}

QString DeviceIdentity::currentDeviceName() {
    QString name = valueOf(readSmall(QStringLiteral("/etc/machine-info")), "PRETTY_HOSTNAME");
    if (name.isEmpty())
        name = QSysInfo::machineHostName();
    QString system = systemName(readSmall(QStringLiteral("/etc/os-release")));
    if (system.isEmpty())
        system = systemName(readSmall(QStringLiteral("/usr/lib/os-release")));
    if (system.isEmpty())
        system = QSysInfo::prettyProductName();
    return deviceName(name, system);
}

} // namespace veloxa
