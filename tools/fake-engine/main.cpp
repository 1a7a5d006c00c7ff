// fake-engine: a stand-in for the tunnel engine, for tests and the demo. It takes the
// engine's command line ("run -c FILE"), checks that the file is JSON, says it has
// started and stays up until SIGTERM. It routes nothing. With "--sysfs DIR" it plays the
// TUN interface too: DIR/<interface_name>/statistics/{rx,tx}_bytes appear when it starts,
// count up as if traffic flowed, and go when it stops.
//
// It also takes the built-in engine's ledger options, so tests can run it where the
// built-in engine would run: "--state FILE" makes FILE stand for what the engine holds in
// place for the connection (written once started, removed on SIGTERM, kept when it crashes),
// "--resume" is accepted, and "cleanup --state FILE [--keep-connection]" removes FILE unless
// told to keep the connection. With "--state" its ready line is the built-in engine's.
//
// A tun inbound whose "tag" is "fake-engine:" followed by a JSON object changes its
// behaviour (a tag is the one free-text field every engine document may carry):
//   fail_at_start (bool)      exit 1 instead of starting
//   ready_delay_ms (int)      wait before saying "started" (default 50)
//   silent (bool)             never say "started"
//   say ([string])            print these lines first
//   create_dir (string)       create this folder when ready (a TUN interface appearing)
//   counters ([rx, tx])       with --sysfs: these counters instead of counting up
//   crash_after_ms (int)      exit 3 (the data path died) this long after becoming ready
//   crash_marker (string)     with crash_after_ms: crash only while this file is absent,
//                             creating it (so a restarted engine stays up)
//   slow_stop_ms (int)        take this long to exit after SIGTERM
//   ignore_sigterm (bool)     do not exit on SIGTERM (only SIGKILL ends it)
//   stall_cleanup (string)    the first cleanup of this run's state hangs for a minute,
//                             creating this file (so a later cleanup works)
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace {
std::atomic<bool> terminate{false};
void onTerm(int) {
    terminate = true;
}

void sleepMs(long ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The interface's counters, replaced whole so a reader never sees half a number.
void writeCounter(const std::string& dir, const char* name, unsigned long long value) {
    const std::string path = dir + "/" + name;
    {
        std::ofstream out(path + ".new");
        out << value << "\n";
    }
    std::rename((path + ".new").c_str(), path.c_str());
}

int usage() {
    std::fputs("usage: fake-engine run -c FILE [--sysfs DIR] [--state FILE] [--resume]\n"
               "       fake-engine cleanup --state FILE [--keep-connection]\n"
               "A stand-in for the tunnel engine for tests and the demo: it checks the\n"
               "configuration, says it has started and stays up until SIGTERM.\n"
               "It routes nothing: no traffic goes through it.\n",
               stderr);
    return 2;
}

// The behaviour options carried in the tun inbound's tag.
nlohmann::json optionsOf(const nlohmann::json& tun) {
    static constexpr std::string_view prefix = "fake-engine:";
    const auto tag = tun.value("tag", nlohmann::json());
    if (!tag.is_string() || !tag.get_ref<const std::string&>().starts_with(prefix))
        return nlohmann::json::object();
    const auto options =
        nlohmann::json::parse(tag.get<std::string>().substr(prefix.size()), nullptr, false);
    return options.is_object() ? options : nlohmann::json::object();
}
} // namespace

int main(int argc, char* argv[]) {
    std::string config, sysfs, state;
    bool keepConnection = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage();
            return 0;
        }
        if ((arg == "-c" || arg == "--config") && i + 1 < argc)
            config = argv[++i];
        else if (arg == "--sysfs" && i + 1 < argc)
            sysfs = argv[++i];
        else if (arg == "--state" && i + 1 < argc)
            state = argv[++i];
        else if (arg == "--keep-connection")
            keepConnection = true;
    }
    if (argc >= 2 && std::strcmp(argv[1], "cleanup") == 0) {
        std::ifstream ledger(state);
        const auto held = nlohmann::json::parse(ledger, nullptr, false);
        const auto marker = held.is_object() ? held.value("stall_cleanup", "") : "";
        if (struct stat st{}; !marker.empty() && stat(marker.c_str(), &st) != 0) {
            std::ofstream(marker) << "stalled once\n";
            sleepMs(60000);
            return 1;
        }
        if (!keepConnection && !state.empty())
            std::remove(state.c_str());
        return 0;
    }
    if (argc < 2 || std::strcmp(argv[1], "run") != 0 || config.empty())
        return usage();

    std::ifstream in(config);
    if (!in) {
        std::fprintf(stderr, "FATAL fake-engine: cannot read %s\n", config.c_str());
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    const auto doc = nlohmann::json::parse(text.str(), nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) {
        std::fputs("FATAL fake-engine: decode config: not a JSON object\n", stderr);
        return 1;
    }
    nlohmann::json tun = nlohmann::json::object();
    if (doc.contains("inbounds") && doc["inbounds"].is_array() && !doc["inbounds"].empty() &&
        doc["inbounds"][0].is_object())
        tun = doc["inbounds"][0];
    const auto options = optionsOf(tun);
    auto number = [&](const char* key, long fallback) {
        const auto it = options.find(key);
        return it != options.end() && it->is_number_integer() ? it->get<long>() : fallback;
    };
    auto flag = [&](const char* key) { return options.value(key, false) == true; };
    auto text_of = [&](const char* key) {
        const auto it = options.find(key);
        return it != options.end() && it->is_string() ? it->get<std::string>() : std::string();
    };

    struct sigaction action {};
    action.sa_handler = flag("ignore_sigterm") ? SIG_IGN : onTerm;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    if (flag("fail_at_start")) {
        sleepMs(30);
        std::fputs("FATAL fake-engine: start service: simulated failure\n", stderr);
        return 1;
    }
    sleepMs(number("ready_delay_ms", 50));
    if (terminate)
        return 0;
    if (const auto dir = text_of("create_dir"); !dir.empty())
        mkdir(dir.c_str(), 0755);
    const auto fixed = options.value("counters", nlohmann::json());
    const bool counting = !(fixed.is_array() && fixed.size() == 2 &&
                            fixed[0].is_number_unsigned() && fixed[1].is_number_unsigned());
    unsigned long long rx = counting ? 0 : fixed[0].get<unsigned long long>();
    unsigned long long tx = counting ? 0 : fixed[1].get<unsigned long long>();
    std::string interfaceDir;
    const auto name = tun.value("interface_name", nlohmann::json());
    if (!sysfs.empty() && name.is_string()) {
        const auto& plain = name.get_ref<const std::string&>();
        if (plain.find('/') == std::string::npos && plain != "." && plain != "..") {
            // The interface appears whole, with its counters, as a kernel's does.
            interfaceDir = sysfs + "/" + plain;
            const std::string making = sysfs + "/." + plain + ".new";
            mkdir(sysfs.c_str(), 0755);
            mkdir(making.c_str(), 0755);
            mkdir((making + "/statistics").c_str(), 0755);
            writeCounter(making + "/statistics", "rx_bytes", rx);
            writeCounter(making + "/statistics", "tx_bytes", tx);
            std::rename(making.c_str(), interfaceDir.c_str());
        }
    }
    if (!state.empty())
        std::ofstream(state) << nlohmann::json{{"interface", name},
                                               {"stall_cleanup", text_of("stall_cleanup")}}
                                    .dump()
                             << "\n";
    for (const auto& line : options.value("say", nlohmann::json::array()))
        if (line.is_string())
            std::fprintf(stderr, "%s\n", line.get_ref<const std::string&>().c_str());
    if (!flag("silent")) {
        if (state.empty())
            std::fputs("INFO fake-engine started (routes nothing)\n", stderr);
        else // as the built-in engine says it
            std::fprintf(stderr, "veloxa-engine: tunnel %s started (fake-engine)\n",
                         name.is_string() ? name.get_ref<const std::string&>().c_str() : "");
    }
    std::fflush(stderr);

    long crashAfter = number("crash_after_ms", -1);
    if (const auto marker = text_of("crash_marker"); crashAfter >= 0 && !marker.empty()) {
        struct stat st {};
        if (stat(marker.c_str(), &st) == 0)
            crashAfter = -1;
        else
            std::ofstream(marker) << "crashed once\n";
    }
    auto removeInterface = [&] {
        if (interfaceDir.empty())
            return;
        for (const char* counter : {"rx_bytes", "tx_bytes"})
            std::remove((interfaceDir + "/statistics/" + counter).c_str());
        rmdir((interfaceDir + "/statistics").c_str());
        rmdir(interfaceDir.c_str());
    };
    long elapsed = 0;
    while (!terminate) {
        if (!interfaceDir.empty() && counting && elapsed % 500 == 0) {
            writeCounter(interfaceDir + "/statistics", "rx_bytes", rx += 48213);
            writeCounter(interfaceDir + "/statistics", "tx_bytes", tx += 7411);
        }
        sleepMs(10);
        elapsed += 10;
        if (crashAfter >= 0 && elapsed >= crashAfter) {
            // As the built-in engine does when its data path dies: the interface goes, what
            // holds the connection stays.
            removeInterface();
            std::fputs("ERROR fake-engine: the data path died\n", stderr);
            return 3;
        }
    }
    sleepMs(number("slow_stop_ms", 0));
    removeInterface();
    if (!state.empty())
        std::remove(state.c_str());
    return 0;
}
