#include "Ledger.h"

#include "json/JsonDepth.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

namespace veloxa::engine {

using json = nlohmann::json;

namespace {

constexpr int version = 2;
constexpr std::size_t largest = 1024 * 1024;

const char* lifetimeName(Lifetime lifetime) {
    return lifetime == Lifetime::Connection ? "connection" : "run";
}

bool exactKeys(const json& object, std::initializer_list<const char*> keys) {
    if (!object.is_object() || object.size() != keys.size())
        return false;
    return std::ranges::all_of(keys, [&](const char* key) { return object.contains(key); });
}

bool inRange(const json& value, std::uint64_t low, std::uint64_t high) {
    return value.is_number_unsigned() && value.get<std::uint64_t>() >= low &&
           value.get<std::uint64_t>() <= high;
}

// Text without control characters (NUL included), of at most `size` bytes.
bool isPlain(const json& value, std::size_t size) {
    return value.is_string() && value.get_ref<const std::string&>().size() <= size &&
           std::ranges::none_of(value.get_ref<const std::string&>(),
                                [](unsigned char c) { return c < 0x20 || c == 0x7f; });
}

bool isAddress(const json& value) {
    return isPlain(value, 64) && IpPrefix::isAddress(value.get_ref<const std::string&>());
}

// The previous version recorded each route on its own; what it left (an upgrade while a
// connection was held) is still to be undone, so its route records become one-route lists.
// Anything else in it is checked as usual.
void upgrade(json& doc) {
    if (!doc.is_object() || doc.value("version", json()) != json(1) ||
        !doc.value("steps", json()).is_array())
        return;
    doc["version"] = version;
    for (auto& step : doc["steps"]) {
        if (!step.is_object() || !step.value("changes", json()).is_array())
            continue;
        for (auto& c : step["changes"]) {
            if (!c.is_object() || c.value("kind", json()) != "route" || !c.contains("destination"))
                continue;
            json routes{{"kind", "routes"}, {"destinations", json::array({c["destination"]})}};
            for (const char* key : {"table", "device", "blackhole", "metric"})
                if (c.contains(key))
                    routes[key] = c[key];
            c = std::move(routes);
        }
    }
}

// What is wrong with a ledger's text, or nothing: every field is checked before any of it
// is acted on, as the file decides what root deletes.
std::string problem(const json& doc) {
    static const std::regex stepName("^[a-z][a-z-]{0,31}$");
    if (!doc.is_object() || !doc.contains("version") || doc["version"] != version)
        return "it is not a ledger of this engine's version";
    for (const auto& [key, value] : doc.items())
        if (key != "version" && key != "fingerprint" && key != "endpoints" && key != "routing" &&
            key != "steps")
            return "it has an unknown field";
    if (!doc.contains("fingerprint") || !isPlain(doc["fingerprint"], 64) ||
        !doc.contains("steps") || !doc["steps"].is_array())
        return "it lacks its fingerprint or steps";
    if (doc.contains("endpoints")) {
        if (!doc["endpoints"].is_array())
            return "its endpoints are not a list";
        for (const auto& e : doc["endpoints"])
            if (!exactKeys(e, {"host", "port", "address"}) || !isPlain(e["host"], 253) ||
                !inRange(e["port"], 1, 65535) || !isAddress(e["address"]))
                return "it has a bad endpoint";
    }
    if (doc.contains("routing")) {
        const json& r = doc["routing"];
        if (!exactKeys(r, {"table", "priority", "fwmark"}) || !inRange(r["table"], 1, 0xfffffffe) ||
            !inRange(r["priority"], 1, 32764) || !inRange(r["fwmark"], 1, 0xffffffff))
            return "its routing choice is bad";
    }
    for (const auto& step : doc["steps"]) {
        if (!exactKeys(step, {"name", "lifetime", "complete", "changes"}) ||
            !step["name"].is_string() ||
            !std::regex_match(step["name"].get<std::string>(), stepName) ||
            (step["lifetime"] != "run" && step["lifetime"] != "connection") ||
            !step["complete"].is_boolean() || !step["changes"].is_array())
            return "it has a bad step";
        for (const auto& c : step["changes"])
            if (auto wrong = change::check(c); !wrong.empty())
                return "it records " + wrong;
    }
    return {};
}

} // namespace

std::string Endpoint::text() const {
    return (v6() ? "[" + address + "]" : address) + ':' + std::to_string(port);
}

std::expected<std::optional<Ledger>, std::string> Ledger::load(const std::string& path) {
    const auto refuse = [&](const std::string& why) {
        return std::unexpected("the engine's record " + path + " is unusable (" + why +
                               "); it was left as it is");
    };
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return std::optional<Ledger>();
        return refuse(std::strerror(errno));
    }
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return refuse("it cannot be read");
    std::string text(largest + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > largest)
        return refuse("it is too large");
    json doc = veloxa::JsonDepth::parse(text);
    if (doc.is_discarded())
        return refuse("it is not JSON");
    try {
        upgrade(doc);
        if (auto wrong = problem(doc); !wrong.empty())
            return refuse(wrong);
    } catch (const json::exception&) { // a check that missed a type: still only a refusal
        return refuse("it is not a ledger this engine wrote");
    }

