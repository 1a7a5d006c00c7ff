#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

namespace veloxa::engine {

struct CommandResult {
    int exitCode = -1;  // -1: could not run, or killed at the time-out
    std::string output; // standard output and error, at most Command::outputCap bytes
    bool ok() const { return exitCode == 0; }
};

// Runs the system's network tools (ip, wg, nft, resolvectl) and the userspace WireGuard
// daemon. The engine's steps take one, so tests can stand in for the machine.
class Runner {
public:
    virtual ~Runner() = default;
    virtual CommandResult run(const std::vector<std::string>& argv,
                              const std::string& input = {}) = 0;
    // Starts a long-running child that gets `deathSignal` when this process dies, with no
    // input or output. Returns the pid, or -1.
    virtual pid_t spawn(const std::vector<std::string>& argv,
                        const std::vector<std::string>& extraEnvironment, int deathSignal) = 0;
    // Whether `name` is an executable on PATH.
    virtual bool available(const std::string& name) const;
};

// The real runner. Arguments go to exec directly, never through a shell; keys only ever
// travel on standard input.
class Command final : public Runner {
public:
    static constexpr std::size_t outputCap = 64 * 1024;

    explicit Command(int timeoutMs = 10000) : m_timeoutMs(timeoutMs) {}

    // Runs argv[0] (found on PATH) to its end, or kills it after the time-out.
    CommandResult run(const std::vector<std::string>& argv, const std::string& input = {}) override;

    pid_t spawn(const std::vector<std::string>& argv,
                const std::vector<std::string>& extraEnvironment, int deathSignal) override;

private:
    int m_timeoutMs;
};

} // namespace veloxa::engine
