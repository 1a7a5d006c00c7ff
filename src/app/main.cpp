#include "AppDelegate.h"
#include "CommandLine.h"
#include "LogOutput.h"
#include "SelfTest.h"
#include "WidgetStyle.h"
#include "api/UrlPolicy.h"
#include "localization/Localization.h"
#include "platform/Bundle.h"
#include "platform/GraphicsBackend.h"
#include "platform/PlatformServices.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#ifdef VELOXA_TEST_BUILD
#include "TestBuild.h"
#endif

#include <QApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>
#include <ctime>

using namespace veloxa;

namespace {
// Builds for different services are different clients, each with its own window.
QString instanceName(const AppState::Dependencies& dependencies) {
    const QByteArray url = dependencies.serviceBaseURL.toString().toUtf8();
    return QStringLiteral("veloxa-client-") +
           QString::fromLatin1(
               QCryptographicHash::hash(url, QCryptographicHash::Sha256).toHex().left(12));
}
void nameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Veloxa"));
    QCoreApplication::setOrganizationName(QStringLiteral("Veloxa"));
}

// `veloxa --status`, `--connect`, ...: no window, no display; the running client does it.
int runCommandLine(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    nameApplication();
    Localization::shared(); // the interface language's texts, as the window shows them
    const auto client = PlatformServices::remoteClient(
        {QCoreApplication::applicationFilePath(), QStringLiteral("--hidden")});
    QElapsedTimer clock;
    clock.start();
    CommandLine commandLine(*client,
                            {[&clock] { return clock.elapsed(); },
                             [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); }},
                            stdout, stderr);
    return commandLine.run(app.arguments().mid(1));
}
} // namespace

int main(int argc, char* argv[]) {
    LogOutput::install();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (CommandLine::isCommand(arguments))
        return runCommandLine(argc, argv);

    QApplication app(argc, argv);
    nameApplication();
    QApplication::setDesktopFileName(QStringLiteral("veloxa"));
    WidgetStyle::applyDark(app);
    if (app.arguments().contains(QStringLiteral("--self-test")))
        return SelfTest::run();

    // A build whose service URLs break the https rule must not start.
    const QStringList problems = UrlPolicy::buildConstantProblems();
    for (const QString& problem : problems)
        std::fprintf(stderr, "veloxa: %s\n", qPrintable(problem));
    if (!problems.isEmpty())
        return 2;

    AppState::Dependencies dependencies = AppState::Dependencies::production();
#ifdef VELOXA_TEST_BUILD
    TestBuild::adjust(dependencies);
#endif

    // One client per user: a second start shows the first one's window and ends.
    SingleInstance instance(SingleInstance::defaultDirectory(), instanceName(dependencies));
    const bool hidden = app.arguments().contains(QStringLiteral("--hidden"));
    if (!instance.claim()) {
        // A script's start finds the client it wanted already there: nothing to show.
        if (hidden || instance.handOver())
            return 0;
        std::fputs("veloxa: another Veloxa is running but does not answer\n", stderr);
        return 1;
    }

    GraphicsBackend::choose();
    AppDelegate delegate(dependencies, AppDelegate::Hooks::production(), Bundle::main());
    delegate.setStartHidden(hidden);
    QObject::connect(&instance, &SingleInstance::activationRequested, &delegate,
                     &AppDelegate::handOver);
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &delegate,
                     &AppDelegate::terminateNow);
    // The session manager's commit request is not the end of the session (the user may
    // still cancel the log-out): the client stays. When the session really ends, the
    // session manager's quit or its SIGTERM ends the client.
    if (qEnvironmentVariableIsSet("VELOXA_REPORT_FIRST_FRAME")) {
        // For the start-up benchmark: the monotonic clock when the window first shows.
        QObject::connect(&delegate, &AppDelegate::firstFrameSwapped, [] {
            timespec now = {};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::printf("first-frame %lld\n", now.tv_sec * 1000000000LL + now.tv_nsec);
            std::fflush(stdout);
        });
    }
#ifdef VELOXA_TEST_BUILD
    TestBuild::startProbe(delegate);
#endif

    delegate.applicationWillFinishLaunching();
    QMetaObject::invokeMethod(&delegate, &AppDelegate::applicationDidFinishLaunching,
                              Qt::QueuedConnection);
    return app.exec();
}
