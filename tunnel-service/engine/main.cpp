// veloxa-engine: the built-in tunnel engine. It runs the WireGuard part of a tunnel-engine
// document through the kernel's WireGuard, or wireguard-go where the kernel has none, and
// refuses everything else by name. The tunnel service runs it as
// "veloxa-engine run -c FILE --state LEDGER [--resume]"; it prints the line
// "veloxa-engine: tunnel NAME started (…)" once everything is in place, and removes
// everything it made on SIGTERM.
#include "Command.h"
#include "Host.h"
#include "Ledger.h"
#include "WireGuardConfig.h"
#include "WireGuardTunnel.h"
#include "json/JsonDepth.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace veloxa::engine;

namespace {

// Exit codes the tunnel service acts on.
enum Exit {
    Stopped = 0,      // on a signal, everything removed
    Failed = 1,       // a fresh start failed (everything removed), or a ledger is unusable
    Refused = 2,      // the document or the command line
    DataPathDied = 3, // the connection's guard and routing stay; restart with --resume
};

// Every line but the ready one. The service takes that one as the sign that traffic is
// held and routed, so no other may read as it, whatever a tool or the document put in.
void say(std::string line) {
    std::ranges::replace_if(
        line, [](unsigned char c) { return c < 0x20 || c == 0x7f; }, '?');
    for (auto at = line.find(" started ("); at != std::string::npos;
         at = line.find(" started (", at))
        line[at + 9] = '?';
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

int usage(FILE* to) {
    std::fputs(
        "usage: veloxa-engine run -c FILE --state LEDGER [--resume]\n"
        "       veloxa-engine cleanup --state LEDGER [--keep-connection]\n"
        "Runs the WireGuard part of a tunnel-engine document: one tun inbound, one\n"
        "WireGuard endpoint (or the older wireguard outbound), plain DNS servers.\n"
        "Uses the kernel's WireGuard, else wireguard-go. Other types and unknown keys\n"
        "need sing-box. With auto_route, a firewall table (inet veloxa) lets nothing leave\n"
        "but through the tunnel, to the WireGuard server and to the local network, and DNS\n"
        "goes to the document's servers through the tunnel.\n"
        "LEDGER records every change before it is made (mode 0600). run undoes a leftover\n"
        "ledger first; --resume keeps the connection's guard, routing and DNS redirect and\n"
        "reuses its server addresses. On SIGTERM it removes everything: exit 0. A failed\n"
        "start removes everything: exit 1. A refused document: exit 2. The interface or\n"
        "wireguard-go gone, or a failed --resume: the connection's steps stay: exit 3.\n"
        "cleanup undoes what LEDGER records, newest first; --keep-connection leaves the\n"
        "connection's steps (traffic stays held). An unusable ledger is left alone: exit 1.\n",
        to);
    return to == stdout ? Stopped : Refused;
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

bool stopSignalPending() {
    sigset_t pending;
    sigpending(&pending);
    return sigismember(&pending, SIGTERM) || sigismember(&pending, SIGINT) ||
           sigismember(&pending, SIGHUP);
}

int run(const std::string& configPath, const std::string& statePath, bool resume) {
    const auto text = readFile(configPath);
    if (!text) {
        say("cannot read the tunnel settings");
        return Failed;
    }
    const auto document = veloxa::JsonDepth::parse(*text);
    if (document.is_discarded()) {
        say("the tunnel settings are not valid JSON");
        return Refused;
    }
    auto config = WireGuardConfig::parse(document);
    if (!config) {
        say(config.error());
        return Refused;
    }
    for (const auto& note : config->notes)
        say(note);
    auto previous = Ledger::load(statePath);
    if (!previous) {
        say(previous.error());
        return Failed;
    }

    Command command;
    const Host host{command, "/", systemResolve};
    const std::string name = config->interfaceName;
    WireGuardTunnel tunnel(std::move(*config), host, statePath, std::move(*previous), say);
    if (auto up = tunnel.up(resume, stopSignalPending); !up) {
        if (tunnel.wasInterrupted()) {
            tunnel.down(false);
            say("veloxa-engine: tunnel " + name + " stopped");
            return Stopped;
        }
        // A resumed connection keeps holding traffic until the service gives up on it.
        tunnel.down(resume);
        say(up.error());
        return resume ? DataPathDied : Failed;
    }
    std::fprintf(stdout, "veloxa-engine: tunnel %s started (%s)\n", name.c_str(),
                 tunnel.implementation());
    std::fflush(stdout);

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
            return Stopped;
        }
        // The daemon or the interface went away: the connection's steps keep traffic in
        // while the service restarts the engine.
        if (const auto gone = tunnel.dataPathGone()) {
            tunnel.down(true);
            say(*gone);
            return DataPathDied;
        }
    }
}

int cleanUp(const std::string& statePath, bool keepConnection) {
    auto ledger = Ledger::load(statePath);
    if (!ledger) {
        say(ledger.error());
        return Failed;
    }
    if (!*ledger)
        return Stopped;
    Command command;
    const Host host{command, "/", systemResolve};
    (*ledger)->revert(host, keepConnection, say);
    return Stopped;
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
    if (args.empty() || (args[0] != "run" && args[0] != "cleanup"))
        return usage(stderr);
    const bool running = args[0] == "run";
    std::string config, state;
    bool flag = false; // --resume for run, --keep-connection for cleanup
    for (std::size_t i = 1; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size() && !args[i + 1].empty();
        if (running && (args[i] == "-c" || args[i] == "--config") && hasValue && config.empty())
            config = args[++i];
        else if (args[i] == "--state" && hasValue && state.empty())
            state = args[++i];
        else if (args[i] == (running ? "--resume" : "--keep-connection") && !flag)
            flag = true;
        else
            return usage(stderr);
    }
    if (state.empty() || (running && config.empty()))
        return usage(stderr);
    return running ? run(config, state, flag) : cleanUp(state, flag);
}
