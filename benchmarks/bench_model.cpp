// Figures for the application model: the cost of one idle poll tick (tunnel inactive)
// and the CPU the headless model uses while idle, signed in.
//   bench-model [--seconds N]   (default 60)
#include "DevService.h"
#include "IdleCpu.h"
#include "app/AppState.h"
#include "platform/Bundle.h"
#include "platform/MemorySecureItemStore.h"
#include "platform/netext/TunnelServiceClient.h"
#include "support/TunnelServiceProcess.h"
#include "tunnel/SingboxTunnelsManager.h"

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> allocations{0};
} // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

using namespace veloxa;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    int seconds = 60;
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--seconds")
            seconds = std::max(1, atoi(argv[i + 1]));

    dev::DevService service({.printCodes = false});
    TunnelServiceProcess tunnel;
    if (!service.listen(QHostAddress::LocalHost, 0) || !tunnel.start()) {
        std::fprintf(stderr, "bench-model: cannot start the services\n");
        return 1;
    }
    TunnelServiceClient client(tunnel.controlSocket());
    while (!client.isConnected())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);

    const QUrl base = service.baseUrl();
    AppState state({std::make_shared<MemorySecureItemStore>(), base, QUrl(base.toString() + "/ip"),
                    QStringLiteral("Bench — macOS 14.5")});
    QCoro::waitFor(state.requestLoginCode(dev::DevService::activeSeed));
    QCoro::waitFor(state.verifyLoginCode(dev::DevService::activeSeed,
                                         service.mailbox(dev::DevService::activeSeed).last()));

    // One stored profile, not running: the usual idle state.
    const Bundle bundle({{"CFBundleIdentifier", QStringLiteral("net.veloxa.client")},
                         {"AppGroupIdentifier", TunnelServiceProcess::appGroup()}},
                        QUrl());
    bool ready = false;
    TunnelProviderManager::loadAllFromPreferences(client, [&](auto list, auto error) {
        SingboxTunnelsManager::create(list, error, client, bundle, [&](auto manager) {
            state.setTunnelsManager(*manager);
            (*manager)->add({QStringLiteral("Veloxa — Germany"), QStringLiteral("{}")},
                            [&](auto) { ready = true; });
        });
    });
    while (!ready)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);

    const int ticks = 200000;
    state.pollTunnel();
    const long allocationsBefore = allocations;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < ticks; ++i)
        state.pollTunnel();
    const double perTickNs = double(clock.nsecsElapsed()) / ticks;
    const double allocationsPerTick = double(allocations - allocationsBefore) / ticks;

    state.startStatusPolling();
    const double cpu = idleCpuPercent(seconds);

    std::printf("application model figures\n");
    std::printf("  idle poll tick (tunnel inactive): %8.2f us, %.2f allocations per tick (target < "
                "50 us)\n",
                perTickNs / 1000, allocationsPerTick);
    std::printf(
        "  headless model, idle, signed in:  %8.3f %% of a core over %d s (target < 0.1 %%)\n", cpu,
        seconds);
    return 0;
}
