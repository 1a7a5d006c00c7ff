#include "Command.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace veloxa::engine {

namespace {

std::vector<char*> pointers(const std::vector<std::string>& strings) {
    std::vector<char*> out;
    out.reserve(strings.size() + 1);
    for (const auto& s : strings)
        out.push_back(const_cast<char*>(s.c_str()));
    out.push_back(nullptr);
    return out;
}

// In the child between fork and exec: only async-signal-safe calls.
[[noreturn]] void execChild(char* const* argv, char* const* envp, int deathSignal, pid_t parent) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (deathSignal != 0) {
        prctl(PR_SET_PDEATHSIG, deathSignal);
        if (getppid() != parent)
            _exit(127);
    }
    if (envp)
        execvpe(argv[0], argv, envp);
    else
        execvp(argv[0], argv);
    _exit(127);
}

} // namespace

bool Runner::available(const std::string& name) const {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/sbin:/usr/bin:/sbin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const auto end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + '/' + name;
        if (end > start && ::access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

CommandResult Command::run(const std::vector<std::string>& argv, const std::string& input) {
    CommandResult result;
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        return result;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return result;
    }
    const auto args = pointers(argv);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(out[1], STDERR_FILENO);
        execChild(args.data(), nullptr, SIGKILL, parent);
    }
    ::close(in[0]);
    ::close(out[1]);
    if (pid < 0) {
        ::close(in[1]);
        ::close(out[0]);
        return result;
    }
    // Inputs are a few kilobytes at most, well under a pipe's buffer.
    for (std::size_t sent = 0; sent < input.size();) {
        const ssize_t n = ::write(in[1], input.data() + sent, input.size() - sent);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        sent += static_cast<std::size_t>(n);
    }
    ::close(in[1]);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_timeoutMs);
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            break;
        pollfd p{out[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        // Keep reading past the cap, so a talkative child does not block on a full pipe.
        result.output.append(
            buffer, std::min(static_cast<std::size_t>(n), outputCap - result.output.size()));
    }
    ::close(out[0]);
    // A child that closed its output may still run: it gets the rest of the time.
    int status = 0;
    bool killed = false;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            break;
        if (std::chrono::steady_clock::now() >= deadline && !killed) {
            ::kill(pid, SIGKILL);
            killed = true;
        }
        if (killed) {
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        ::usleep(2000);
    }
    result.exitCode = !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

pid_t Command::spawn(const std::vector<std::string>& argv,
                     const std::vector<std::string>& extraEnvironment, int deathSignal) {
    std::vector<std::string> environment;
    for (char** e = environ; e && *e; ++e)
        environment.emplace_back(*e);
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    const auto args = pointers(argv);
    const auto envp = pointers(environment);
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (devNull >= 0)
            for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
                ::dup2(devNull, fd);
        execChild(args.data(), envp.data(), deathSignal, parent);
    }
    if (devNull >= 0)
        ::close(devNull);
    return pid;
}

} // namespace veloxa::engine