    Ledger ledger(path);
    ledger.fingerprint = doc["fingerprint"];
    for (const auto& e : doc.value("endpoints", json::array()))
        ledger.endpoints.push_back(
            {e["host"], e["port"].get<std::uint16_t>(),
             IpPrefix::parse(e["address"].get<std::string>(), true)->address});
    if (doc.contains("routing"))
        ledger.routing = RoutingChoice{doc["routing"]["table"], doc["routing"]["priority"],
                                       doc["routing"]["fwmark"]};
    for (const auto& s : doc["steps"])
        ledger.m_steps.push_back(
            {s["name"], s["lifetime"] == "connection" ? Lifetime::Connection : Lifetime::Run,
             s["complete"], s["changes"].get<std::vector<json>>()});
    return std::optional<Ledger>(std::move(ledger));
}

json Ledger::toJson() const {
    json doc{{"version", version}, {"fingerprint", fingerprint}, {"steps", json::array()}};
    if (!endpoints.empty()) {
        doc["endpoints"] = json::array();
        for (const auto& e : endpoints)
            doc["endpoints"].push_back(
                {{"host", e.host}, {"port", e.port}, {"address", e.address}});
    }
    if (routing)
        doc["routing"] = {{"table", routing->table},
                          {"priority", routing->priority},
                          {"fwmark", routing->fwmark}};
    for (const auto& step : m_steps)
        doc["steps"].push_back({{"name", step.name},
                                {"lifetime", lifetimeName(step.lifetime)},
                                {"complete", step.complete},
                                {"changes", step.changes}});
    return doc;
}

std::expected<void, std::string> Ledger::save() const {
    // A crash at any moment leaves the old or the new ledger, never a torn one.
    const std::string text = toJson().dump() + '\n';
    std::string temporary = m_path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    const auto fail = [&](const char* what) -> std::expected<void, std::string> {
        const std::string why = std::strerror(errno);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(temporary.c_str());
        }
        return std::unexpected("cannot " + std::string(what) + " the engine's record " + m_path +
                               ": " + why);
    };
    if (fd < 0)
        return fail("create");
    if (::fchmod(fd, 0600) != 0)
        return fail("protect");
    for (std::size_t sent = 0; sent < text.size();) {
        const ssize_t n = ::write(fd, text.data() + sent, text.size() - sent);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail("write");
        sent += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0)
        return fail("write");
    if (::close(fd) != 0) {
        ::unlink(temporary.c_str());
        return std::unexpected("cannot write the engine's record " + m_path);
    }
    if (::rename(temporary.c_str(), m_path.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        ::unlink(temporary.c_str());
        return std::unexpected("cannot write the engine's record " + m_path + ": " + why);
    }
    const auto slash = m_path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : m_path.substr(0, slash + 1);
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

void Ledger::beginStep(const std::string& name, Lifetime lifetime) {
    m_steps.push_back({name, lifetime, false, {}});
}

std::expected<std::size_t, std::string> Ledger::record(json change) {
    m_steps.back().changes.push_back(std::move(change));
    if (auto saved = save(); !saved) {
        m_steps.back().changes.pop_back();
        return std::unexpected(saved.error());
    }
    return m_steps.back().changes.size() - 1;
}

std::expected<void, std::string> Ledger::update(std::size_t index, json change) {
    m_steps.back().changes.at(index) = std::move(change);
    return save();
}

std::expected<void, std::string> Ledger::forget(std::size_t index) {
    auto& changes = m_steps.back().changes;
    changes.erase(changes.begin() + static_cast<std::ptrdiff_t>(index));
    return save();
}

std::expected<void, std::string> Ledger::completeStep() {
    m_steps.back().complete = true;
    return save();
}

bool Ledger::holds(const std::string& name) const {
    return std::ranges::any_of(m_steps,
                               [&](const Step& s) { return s.name == name && s.complete; });
}

void Ledger::revert(const Host& host, bool keepConnection, const Log& log,
                    const std::string& only) {
    const auto kept = [&](const Step& s) {
        return keepConnection && s.lifetime == Lifetime::Connection && s.complete &&
               (only.empty() || s.name == only);
    };
    for (auto step = m_steps.rbegin(); step != m_steps.rend(); ++step) {
        if (kept(*step))
            continue;
        for (auto c = step->changes.rbegin(); c != step->changes.rend(); ++c)
            change::revert(host, *c, log);
        step->changes.clear();
    }
    std::erase_if(m_steps, [&](const Step& s) { return !kept(s); });
    if (!keepConnection) {
        remove();
        return;
    }
    if (auto saved = save(); !saved)
        log(saved.error());
}

void Ledger::remove() {
    m_steps.clear();
    ::unlink(m_path.c_str());
}

} // namespace veloxa::engine
