#pragma once

#include <QDir>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <nlohmann/json.hpp>

#include <csignal>
#include <memory>
#include <optional>
#include <sys/types.h>

class RawControlClient;

namespace veloxa {
class Bundle;
class SingboxTunnelsManager;
class TunnelSystem;
} // namespace veloxa

// A real `veloxa-tunnel --user` in a temporary directory, with fake-engine as its engine
// and a fake sysfs tree for its counters.
class TunnelServiceProcess {
public:
    explicit TunnelServiceProcess(QStringList extraArguments = {});
    ~TunnelServiceProcess();

    // The engine command line; empty leaves the choice to the service.
    void setEngine(const QString& command) { m_engine = command; }
    // Puts a stand-in called `name` into bin/ (also on the service's PATH): it records each
    // command line it is given, and the document for "run -c FILE", then runs fake-engine.
    // The built-in engine's name makes the service treat it as the built-in engine.
    QString installStandIn(const QString& name);
    // Installs the stand-in `name` and makes it the engine.
    void runStandIn(const QString& name) {
        setEngine(installStandIn(name) + QStringLiteral(" run -c {config}"));
    }
    // What the stand-in `name` was given so far.
    QString standInCalls(const QString& name) const;
    // The command lines it was given (without "call: " and the documents it read).
    QStringList commandLines(const QString& name) const;
    // Engine processes still running with a configuration from this service's folder.
    int enginesRunning() const;

    // Runs as the system service would (sockets for `group`, 0660) instead of --user.
    void setSystemMode(const QString& group);
    // Makes `process` run as `uid` in group nogroup and in no other group.
    static void runAsUser(QProcess& process, uid_t uid);
    // Starts the service with this limit on open files.
    void setFileLimit(int limit) { m_fileLimit = limit; }

    bool start();
    // Starts the service and connects `client` to its control socket.
    bool start(RawControlClient& client);
    // Sends `signal` and waits for the service to end: its exit code, -1 when it did not exit.
    int stop(int signal);
    void kill() { stop(SIGKILL); }
    int terminate() { return stop(SIGTERM); }
    qint64 pid() const { return m_process.processId(); }

    QString root() const { return m_dir.path(); }
    QString runtimeDir() const {
        return m_runtimeDir.isEmpty() ? m_dir.filePath(QStringLiteral("run")) : m_runtimeDir;
    }
    void setRuntimeDir(const QString& path) { m_runtimeDir = path; }
    QString stateDir() const { return m_dir.filePath(QStringLiteral("state")); }
    // The built-in engine's ledger: what it holds in place for the connection.
    QString ledger() const { return runtimeDir() + QStringLiteral("/engine-state.json"); }
    QString sysfs() const { return m_dir.filePath(QStringLiteral("sys")); }
    QString controlSocket() const { return runtimeDir() + QStringLiteral("/tunnel.sock"); }
    QString statsSocket() const {
        return runtimeDir() + QStringLiteral("/group.test.network-extension");
    }
    static QString appGroup() { return QStringLiteral("group.test"); }
    // The client's bundle in the tests: its app group is the service's test group.
    static const veloxa::Bundle& clientBundle();
    // Every stored configuration of this client's extension in a tunnels manager, or
    // nothing when loading fails within 5 s.
    static std::shared_ptr<veloxa::SingboxTunnelsManager> loadManager(veloxa::TunnelSystem& system);

    // Writes an interface's counters (any text) into the fake sysfs tree.
    void setCounters(const QString& interface, const QByteArray& rx, const QByteArray& tx);
    // A tunnel-engine document with a tun inbound on `interface` and fake-engine options
    // (in the inbound's tag, where fake-engine reads them).
    static std::string engineConfig(const QString& interface,
                                    const nlohmann::json& fakeEngine = {});

private:
    QTemporaryDir m_dir;
    QStringList m_extra;
    QString m_engine = QStringLiteral(VELOXA_FAKE_ENGINE_BIN) + QStringLiteral(" run -c {config}");
    QString m_systemGroup;
    QString m_runtimeDir;
    int m_fileLimit = 0;
    QProcess m_process;
};

// A line-protocol client for raw frames on the control socket.
class RawControlClient {
public:
    bool connectTo(const QString& path);
    // Sends a request and waits for its reply; events seen meanwhile are kept.
    std::optional<nlohmann::json> request(nlohmann::json request, int timeoutMs = 5000);
    // {"op": op, "identifier": identifier}: start, stop, load, remove.
    std::optional<nlohmann::json> op(const char* op, const QString& identifier) {
        return request({{"op", op}, {"identifier", identifier.toStdString()}});
    }
    void writeRaw(const QByteArray& bytes);
    // Waits for the next reply-or-event frame.
    std::optional<nlohmann::json> next(int timeoutMs = 5000);
    // Waits until a status event for `identifier` with `status` arrives; returns the
    // sequence of statuses seen for it up to then.
    std::optional<QList<int>> waitForStatus(const QString& identifier, int status,
                                            int timeoutMs = 10000);
    // The last status event waitForStatus saw.
    const nlohmann::json& lastStatusEvent() const { return m_lastStatus; }
    bool waitForClosed(int timeoutMs = 3000);
    QLocalSocket& socket() { return m_socket; }

private:
    QLocalSocket m_socket;
    QByteArray m_buffer;
    QList<nlohmann::json> m_events;
    nlohmann::json m_lastStatus;
    int m_nextId = 1;
};
