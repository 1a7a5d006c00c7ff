#pragma once

#include "Changes.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <vector>

namespace veloxa::engine {

// How long a step's changes live: for one engine run (the interface and what goes with
// it), or for the whole connection, across engine restarts (what keeps traffic in).
enum class Lifetime { Run, Connection };

// A WireGuard server's address as resolved at the connection's first start.
struct Endpoint {
    std::string host;
    std::uint16_t port = 0;
    std::string address;
    // "198.51.100.2:51820", "[2001:db8::2]:51820"
    std::string text() const;
    bool v6() const { return address.find(':') != std::string::npos; }
    bool operator==(const Endpoint&) const = default;
};

// The routing table, rule priorities (this one and the next) and firewall mark chosen at
// the connection's first start.
struct RoutingChoice {
    std::uint32_t table = 0;
    int priority = 0;
    std::uint32_t fwmark = 0;
};

// What the engine made, step by step in the order it made it, kept in a file (mode 0600,
// replaced atomically) so that teardown and `veloxa-engine cleanup`, also in a later
// process, undo exactly that, newest first. Each change is written down before it is made.
class Ledger {
public:
    explicit Ledger(std::string path) : m_path(std::move(path)) {}

    // The ledger at `path`: nothing when there is no file; an error line when the file
    // cannot be read or is not a ledger this engine wrote (it is then never acted on).
    static std::expected<std::optional<Ledger>, std::string> load(const std::string& path);

    const std::string& path() const { return m_path; }
    bool empty() const { return m_steps.empty(); }

    // Facts of the connection, kept with it.
    std::string fingerprint;
    std::vector<Endpoint> endpoints;
    std::optional<RoutingChoice> routing;

    std::expected<void, std::string> save() const;

    // Starts recording a step; its changes follow.
    void beginStep(const std::string& name, Lifetime lifetime);
    // Writes the change down (saved when this returns) before the caller makes it; the
    // result names it for update() and forget().
    std::expected<std::size_t, std::string> record(nlohmann::json change);
    std::expected<void, std::string> update(std::size_t index, nlohmann::json change);
    // The change was not made after all.
    std::expected<void, std::string> forget(std::size_t index);
    std::expected<void, std::string> completeStep();
    // Whether a step of that name was recorded to its end.
    bool holds(const std::string& name) const;

    // Undoes the changes newest first: everything, or with `keepConnection` all but the
    // connection-lived steps that were recorded to their end (with `only`, all but that
    // one of them). What stays is saved; the file goes when nothing of the connection is
    // to be kept.
    void revert(const Host& host, bool keepConnection, const Log& log,
                const std::string& only = {});
    // Deletes the file.
    void remove();

private:
    struct Step {
        std::string name;
        Lifetime lifetime = Lifetime::Run;
        bool complete = false;
        std::vector<nlohmann::json> changes;
    };
    nlohmann::json toJson() const;

    std::string m_path;
    std::vector<Step> m_steps;
};

} // namespace veloxa::engine
