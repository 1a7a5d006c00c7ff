#include "DeviceIdentity.h"

#include <QFile>
#include <QRegularExpression>
#include <QSysInfo>

namespace veloxa {

QString DeviceIdentity::deviceName(const QString& name, int major, int minor) {
    const QString shown = name.trimmed().isEmpty() ? QStringLiteral("Mac") : name.trimmed();
    return QStringLiteral("%1 — macOS %2.%3").arg(shown).arg(major).arg(minor);
}

std::pair<int, int> DeviceIdentity::versionNumbers(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral(R"(^\s*(\d+)(?:\.(\d+))?)"));
    const auto m = pattern.match(text);
    if (!m.hasMatch())
        return {0, 0};
    return {m.captured(1).toInt(), m.captured(2).isEmpty() ? 0 : m.captured(2).toInt()};
}

namespace {
QString prettyHostName() {
    QFile info(QStringLiteral("/etc/machine-info"));
    if (!info.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& raw : info.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (!line.startsWith(QStringLiteral("PRETTY_HOSTNAME=")))
            continue;
        QString value = line.mid(16);
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}
} // namespace

QString DeviceIdentity::currentDeviceName() {
    QString name = prettyHostName();
    if (name.trimmed().isEmpty())
        name = QSysInfo::machineHostName();
    auto [major, minor] = versionNumbers(QSysInfo::productVersion());
    // Debian names only its major release in os-release; the point release is elsewhere.
    QFile debian(QStringLiteral("/etc/debian_version"));
    if (debian.open(QIODevice::ReadOnly)) {
        const auto [dMajor, dMinor] = versionNumbers(QString::fromLatin1(debian.readLine(64)));
        if (dMajor == major && dMajor != 0)
            minor = dMinor;
    }
    return deviceName(name, major, minor);
}

} // namespace veloxa
