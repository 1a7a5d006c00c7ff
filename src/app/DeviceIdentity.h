#pragma once

#include <QString>

namespace veloxa {

// How this computer introduces itself to the service when it signs in: by its name and
// its system, and by the platform the client was built for.
class DeviceIdentity {
public:
    // "linux-x86_64", "linux-arm64", …: the system and the processor architecture.
    static QString platform(const QString& cpuArchitecture);
    static QString platform();
    // "<name> — <system>"; "Linux" stands in for a missing name.
    static QString deviceName(const QString& name, const QString& system);
    // "Debian GNU/Linux 12" from an os-release file's NAME and VERSION_ID; empty when it
    // has no NAME.
    static QString systemName(const QByteArray& osRelease);
    // The running system's values: the pretty host name (else the host name) and the
    // system named by os-release.
    static QString currentDeviceName();
};

} // namespace veloxa
