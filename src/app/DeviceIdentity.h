#pragma once

#include <QString>

namespace veloxa {

// How this computer introduces itself to the service when it signs in.
class DeviceIdentity {
public:
    // The service's platform tag for this client.
    static QString platform() { return QStringLiteral("macos-arm64"); }
    // "<name> — macOS <major>.<minor>"; "Mac" stands in for a missing name.
    static QString deviceName(const QString& name, int major, int minor);
    // The running system's values: the pretty host name (else the host name), and the
    // system's version numbers.
    static QString currentDeviceName();
    // Major and minor of a version text such as "12", "12.8" or "22.04".
    static std::pair<int, int> versionNumbers(const QString& text);
};

} // namespace veloxa
