#pragma once

#include <QObject>
#include <QProcess>
#include <QTimer>
#include <expected>

namespace veloxa::tunnel {

// One run of the tunnel engine. The built-in engine counts as ready only on its own ready
// line for this tunnel (its other lines may echo the document); another engine once it says
// it has started (a line containing "started") or once its TUN interface shows up in sysfs
// (one that was there before the start never counts). It is killed with the service: the
// child gets SIGKILL when its parent dies.
class EngineProcess : public QObject {
    Q_OBJECT
public:
    struct Launch {
        QString program; // resolved absolute path
        QStringList arguments;
        // The built-in engine (the program is called veloxa-engine): it keeps a ledger of
        // what it set up, takes --state and --resume, and cleans up after itself.
        bool builtIn = false;
        QString interfaceName;         // the tun inbound's, named in the built-in ready line
        QString interfaceDir;          // sysfs folder whose appearance means ready; may be empty
        bool interfaceExisted = false; // it was there at the start: its presence means nothing
        int readyTimeoutMs = 20000;
        int stopGraceMs = 3000;
        // An engine that is not ready in time gets SIGKILL, not SIGTERM: a resuming built-in
        // engine then leaves the connection's hold on traffic in place.
        bool killWhenLate = false;
    };
    // The built-in engine's exit when its data path died or a resumed start failed: what
    // holds the connection's traffic stays in place, so the engine is to be started again.
    static constexpr int exitResumable = 3;

    // Splits the command template, puts the configuration path in for {config} and the
    // ledger's for {state}, and finds the program; the built-in engine always gets
    // --state. Errors are worded for the user.
    static std::expected<Launch, QString>
    prepare(const QString& commandTemplate, const QString& configPath, const QString& statePath);
    static bool isBuiltIn(const QString& program);

    explicit EngineProcess(Launch launch, QObject* parent = nullptr);
    ~EngineProcess() override; // a running engine gets SIGKILL and is waited for

    void start();
    // SIGTERM, then SIGKILL after the grace period.
    void stop();
    // Blocks until the process is gone (service shut-down only).
    void stopAndWait();
    bool isReady() const { return m_ready; }
    // It ended by itself with code 0 (the built-in engine then removed what it set up).
    bool exitedCleanly() const {
        return m_process.state() == QProcess::NotRunning &&
               m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }
    const Launch& launch() const { return m_launch; }
    qint64 pid() const { return m_process.processId(); }

    // The engine's last line of output, without control characters.
    QString lastLine() const { return m_lastLine; }

signals:
    void ready();
    // wasReady: it had become ready before it ended. detail: why, for the user (the
    // engine's own last line when it failed to start). exitCode: -1 when it did not exit
    // by itself (a crash, a signal, or it could not be started).
    void finished(bool wasReady, const QString& detail, int exitCode);

private:
    void onOutput();
    void markReady();
    void onFinished(int exitCode, QProcess::ExitStatus status);

    Launch m_launch;
    QProcess m_process;
    QTimer m_readyPoll;
    QTimer m_readyTimeout;
    QTimer m_killTimer;
    QByteArray m_partialLine;
    QString m_lastLine;
    bool m_ready = false;
    bool m_stopping = false;
    bool m_timedOut = false;
};

} // namespace veloxa::tunnel
