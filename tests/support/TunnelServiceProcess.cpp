#include "TunnelServiceProcess.h"

#include "platform/Bundle.h"
#include "platform/netext/TunnelSystem.h"
#include "tunnel/SingboxTunnelsManager.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using json = nlohmann::json;

TunnelServiceProcess::TunnelServiceProcess(QStringList extraArguments)
    : m_extra(std::move(extraArguments)) {
    QDir(m_dir.path()).mkpath(QStringLiteral("sys"));
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

TunnelServiceProcess::~TunnelServiceProcess() {
    if (m_process.state() != QProcess::NotRunning)
        terminate();
}

void TunnelServiceProcess::setSystemMode(const QString& group) {
    m_systemGroup = group;
    // Other users must reach the sockets below the temporary folder.
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                            QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                            QFileDevice::ExeGroup);
}

bool TunnelServiceProcess::start() {
    QStringList args{QStringLiteral("--runtime-dir"),
                     runtimeDir(),
                     QStringLiteral("--state-dir"),
                     stateDir(),
                     QStringLiteral("--sysfs-net"),
                     sysfs(),
                     QStringLiteral("--app-group"),
                     appGroup(),
                     QStringLiteral("--stop-grace"),
                     QStringLiteral("1500"),
                     QStringLiteral("--engine"),
                     QStringLiteral(VELOXA_FAKE_ENGINE_BIN) + QStringLiteral(" run -c {config}")};
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

void TunnelServiceProcess::collectLog() {
    m_log += m_process.readAll();
}

void TunnelServiceProcess::kill() {
    m_process.kill();
    m_process.waitForFinished(5000);
    collectLog();
}

int TunnelServiceProcess::terminate() {
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
        collectLog();
        return -1;
    }
    collectLog();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
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
    std::optional<std::expected<Manager::Pointer, QString>> result;
    system.loadAllFromPreferences([&](auto list, auto error) {
        Manager::create(list, error, system, clientBundle(),
                        [&](auto created) { result = created; });
    });
    (void)QTest::qWaitFor([&] { return result.has_value(); }, 5000);
    return result && *result ? **result : nullptr;
}

std::string TunnelServiceProcess::engineConfig(const QString& interface, const json& fakeEngine) {
    json doc = {
        {"inbounds", json::array({{{"type", "tun"}, {"interface_name", interface.toStdString()}}})},
        {"outbounds", json::array({{{"type", "direct"}}})}};
    if (!fakeEngine.is_null())
        doc["fake_engine"] = fakeEngine;
    return doc.dump();
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
            m_socket.waitForReadyRead(
                static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        m_buffer += m_socket.readAll();
    }
}

std::optional<json> RawControlClient::request(json request, int timeoutMs) {
    const int id = m_nextId++;
    request["id"] = id;
    writeRaw(QByteArray::fromStdString(request.dump()) + '\n');
    const QDeadlineTimer deadline(timeoutMs);
    while (auto frame = next(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))) {
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
        std::optional<json> frame;
        if (!m_events.isEmpty())
            frame = m_events.takeFirst();
        else
            frame = next(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        if (!frame)
            return std::nullopt;
        if (frame->value("event", json()) != "status" ||
            frame->value("identifier", json()) != identifier.toStdString())
            continue;
        seen.append(frame->value("status", 0));
        if (seen.last() == status)
            return seen;
    }
}

bool RawControlClient::waitForClosed(int timeoutMs) {
    if (m_socket.state() == QLocalSocket::UnconnectedState)
        return true;
    return m_socket.waitForDisconnected(timeoutMs);
}
