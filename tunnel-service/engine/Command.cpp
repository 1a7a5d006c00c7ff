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

bool Command::available(const std::string& name) {
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

Command::Result Command::run(const std::vector<std::string>& argv, const std::string& input,
                             int timeoutMs) {
    Result result;
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
    // Inputs are a few hundred bytes, well under a pipe's buffer.
    if (!input.empty()) [[maybe_unused]]
        auto written = ::write(in[1], input.data(), input.size());
    ::close(in[1]);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            ::kill(pid, SIGKILL);
            break;
        }
        pollfd p{out[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        if (result.output.size() < 64 * 1024)
            result.output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (std::chrono::steady_clock::now() >= deadline)
        result.exitCode = -1;
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
