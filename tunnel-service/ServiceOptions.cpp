#include "ServiceOptions.h"

#include "BuildConfig.h"
#include "EngineProcess.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>

namespace veloxa::tunnel {

QString ServiceOptions::usage() {
    return QStringLiteral(
        "Usage: veloxa-tunnel [--user] [options]\n"
        "Runs the Veloxa tunnel service: stores VPN configurations, runs the tunnel engine\n"
        "and serves its byte counters.\n\n"
        "  --user                run for the current user (development, demo, tests)\n"
        "  --runtime-dir DIR     sockets (default /run/veloxa, --user: $XDG_RUNTIME_DIR/veloxa)\n"
        "  --state-dir DIR       configurations (default /var/lib/veloxa,\n"
        "                        --user: $XDG_STATE_HOME/veloxa)\n"
        "  --engine COMMAND      engine command line, {config} is the configuration file,\n"
        "                        {state} the built-in engine's ledger. Default:\n"
        "                        \"sing-box run -c {config}\" when sing-box is on PATH,\n"
        "                        otherwise the built-in veloxa-engine beside this program,\n"
        "                        which runs WireGuard configurations only. A program named\n"
        "                        veloxa-engine is taken for the built-in engine\n"
        "  --sysfs-net DIR       where interface counters are read (default /sys/class/net)\n"
        "  --app-group ID        app group identifier naming the statistics service\n"
        "  --socket-group NAME   system mode: group allowed to use the sockets (veloxa)\n"
        "  --ready-timeout MS    how long the engine may take to become ready (20000)\n"
        "  --stop-grace MS       how long a stopping engine gets before SIGKILL (3000)\n"
        "  --cleanup-timeout MS  how long the built-in engine's cleanup may take before it\n"
        "                        is killed and tried again later (60000)\n"
        "  --max-clients N       connections to both sockets together (256)\n"
        "  --max-clients-per-user N  connections of one user (32)\n"
        "  --help                this text\n");
}

std::expected<ServiceOptions, QString> ServiceOptions::parse(const QStringList& arguments,
                                                             const QString& bundledEngine) {
    ServiceOptions o;
    o.appGroup = QString::fromUtf8(build::appGroupIdentifier);
    o.serviceId = QString::fromUtf8(build::bundleIdentifier) + QStringLiteral(".network-extension");
    QString runtimeDir, stateDir;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size())
                return std::nullopt;
            return arguments[++i];
        };
        auto number = [&](int& out) -> bool {
            auto v = value();
            bool ok = false;
            const int n = v ? v->toInt(&ok) : 0;
            if (!ok || n <= 0)
                return false;
            out = n;
            return true;
        };
        std::optional<QString> v;
        if (arg == u"--user") {
            o.userMode = true;
        } else if (arg == u"--runtime-dir") {
            if (!(v = value()))
                return std::unexpected(arg + QStringLiteral(" needs a value"));
            runtimeDir = *v;
        } else if (arg == u"--state-dir") {
            if (!(v = value()))
                return std::unexpected(arg + QStringLiteral(" needs a value"));
            stateDir = *v;
        } else if (arg == u"--engine") {
            if (!(v = value()) || v->trimmed().isEmpty())
                return std::unexpected(arg + QStringLiteral(" needs a command line"));
            o.engineCommand = *v;
        } else if (arg == u"--sysfs-net") {
            if (!(v = value()))
                return std::unexpected(arg + QStringLiteral(" needs a value"));
            o.sysfsNet = *v;
        } else if (arg == u"--app-group") {
            if (!(v = value()) || v->isEmpty() || v->contains(u'/'))
                return std::unexpected(arg + QStringLiteral(" needs an identifier without '/'"));
            o.appGroup = *v;
        } else if (arg == u"--socket-group") {
            if (!(v = value()))
                return std::unexpected(arg + QStringLiteral(" needs a value"));
            o.socketGroup = *v;
        } else if (arg == u"--ready-timeout") {
            if (!number(o.readyTimeoutMs))
                return std::unexpected(arg + QStringLiteral(" needs a positive number"));
        } else if (arg == u"--stop-grace") {
            if (!number(o.stopGraceMs))
                return std::unexpected(arg + QStringLiteral(" needs a positive number"));
        } else if (arg == u"--cleanup-timeout") {
            if (!number(o.cleanupTimeoutMs))
                return std::unexpected(arg + QStringLiteral(" needs a positive number"));
        } else if (arg == u"--max-clients") {
            if (!number(o.maxClients))
                return std::unexpected(arg + QStringLiteral(" needs a positive number"));
        } else if (arg == u"--max-clients-per-user") {
            if (!number(o.maxClientsPerUser))
                return std::unexpected(arg + QStringLiteral(" needs a positive number"));
        } else {
            return std::unexpected(QStringLiteral("unknown option %1").arg(arg));
        }
    }

    const auto env = QProcessEnvironment::systemEnvironment();
    if (o.userMode) {
        QString xdgRuntime = env.value(QStringLiteral("XDG_RUNTIME_DIR"));
        if (xdgRuntime.isEmpty() && runtimeDir.isEmpty())
            return std::unexpected(
                QStringLiteral("XDG_RUNTIME_DIR is not set; pass --runtime-dir"));
        QString xdgState = env.value(QStringLiteral("XDG_STATE_HOME"));
        if (xdgState.isEmpty())
            xdgState = QDir::homePath() + QStringLiteral("/.local/state");
        o.runtimeDir = runtimeDir.isEmpty() ? xdgRuntime + QStringLiteral("/veloxa") : runtimeDir;
        o.stateDir = stateDir.isEmpty() ? xdgState + QStringLiteral("/veloxa") : stateDir;
    } else {
        o.runtimeDir = runtimeDir.isEmpty() ? QStringLiteral("/run/veloxa") : runtimeDir;
        o.stateDir = stateDir.isEmpty() ? QStringLiteral("/var/lib/veloxa") : stateDir;
    }
    o.runtimeDir = QDir::cleanPath(QDir(o.runtimeDir).absolutePath());
    o.stateDir = QDir::cleanPath(QDir(o.stateDir).absolutePath());
    if (o.engineCommand.isEmpty()) {
        if (!QStandardPaths::findExecutable(QStringLiteral("sing-box")).isEmpty())
            o.engineCommand = QStringLiteral("sing-box run -c {config}");
        else if (!bundledEngine.isEmpty())
            o.engineCommand = QStringLiteral("\"%1\" run -c {config}").arg(bundledEngine);
        else
            return std::unexpected(
                QStringLiteral("no tunnel engine: install sing-box or pass --engine"));
    }
    if (!o.engineCommand.contains(QStringLiteral("{config}")))
        return std::unexpected(QStringLiteral("--engine must contain {config}"));
    if (const auto engine = EngineProcess::prepare(o.engineCommand, {}, {});
        engine && engine->builtIn) {
        o.cleanupProgram = engine->program;
        o.builtInEngine = true;
    } else if (QFileInfo(bundledEngine).isExecutable()) {
        o.cleanupProgram = bundledEngine; // for what it left before another engine took over
    }
    return o;
}

} // namespace veloxa::tunnel
