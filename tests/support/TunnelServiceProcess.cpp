#include "TunnelServiceProcess.h"

#include "platform/Bundle.h"
#include "platform/netext/TunnelSystem.h"
#include "support/Await.h"
#include "tunnel/SingboxTunnelsManager.h"

#include <QDeadlineTimer>
#include <QDirIterator>
#include <QFile>
#include <QTest>

#include <grp.h>
#include <sys/resource.h>
#include <unistd.h>

using json = nlohmann::json;

namespace {
int msLeft(const QDeadlineTimer& deadline) {
    return int(std::max<qint64>(1, deadline.remainingTime()));
}
} // namespace

TunnelServiceProcess::TunnelServiceProcess(QStringList extraArguments)
    : m_extra(std::move(extraArguments)) {
    QDir(m_dir.path()).mkpath(QStringLiteral("sys"));
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("service.log")),
                                    QIODevice::Append); // to read when a test fails
}

TunnelServiceProcess::~TunnelServiceProcess() {
    if (m_process.state() != QProcess::NotRunning)
        terminate();
}

void TunnelServiceProcess::setSystemMode(const QString& group) {
    m_systemGroup = group;
    // Other users must reach the sockets below the temporary folder: 0755.
    QFile::setPermissions(m_dir.path(), QFile::Permissions(0x7055));
}

void TunnelServiceProcess::runAsUser(QProcess& process, uid_t uid) {
    process.setChildProcessModifier([uid] {
        ::setgroups(0, nullptr);
        if (::setgid(65534) != 0 || ::setuid(uid) != 0)
            ::_exit(99);
    });
}

bool TunnelServiceProcess::start() {
    QStringList args{QStringLiteral("--runtime-dir"),     runtimeDir(),
                     QStringLiteral("--state-dir"),       stateDir(),
                     QStringLiteral("--sysfs-net"),       sysfs(),
                     QStringLiteral("--app-group"),       appGroup(),
                     QStringLiteral("--stop-grace"),      QStringLiteral("1500"),
                     QStringLiteral("--cleanup-timeout"), QStringLiteral("3000")};
    if (!m_engine.isEmpty())
        args << QStringLiteral("--engine") << m_engine;
    if (m_systemGroup.isEmpty())
        args.prepend(QStringLiteral("--user"));
    else
        args << QStringLiteral("--socket-group") << m_systemGroup;
    args += m_extra;
    const int fileLimit = m_fileLimit;
    m_process.setChildProcessModifier([fileLimit] {
        if (fileLimit > 0) {
            const rlimit limit{rlim_t(fileLimit), rlim_t(fileLimit)};
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
    });
    // A test can be pointed at another build of the service (to see it fail without a fix).
    const QString binary = qEnvironmentVariableIsSet("VELOXA_TEST_TUNNEL_BIN")
                               ? qEnvironmentVariable("VELOXA_TEST_TUNNEL_BIN")
                               : QStringLiteral(VELOXA_TUNNEL_BIN);
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), m_dir.filePath(QStringLiteral("bin")) + u':' +
                                                   environment.value(QStringLiteral("PATH")));
    m_process.setProcessEnvironment(environment);
    m_process.start(binary, args);
    if (!m_process.waitForStarted(5000))
        return false;
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        QLocalSocket probe;
        probe.connectToServer(controlSocket());
        if (probe.waitForConnected(100))
            return true;
        if (m_process.state() == QProcess::NotRunning)
            return false;
        QTest::qWait(20);
    }
    return false;
}

bool TunnelServiceProcess::start(RawControlClient& client) {
    return start() && client.connectTo(controlSocket());
}

