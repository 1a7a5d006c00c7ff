#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace veloxa::engine {

// Runs the system's network tools (ip, wg, resolvectl) and the userspace WireGuard
// daemon. Arguments go to exec directly, never through a shell; keys only ever travel on
// standard input.
class Command {
public:
    struct Result {
        int exitCode = -1;  // -1: could not run, or killed at the time-out
        std::string output; // standard output and error, at most 64 KiB
        bool ok() const { return exitCode == 0; }
    };

    // Runs argv[0] (found on PATH) to its end, or kills it after `timeoutMs`.
    static Result run(const std::vector<std::string>& argv, const std::string& input = {},
                      int timeoutMs = 10000);
    // Starts a long-running child that gets `deathSignal` when this process dies, with no
    // input or output. Returns the pid, or -1.
    static pid_t spawn(const std::vector<std::string>& argv,
                       const std::vector<std::string>& extraEnvironment, int deathSignal);
    // Whether `name` is an executable on PATH.
    static bool available(const std::string& name);
};

} // namespace veloxa::engine
