#pragma once

#include <QString>
#include <QStringList>
#include <expected>

namespace veloxa::tunnel {

// Where the tunnel service keeps its sockets and configurations and how it runs the engine.
struct ServiceOptions {
    bool userMode = false;
    QString runtimeDir; // control socket "tunnel.sock" and the statistics socket
    QString stateDir;   // one JSON file per configuration
    QString engineCommand = QStringLiteral("sing-box run -c {config}");
    QString sysfsNet = QStringLiteral("/sys/class/net");
    QString appGroup;
    QString serviceId;                              // answered by "hello"
    QString socketGroup = QStringLiteral("veloxa"); // system mode: group of the socket files
    int readyTimeoutMs = 20000;
    int stopGraceMs = 3000;

    QString controlSocketPath() const { return runtimeDir + QStringLiteral("/tunnel.sock"); }
    QString statsServiceName() const { return appGroup + QStringLiteral(".network-extension"); }
    QString statsSocketPath() const { return runtimeDir + u'/' + statsServiceName(); }

    // Parses the command line (without the program name); errors are worded for the user.
    static std::expected<ServiceOptions, QString> parse(const QStringList& arguments);
    static QString usage();
};

} // namespace veloxa::tunnel