int TunnelServiceProcess::stop(int signal) {
    if (m_process.state() == QProcess::Running &&
        (::kill(pid_t(m_process.processId()), signal) != 0 || !m_process.waitForFinished(10000))) {
        m_process.kill();
        m_process.waitForFinished(2000);
        return -1;
    }
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QString TunnelServiceProcess::installStandIn(const QString& name) {
    const QString path = m_dir.filePath(QStringLiteral("bin/") + name);
    QDir().mkpath(m_dir.filePath(QStringLiteral("bin")));
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return {};
    script.write(R"(#!/bin/sh
{ printf 'call:'; printf ' %s' "$@"; echo; [ "$1" = run ] && cat "$3" && echo; } >>"$0.calls"
exec ")" VELOXA_FAKE_ENGINE_BIN R"(" "$@"
)");
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

QString TunnelServiceProcess::standInCalls(const QString& name) const {
    QFile calls(m_dir.filePath(QStringLiteral("bin/") + name + QStringLiteral(".calls")));
    return calls.open(QIODevice::ReadOnly) ? QString::fromUtf8(calls.readAll()) : QString();
}

QStringList TunnelServiceProcess::commandLines(const QString& name) const {
    QStringList lines;
    for (const QString& line : standInCalls(name).split(u'\n'))
        if (line.startsWith(QStringLiteral("call: ")))
            lines << line.mid(6);
    return lines;
}

int TunnelServiceProcess::enginesRunning() const {
    int count = 0;
    QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        QFile cmdline(it.next() + QStringLiteral("/cmdline"));
        if (cmdline.open(QIODevice::ReadOnly) &&
            cmdline.readAll().contains(runtimeDir().toUtf8() + "/engine-"))
            ++count;
    }
    return count;
}

void TunnelServiceProcess::setCounters(const QString& interface, const QByteArray& rx,
                                       const QByteArray& tx) {
    const QString dir = sysfs() + u'/' + interface + QStringLiteral("/statistics");
    QDir().mkpath(dir);
    for (const auto& [name, value] : {std::pair{"rx_bytes", rx}, std::pair{"tx_bytes", tx}}) {
        QFile file(dir + u'/' + QLatin1String(name));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(value + '\n');
    }
}

const veloxa::Bundle& TunnelServiceProcess::clientBundle() {
    static const veloxa::Bundle bundle{
        {{"CFBundleIdentifier", QStringLiteral("net.veloxa.client")},
         {"AppGroupIdentifier", appGroup()}},
        QUrl::fromLocalFile(QStringLiteral("/opt/veloxa/Veloxa.app/"))};
    return bundle;
}

std::shared_ptr<veloxa::SingboxTunnelsManager>
TunnelServiceProcess::loadManager(veloxa::TunnelSystem& system) {
    using Manager = veloxa::SingboxTunnelsManager;
    const auto result = awaitCallback<std::expected<Manager::Pointer, QString>>([&](auto done) {
        system.loadAllFromPreferences([&system, done](auto list, auto error) {
            Manager::create(list, error, system, clientBundle(), done);
        });
    });
    return result && *result ? **result : nullptr;
}

std::string TunnelServiceProcess::engineConfig(const QString& interface, const json& fakeEngine) {
    json tun = {{"type", "tun"}, {"interface_name", interface.toStdString()}};
    if (!fakeEngine.is_null())
        tun["tag"] = "fake-engine:" + fakeEngine.dump();
    return json{{"inbounds", json::array({tun})},
                {"outbounds", json::array({{{"type", "direct"}}})}}
        .dump();
}

bool RawControlClient::connectTo(const QString& path) {
    m_socket.connectToServer(path);
    return m_socket.waitForConnected(3000);
}

void RawControlClient::writeRaw(const QByteArray& bytes) {
    m_socket.write(bytes);
    m_socket.flush();
}

std::optional<json> RawControlClient::next(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (true) {
        const qsizetype nl = m_buffer.indexOf('\n');
        if (nl >= 0) {
            const QByteArray line = m_buffer.left(nl);
            m_buffer.remove(0, nl + 1);
            return json::parse(line.cbegin(), line.cend(), nullptr, false);
        }
        if (deadline.hasExpired() || m_socket.state() != QLocalSocket::ConnectedState)
            return std::nullopt;
        if (m_socket.bytesAvailable() == 0)
            m_socket.waitForReadyRead(msLeft(deadline));
        m_buffer += m_socket.readAll();
    }
}

std::optional<json> RawControlClient::request(json request, int timeoutMs) {
    const int id = m_nextId++;
    request["id"] = id;
    writeRaw(QByteArray::fromStdString(request.dump()) + '\n');
    const QDeadlineTimer deadline(timeoutMs);
    while (auto frame = next(msLeft(deadline))) {
        if (frame->contains("event"))
            m_events.append(*frame);
        else if (frame->value("id", json()) == id)
            return frame;
    }
    return std::nullopt;
}

std::optional<QList<int>> RawControlClient::waitForStatus(const QString& identifier, int status,
                                                          int timeoutMs) {
    QList<int> seen;
    const QDeadlineTimer deadline(timeoutMs);
    while (true) {
        const std::optional<json> frame =
            m_events.isEmpty() ? next(msLeft(deadline)) : m_events.takeFirst();
        if (!frame)
            return std::nullopt;
        if (frame->value("event", json()) != "status" ||
            frame->value("identifier", json()) != identifier.toStdString())
            continue;
        seen.append(frame->value("status", 0));
        m_lastStatus = *frame;
        if (seen.last() == status)
            return seen;
    }
}

bool RawControlClient::waitForClosed(int timeoutMs) {
    return m_socket.state() == QLocalSocket::UnconnectedState ||
           m_socket.waitForDisconnected(timeoutMs);
}
