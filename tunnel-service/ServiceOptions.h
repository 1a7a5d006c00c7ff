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
    // With {config} (and maybe {state}); by default sing-box when installed, else ours.
    QString engineCommand;
    // The built-in engine: it replays its ledger to remove what an engine run left behind.
    // With another engine it is the bundled one, for a ledger left before that engine took
    // over (sing-box installed while a connection was held); empty when there is none.
    QString cleanupProgram;
    bool builtInEngine = false; // the engine that runs is the built-in one
    QString sysfsNet = QStringLiteral("/sys/class/net");
    QString appGroup;
    QString serviceId;                              // answered by "hello"
    QString socketGroup = QStringLiteral("veloxa"); // system mode: group of the socket files
    int readyTimeoutMs = 20000;
    int stopGraceMs = 3000;
    // The built-in engine's cleanup; one that takes longer is killed and tried again later.
    int cleanupTimeoutMs = 60000;
    int maxClients = 256;       // connections to both sockets together
    int maxClientsPerUser = 32; // of one user

    QString controlSocketPath() const { return runtimeDir + QStringLiteral("/tunnel.sock"); }
    QString statsServiceName() const { return appGroup + QStringLiteral(".network-extension"); }
    QString statsSocketPath() const { return runtimeDir + u'/' + statsServiceName(); }
    // Remembers the connection that should be up, for a restarted service.
    QString connectionMemoPath() const { return runtimeDir + QStringLiteral("/connection.json"); }
    // The engine's settings while it starts (they hold credentials), and the built-in
    // engine's ledger of what it set up.
    QString engineConfigPath() const { return runtimeDir + QStringLiteral("/engine-config.json"); }
    QString engineStatePath() const { return runtimeDir + QStringLiteral("/engine-state.json"); }

    // Parses the command line (without the program name); errors are worded for the user.
    // `bundledEngine` is the built-in engine's path, the default where sing-box is absent.
    static std::expected<ServiceOptions, QString> parse(const QStringList& arguments,
                                                        const QString& bundledEngine = {});
    static QString usage();
};

} // namespace veloxa::tunnel
