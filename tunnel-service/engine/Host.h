#pragma once

#include "Command.h"

#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veloxa::engine {

// A host name's addresses, as text, in the resolver's order.
using Resolver =
    std::function<std::expected<std::vector<std::string>, std::string>(const std::string& host)>;

// The machine as the engine sees it: the tools it runs, the system files it reads (/proc,
// /sys, /run) under `root`, and name resolution. Tests point all three elsewhere.
struct Host {
    Runner& runner;
    std::string root = "/";
    Resolver resolve;

    // An absolute system path under the root.
    std::string path(std::string_view absolute) const;
    bool exists(std::string_view absolute) const;
    // The file's first line, without its end; nothing when it cannot be read.
    std::optional<std::string> readLine(std::string_view absolute) const;
    bool write(std::string_view absolute, const std::string& text) const;

    CommandResult run(const std::vector<std::string>& argv, const std::string& input = {}) const {
        return runner.run(argv, input);
    }
    bool ipv6() const { return exists("/proc/net/if_inet6"); }
    bool linkExists(const std::string& name) const;
    // The interface's index, or -1 when there is none of that name.
    int ifindex(const std::string& name) const;
    // Every interface's index, read from /sys/class/net.
    std::vector<int> ifindexes() const;
};

// The system's resolver (getaddrinfo).
std::expected<std::vector<std::string>, std::string> systemResolve(const std::string& host);

// The first line of a tool's output, short enough for one line to the user.
std::string firstLine(const std::string& text);

} // namespace veloxa::engine
