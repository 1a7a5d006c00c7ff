#pragma once

#include <QObject>
#include <QProcess>
#include <QTimer>
#include <expected>

namespace veloxa::tunnel {

// One run of the tunnel engine. It counts as ready once it says it has started (a line
// containing "started" on its output) or once its TUN interface shows up in sysfs; an
// interface that was there before the start never counts. It is killed with the service:
// the child gets SIGKILL when its parent dies.
class EngineProcess : public QObject {
    Q_OBJECT
public:
    struct Launch {
        QString program; // resolved absolute path
        QStringList arguments;
        QString interfaceDir;          // sysfs folder whose appearance means ready; may be empty
        bool interfaceExisted = false; // it was there at the start: its presence means nothing
        int readyTimeoutMs = 20000;
        int stopGraceMs = 3000;
    };

    // Splits the command template, puts the configuration path in for {config} and finds
    // the program. Errors are worded for the user.
    static std::expected<Launch, QString> prepare(const QString& commandTemplate,
                                                  const QString& configPath);

    explicit EngineProcess(Launch launch, QObject* parent = nullptr);
    ~EngineProcess() override;

    void start();
    // SIGTERM, then SIGKILL after the grace period.
    void stop();
    // Blocks until the process is gone (service shut-down only).
    void stopAndWait();
    bool isReady() const { return m_ready; }
    const Launch& launch() const { return m_launch; }
    qint64 pid() const { return m_process.processId(); }

    // The engine's last line of output, without control characters.
    QString lastLine() const { return m_lastLine; }

signals:
    void ready();
    // wasReady: it had become ready before it ended. detail: why, for the user (the
    // engine's own last line when it failed to start). clean: it exited with code 0.
    void finished(bool wasReady, const QString& detail, bool clean);

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
