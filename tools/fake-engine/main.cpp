// fake-engine: a stand-in for the tunnel engine, for tests and the demo. It takes the
// engine's command line ("run -c FILE"), checks that the file is JSON, says it has
// started and stays up until SIGTERM. It routes nothing. With "--sysfs DIR" it plays the
// TUN interface too: DIR/<interface_name>/statistics/{rx,tx}_bytes appear when it starts,
// count up as if traffic flowed, and go when it stops. A "fake_engine" object in the
// configuration changes its behaviour:
//   fail_at_start (bool)      exit 1 instead of starting
//   ready_delay_ms (int)      wait before saying "started" (default 50)
//   silent (bool)             never say "started"
//   create_dir (string)       create this folder when ready (a TUN interface appearing)
//   crash_after_ms (int)      abort this long after becoming ready
//   crash_marker (string)     with crash_after_ms: crash only while this file is absent,
//                             creating it (so a restarted engine stays up)
//   slow_stop_ms (int)        take this long to exit after SIGTERM
//   ignore_sigterm (bool)     do not exit on SIGTERM (only SIGKILL ends it)
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
    std::fputs("usage: fake-engine run -c FILE [--sysfs DIR]\n"
               "A stand-in for the tunnel engine for tests and the demo: it checks the\n"
               "configuration, says it has started and stays up until SIGTERM.\n"
               "It routes nothing: no traffic goes through it.\n",
               stderr);
    return 2;
}
} // namespace

int main(int argc, char* argv[]) {
    std::string config, sysfs;
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
    const auto options = doc.value("fake_engine", nlohmann::json::object());
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
    std::string interfaceDir;
    if (!sysfs.empty() && doc.contains("inbounds") && doc["inbounds"].is_array() &&
        !doc["inbounds"].empty() && doc["inbounds"][0].is_object() &&
        doc["inbounds"][0].value("interface_name", nlohmann::json()).is_string()) {
        const std::string name = doc["inbounds"][0]["interface_name"].get<std::string>();
        if (name.find('/') == std::string::npos && name != "." && name != "..") {
            interfaceDir = sysfs + "/" + name;
            mkdir(sysfs.c_str(), 0755);
            mkdir(interfaceDir.c_str(), 0755);
            mkdir((interfaceDir + "/statistics").c_str(), 0755);
        }
    }
    unsigned long long rx = 0, tx = 0;
    if (!flag("silent")) {
        std::fputs("INFO fake-engine started (routes nothing)\n", stderr);
        std::fflush(stderr);
    }

    long crashAfter = number("crash_after_ms", -1);
    if (const auto marker = text_of("crash_marker"); crashAfter >= 0 && !marker.empty()) {
        struct stat st {};
        if (stat(marker.c_str(), &st) == 0)
            crashAfter = -1;
        else
            std::ofstream(marker) << "crashed once\n";
    }
    long elapsed = 0;
    while (!terminate) {
        if (!interfaceDir.empty() && elapsed % 500 == 0) {
            writeCounter(interfaceDir + "/statistics", "rx_bytes", rx += 48213);
            writeCounter(interfaceDir + "/statistics", "tx_bytes", tx += 7411);
        }
        sleepMs(10);
        elapsed += 10;
        if (crashAfter >= 0 && elapsed >= crashAfter)
            std::abort();
    }
    sleepMs(number("slow_stop_ms", 0));
    if (!interfaceDir.empty()) {
        for (const char* name : {"rx_bytes", "tx_bytes"})
            std::remove((interfaceDir + "/statistics/" + name).c_str());
        rmdir((interfaceDir + "/statistics").c_str());
        rmdir(interfaceDir.c_str());
    }
    return 0;
}
