#include "EngineProcess.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace veloxa::tunnel {

bool EngineProcess::isBuiltIn(const QString& program) {
    return QFileInfo(program).fileName() == u"veloxa-engine";
}

std::expected<EngineProcess::Launch, QString> EngineProcess::prepare(const QString& commandTemplate,
                                                                     const QString& configPath,
                                                                     const QString& statePath) {
    QStringList parts = QProcess::splitCommand(commandTemplate);
    if (parts.isEmpty())
        return std::unexpected(QStringLiteral("No tunnel engine command is configured"));
    for (QString& part : parts) {
        part.replace(QStringLiteral("{config}"), configPath);
        part.replace(QStringLiteral("{state}"), statePath);
    }
    const QString name = parts.takeFirst();
    QString program;
    if (name.contains(u'/')) {
        const QFileInfo info(name);
        if (info.isFile() && info.isExecutable())
            program = info.absoluteFilePath();
    } else {
        program = QStandardPaths::findExecutable(name);
    }
    if (program.isEmpty())
        return std::unexpected(
            QStringLiteral("The tunnel engine \"%1\" was not found on this computer").arg(name));
    Launch launch;
    launch.program = program;
    launch.arguments = parts;
    launch.builtIn = isBuiltIn(program);
    if (launch.builtIn && !parts.contains(QStringLiteral("--state")))
        launch.arguments << QStringLiteral("--state") << statePath;
    return launch;
}

EngineProcess::EngineProcess(Launch launch, QObject* parent)
    : QObject(parent), m_launch(std::move(launch)) {
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    const pid_t service = ::getpid();
    m_process.setChildProcessModifier([service] {
        // No engine outlives the service, even when the service is killed outright.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != service) // the service died before the line above
            ::_exit(127);
    });
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &EngineProcess::onOutput);
    connect(&m_process, &QProcess::finished, this, &EngineProcess::onFinished);
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            emit finished(false,
                          QStringLiteral("The tunnel engine could not be started: %1")
                              .arg(m_process.errorString()),
                          -1);
    });
    m_readyPoll.setInterval(100);
    connect(&m_readyPoll, &QTimer::timeout, this, [this] {
        if (!m_launch.interfaceDir.isEmpty() && !m_launch.interfaceExisted &&
            QFileInfo::exists(m_launch.interfaceDir))
            markReady();
    });
    m_readyTimeout.setSingleShot(true);
    connect(&m_readyTimeout, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        if (m_launch.killWhenLate)
            m_process.kill();
        else
            stop();
    });
    m_killTimer.setSingleShot(true);
    connect(&m_killTimer, &QTimer::timeout, this, [this] { m_process.kill(); });
}

EngineProcess::~EngineProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.disconnect(this);
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

void EngineProcess::start() {
    m_process.start(m_launch.program, m_launch.arguments);
    if (!m_launch.interfaceDir.isEmpty())
        m_readyPoll.start();
    m_readyTimeout.start(m_launch.readyTimeoutMs);
}

void EngineProcess::stop() {
    m_readyPoll.stop();
    m_readyTimeout.stop();
    if (m_process.state() == QProcess::NotRunning || m_stopping)
        return;
    m_stopping = true;
    m_process.terminate();
    m_killTimer.start(m_launch.stopGraceMs);
}

void EngineProcess::stopAndWait() {
    stop();
    if (m_process.state() != QProcess::NotRunning &&
        !m_process.waitForFinished(m_launch.stopGraceMs)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

void EngineProcess::markReady() {
    if (m_ready || m_stopping)
        return;
    m_ready = true;
    m_readyPoll.stop();
    m_readyTimeout.stop();
    emit ready();
}

void EngineProcess::onOutput() {
    m_partialLine += m_process.readAllStandardOutput();
    qsizetype nl;
    while ((nl = m_partialLine.indexOf('\n')) >= 0) {
        QString line = QString::fromUtf8(m_partialLine.left(nl)).trimmed();
        m_partialLine.remove(0, nl + 1);
        line.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
        if (line.isEmpty())
            continue;
        m_lastLine = line.left(300);
        if (m_launch.builtIn ? line.startsWith(QStringLiteral("veloxa-engine: tunnel %1 started (")
                                                   .arg(m_launch.interfaceName))
                             : line.contains(QStringLiteral("started")))
            markReady();
    }
    if (m_partialLine.size() > 64 * 1024) // a runaway line is not kept
        m_partialLine.clear();
}

void EngineProcess::onFinished(int exitCode, QProcess::ExitStatus status) {
    m_readyPoll.stop();
    m_readyTimeout.stop();
    m_killTimer.stop();
    QString detail;
    if (m_timedOut)
        detail = QStringLiteral("The tunnel engine did not become ready in time");
    else if (status == QProcess::CrashExit)
        detail = QStringLiteral("The tunnel engine crashed");
    else if (!m_ready && !m_stopping && !m_lastLine.isEmpty())
        detail = m_lastLine; // the engine's own words on why it could not start
    else
        detail = QStringLiteral("The tunnel engine exited with code %1").arg(exitCode);
    emit finished(m_ready, detail, status == QProcess::NormalExit ? exitCode : -1);
}

} // namespace veloxa::tunnel
