#include "BuildConfig.h"
#include "ConfigurationStore.h"
#include "ControlServer.h"
#include "ServiceOptions.h"
#include "StatsServer.h"
#include "TunnelService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcService)

using namespace veloxa::tunnel;

namespace {
int signalPipe[2] = {-1, -1};

void onSignal(int signal) {
    const char byte = char(signal);
    [[maybe_unused]] auto written = ::write(signalPipe[1], &byte, 1);
}

bool prepareDirectory(const QString& path, mode_t mode, long group) {
    if (!QDir().mkpath(path))
        return false;
    const QByteArray native = QFile::encodeName(path);
    if (group >= 0 &&
        ::chown(native.constData(), static_cast<uid_t>(-1), static_cast<gid_t>(group)) != 0)
        return false;
    return ::chmod(native.constData(), mode) == 0;
}

bool anotherInstanceAnswers(const QString& socketPath) {
    QLocalSocket probe;
    probe.connectToServer(socketPath);
    return probe.waitForConnected(500);
}
} // namespace

int main(int argc, char* argv[]) {
    ::umask(077); // sockets and files start private; modes are widened on purpose below
    QCoreApplication app(argc, argv);
    qSetMessagePattern(QStringLiteral("veloxa-tunnel: %{message}"));

    QStringList args = app.arguments().mid(1);
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(qPrintable(ServiceOptions::usage()), stdout);
        return 0;
    }
    auto parsed = ServiceOptions::parse(args, QCoreApplication::applicationDirPath() +
                                                  QStringLiteral("/veloxa-engine"));
    if (!parsed) {
        std::fprintf(stderr, "veloxa-tunnel: %s\n%s", qPrintable(parsed.error()),
                     qPrintable(ServiceOptions::usage()));
        return 2;
    }
    const ServiceOptions options = *parsed;

    const PeerPolicy policy =
        options.userMode ? PeerPolicy::forUser() : PeerPolicy::forSystem(options.socketGroup);
    const long group = options.userMode ? -1 : policy.groupId();
    if (!options.userMode && group < 0)
        qCWarning(lcService).noquote()
            << "group" << options.socketGroup << "does not exist; only root can use the service";
    if (!prepareDirectory(options.runtimeDir, options.userMode || group < 0 ? 0700 : 0750, group)) {
        qCCritical(lcService).noquote()
            << "cannot prepare the runtime directory" << options.runtimeDir;
        return 1;
    }
    if (anotherInstanceAnswers(options.controlSocketPath())) {
        qCCritical(lcService).noquote()
            << "another tunnel service already answers on" << options.controlSocketPath();
        return 1;
    }

    ConfigurationStore store(options.stateDir);
    QStringList warnings;
    if (auto opened = store.open(&warnings); !opened) {
        qCCritical(lcService).noquote() << opened.error();
        return 1;
    }
    for (const QString& warning : warnings)
        qCWarning(lcService).noquote() << warning;

    TunnelService service(options, store);
    // Before anyone can ask for anything: what a killed run left goes, and the connection
    // it had comes back.
    service.recover();
    ClientLimits limits(options.maxClients, options.maxClientsPerUser);
    ControlServer control(service, policy, limits, options.serviceId,
                          QString::fromUtf8(veloxa::build::version));
    StatsServer stats(service, policy, limits);
    const int socketMode = options.userMode || group < 0 ? 0600 : 0660;
    // The control socket comes last: once clients can reach it, everything is up.
    for (auto listened : {stats.listen(options.statsSocketPath(), socketMode, group),
                          control.listen(options.controlSocketPath(), socketMode, group)}) {
        if (!listened) {
            qCCritical(lcService).noquote() << listened.error();
            return 1;
        }
    }

    // SIGTERM and SIGINT end the service in order: the engine is stopped first. SIGUSR1
    // hands the connection over to the next service (an upgrade): traffic stays held.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return 1;
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
        char byte = 0;
        [[maybe_unused]] auto r = ::read(signalPipe[0], &byte, 1);
        if (byte == SIGUSR1) {
            qCInfo(lcService) << "handing the connection over";
            service.handOver();
            app.exit(TunnelService::exitHandedOver);
            return;
        }
        qCInfo(lcService) << "stopping";
        service.shutdown();
        app.quit();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    ::sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGUSR1})
        ::sigaction(signal, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    qCInfo(lcService).noquote() << "ready:" << store.all().size()
                                << "configurations, control socket" << options.controlSocketPath()
                                << "engine" << options.engineCommand;
    return app.exec();
}
