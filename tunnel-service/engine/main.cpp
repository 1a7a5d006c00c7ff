// veloxa-engine: the built-in tunnel engine. It runs the WireGuard part of a tunnel-engine
// document through the kernel's WireGuard, or wireguard-go where the kernel has none, and
// refuses everything else by name. The tunnel service runs it as "veloxa-engine run -c
// FILE"; it prints one line with "started" once the tunnel is up, and removes everything
// it set up on SIGTERM.
#include "WireGuardConfig.h"
#include "WireGuardTunnel.h"
#include "json/JsonDepth.h"
#include "platform/netext/InterfaceName.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace veloxa::engine;

namespace {

void say(const std::string& line) {
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

int usage(FILE* to) {
    std::fputs("usage: veloxa-engine run -c FILE\n"
               "       veloxa-engine cleanup [--interface NAME] [--keep-routes]\n"
               "Runs the WireGuard part of a tunnel-engine document: one tun inbound, one\n"
               "WireGuard endpoint (or the older wireguard outbound), plain DNS servers.\n"
               "Uses the kernel's WireGuard, else wireguard-go. Other outbound, endpoint or\n"
               "inbound types need sing-box.\n"
               "cleanup removes what an engine that was killed left behind: the routing rules\n"
               "and table (unless --keep-routes) and the tunnel interface NAME.\n",
               to);
    return to == stdout ? 0 : 2;
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text;
    text.resize(1024 * 1024 + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > 1024 * 1024)
        return std::nullopt;
    return text;
}

int run(const std::string& path) {
    const auto text = readFile(path);
    if (!text) {
        say("cannot read the tunnel settings");
        return 1;
    }
    const auto document = veloxa::JsonDepth::parse(*text);
    if (document.is_discarded()) {
        say("the tunnel settings are not valid JSON");
        return 2;
    }
    auto config = WireGuardConfig::parse(document);
    if (!config) {
        say(config.error());
        return 2;
    }
    for (const auto& note : config->notes)
        say(note);
    const std::string name = config->interfaceName;
    WireGuardTunnel tunnel(std::move(*config), say);
    if (auto up = tunnel.up(); !up) {
        say(up.error());
        return 1;
    }
    say("veloxa-engine: tunnel " + name + " started (" + tunnel.implementation() + ")");

    sigset_t waitFor;
    sigemptyset(&waitFor);
    for (int s : {SIGTERM, SIGINT, SIGHUP, SIGCHLD})
        sigaddset(&waitFor, s);
    const timespec tick{1, 0};
    for (;;) {
        const int signal = sigtimedwait(&waitFor, nullptr, &tick);
        if (signal == SIGTERM || signal == SIGINT || signal == SIGHUP) {
            tunnel.down(false);
            say("veloxa-engine: tunnel " + name + " stopped");
            return 0;
        }
        // The daemon or the interface went away: end as a crash, so the service restarts
        // the engine while the blackhole keeps traffic in.
        const pid_t daemon = tunnel.daemonPid();
        int status = 0;
        if (daemon > 0 && ::waitpid(daemon, &status, WNOHANG) == daemon) {
            say("wireguard-go ended unexpectedly");
            tunnel.down(true);
            return 1;
        }
        if (!WireGuardTunnel::interfaceExists(name)) {
            say("the interface " + name + " disappeared");
            tunnel.down(true);
            return 1;
        }
    }
}

} // namespace

int main(int argc, char* argv[]) {
    ::umask(077);
    // Signals are taken synchronously by the wait loop; children start with none blocked.
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int s : {SIGTERM, SIGINT, SIGHUP, SIGCHLD})
        sigaddset(&blocked, s);
    sigprocmask(SIG_BLOCK, &blocked, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h"))
        return usage(stdout);
    if (args.size() == 3 && args[0] == "run" && (args[1] == "-c" || args[1] == "--config"))
        return run(args[2]);
    if (!args.empty() && args[0] == "cleanup") {
        std::string name;
        bool keepRoutes = false;
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--interface" && i + 1 < args.size() &&
                veloxa::isValidInterfaceName(args[i + 1]))
                name = args[++i];
            else if (args[i] == "--keep-routes")
                keepRoutes = true;
            else
                return usage(stderr);
        }
        WireGuardTunnel::cleanUp(name, keepRoutes, say);
        return 0;
    }
    return usage(stderr);
}
