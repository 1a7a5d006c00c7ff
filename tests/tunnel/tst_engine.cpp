#include "Ledger.h"
#include "Network.h"
#include "WireGuardTunnel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using json = nlohmann::json;
using namespace veloxa::engine;

namespace {

const std::string key = "yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=";

std::string joined(const std::vector<std::string>& argv, std::size_t from = 0) {
    std::string out;
    for (std::size_t i = from; i < argv.size(); ++i)
        out += (out.empty() ? "" : " ") + argv[i];
    return out;
}

std::string token(const std::string& text, const std::string& name) {
    std::smatch m;
    const std::regex pattern("(?:^| )" + name + " (\\S+)");
    return std::regex_search(text, m, pattern) ? m[1].str() : std::string();
}

// A wireguard-go's control socket for the interface vx0, as another program or this
// engine's daemon holds it; -1 when it cannot be made.
int listenAt(const Host& host) {
    const std::string path = host.path(change::socketPath("vx0"));
    QDir().mkpath(QString::fromStdString(path.substr(0, path.rfind('/'))));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(fd, 4) == 0)
        return fd;
    ::close(fd);
    return -1;
}

// The machine as the engine's tools see it: routes and rules of both families, firewall
// tables and interfaces are objects named by the arguments that make them, so undoing
// must name exactly what was made. Like the kernel, it refuses to add what exists or to
// delete what does not, and deleting an interface takes its routes along.
class FakeSystem : public Runner {
public:
    explicit FakeSystem(bool resolved = false) {
        host.root = dir.path().toStdString();
        for (const auto& [path, text] : {std::pair{"/proc/net/if_inet6", "1\n"},
                                         {"/proc/sys/net/ipv4/conf/all/src_valid_mark", "0\n"},
                                         {"/sys/class/net/eth0/ifindex", "2\n"}})
            write(path, text);
        if (resolved) { // systemd-resolved runs, and this is the system's network namespace
            write("/run/systemd/resolve/stub-resolv.conf", "nameserver 127.0.0.53\n");
            for (const std::string process : {"self", "1"}) {
                QDir().mkpath(QString::fromStdString(host.path("/proc/" + process + "/ns")));
                QFile::link("net:[4026531840]",
                            QString::fromStdString(host.path("/proc/" + process + "/ns/net")));
            }
        }
        // Another program's rule and table at the engine's old fixed numbers, the LAN,
        // and a user's route to a prefix the tunnel also routes.
        objects = {"ip -4 rule table 30309 priority 30308",
                   "ip -4 route 30.0.0.0/8 dev eth0 table 30309",
                   "ip -4 route default via 192.0.2.1 dev eth0",
                   "ip -4 route 192.0.2.0/24 dev eth0",
                   "ip -4 route 10.99.0.0/24 via 192.0.2.1 dev eth0",
                   "ip -6 route fd00::/64 dev eth0",
                   "link eth0"};
    }

    ~FakeSystem() override {
        for (const int fd : sockets)
            ::close(fd);
    }

    CommandResult run(const std::vector<std::string>& argv, const std::string& input) override {
        ++processes;
        const auto result = argv.size() > 2 && argv.back() == "-" && argv.end()[-2] == "-batch"
                                ? batch(argv[1] == "-force", input)
                                : one(argv, input);
        guardLifted = guardLifted || (watchGuard && !objects.contains("nft inet veloxa"));
        return result;
    }
    // "ip -batch -": each line as its own command, the family from its address; it stops at
    // the first that fails unless forced, and says which.
    CommandResult batch(bool force, const std::string& input) {
        std::istringstream lines(input);
        int n = 0, failed = 0;
        for (std::string line; std::getline(lines, line);) {
            std::vector<std::string> argv{"ip", line.find(':') == std::string::npos ? "-4" : "-6"};
            ++n;
            std::istringstream words(line);
            for (std::string word; words >> word;)
                argv.push_back(word);
            if (one(argv, {}).ok())
                continue;
            if (!force)
                return {1, "RTNETLINK answers: File exists\nCommand failed -:" + std::to_string(n) +
                               "\n"};
            ++failed;
        }
        return {failed ? 1 : 0, {}};
    }
    CommandResult one(const std::vector<std::string>& argv, const std::string& input) {
        const std::string line = joined(argv);
        log.push_back(line);
        if (!listenOn.empty() && line.starts_with(listenOn))
            sockets.push_back(listenAt(host));
        if (log.size() == failAt)
            return {1, "injected failure"};
        if (argv.size() > 4 && argv[0] == "ip" && (argv[2] == "route" || argv[2] == "rule") &&
            (argv[3] == "add" || argv[3] == "del")) {
            const std::string object =
                argv[0] + ' ' + argv[1] + ' ' + argv[2] + ' ' + joined(argv, 4);
            const std::string dev = token(object, "dev");
            const bool add = argv[3] == "add";
            if (add ? (objects.contains(object) ||
                       (!dev.empty() && !objects.contains("link " + dev)))
                    : !objects.contains(object))
                return {2, "RTNETLINK answers: File exists or No such process"};
            (add ? adds : dels).push_back(object);
            add ? (void)objects.insert(object) : (void)objects.erase(object);
            return {0, {}};
        }
        if (line == "nft -f -") {
            const std::string table = "nft " + token(input, "table inet").insert(0, "inet ");
            if (input.find("delete table inet ") != std::string::npos)
                objects.erase(table); // replaced in one transaction
            if (!objects.insert(table).second)
                return {1, "exists"};
            firewall[table] = input;
            adds.push_back(table);
            return {0, {}};
        }
        if (line.starts_with("nft delete table inet ") ||
            line.starts_with("nft list table inet ")) {
            const std::string table = "nft inet " + argv[4];
            if (!objects.contains(table))
                return {1, "No such file or directory"};
            if (argv[1] == "delete") {
                objects.erase(table);
                dels.push_back(table);
            }
            return {0, {}};
        }
        if (line.starts_with("ip link add dev ")) {
            if (objects.contains("link " + argv[4]) || !kernel)
                return {2, "Error: Unknown device type."};
            addLink(argv[4], argv[6]);
            adds.push_back("link " + argv[4]);
            return {0, {}};
        }
        if (line.starts_with("ip link del dev ")) {
            removeLink(argv[4]);
            dels.push_back("link " + argv[4]);
            return {0, {}};
        }
        if (line.starts_with("resolvectl dns ") || line.starts_with("resolvectl revert ")) {
            const std::string object = "resolved " + argv[2];
            if (argv[1] == "dns" && !objects.contains("link " + argv[2]))
                return {1, "Failed to resolve interface"};
            (argv[1] == "dns" ? adds : dels).push_back(object);
            argv[1] == "dns" ? (void)objects.insert(object) : (void)objects.erase(object);
        }
        if (line.starts_with("wg setconf "))
            wgInput = input;
        if (line.starts_with("ip -N ") && line.ends_with(" -j rule show"))
            return {0, listed(argv[2] + " rule ", "priority", "table").dump()};
        if (line.starts_with("ip -N ") && line.ends_with(" route show table all"))
            return {0, listed(argv[2] + " route ", "dst", "table").dump()};
        if (line.ends_with(" -j route show table main"))
            return {0, listed(argv[1] + " route ", "dst", "gateway", "dev", true).dump()};
        return {0, {}};
    }
    bool available(const std::string&) const override { return true; }
    // wireguard-go: a child that holds the control socket until it is stopped, and the
    // interface it makes.
    pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>&,
                int) override {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (listenAt(host) >= 0)
                ::pause();
            ::_exit(1);
        }
        addLink(argv.back(), "9");
        return pid;
    }

    void write(const std::string& path, const std::string& text) {
        QDir().mkpath(QString::fromStdString(host.path(path.substr(0, path.rfind('/')))));
        QFile file(QString::fromStdString(host.path(path)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text.data(), qint64(text.size())));
    }
    void addLink(const std::string& name, const std::string& index) {
        objects.insert("link " + name);
        write("/sys/class/net/" + name + "/ifindex", index + "\n");
    }
    void removeLink(const std::string& name) {
        objects.erase("link " + name);
        objects.erase("resolved " + name);
        std::erase_if(objects, [&](const std::string& o) { return token(o, "dev") == name; });
        QDir(QString::fromStdString(host.path("/sys/class/net/" + name))).removeRecursively();
    }
    // Objects of one family and kind as "ip -j" lists them: `first` is the object's first
    // word (the destination) or a named field.
    json listed(const std::string& prefix, const char* first, const char* a,
                const char* b = nullptr, bool mainOnly = false) const {
        json out = json::array();
        for (const auto& o : objects) {
            if (!o.starts_with("ip " + prefix) || (mainOnly && !token(o, "table").empty()))
                continue;
            const std::string rest = o.substr(3 + prefix.size());
            json entry{{first, std::string(first) == "dst" ? rest.substr(0, rest.find(' '))
                                                           : token(rest, first)}};
            const std::string mark = token(rest, "fwmark");
            if (!mark.empty())
                entry["fwmark"] = mark;
            for (const char* field : {a, b}) {
                const std::string name = field ? field : "";
                const std::string value = token(rest, name == "gateway" ? "via" : name);
                if (!value.empty())
                    entry[name] = value;
            }
            if (!mainOnly && std::string(first) == "priority")
                entry["priority"] = std::stoi(token(rest, "priority"));
            out.push_back(entry);
        }
        return out;
    }
    std::string sysctl() const {
        return host.readLine("/proc/sys/net/ipv4/conf/all/src_valid_mark").value_or("");
    }
    std::string state() const {
        return joined({objects.begin(), objects.end()}) + " | " + sysctl();
    }

    QTemporaryDir dir;
    Host host{
        *this,
        {},
        [this](const std::string& name) -> std::expected<std::vector<std::string>, std::string> {
            ++lookups;
            if (objects.contains("nft inet veloxa")) // the guard holds DNS outside the tunnel
                return std::unexpected(std::string("timed out"));
            if (name == "wg.veloxa.test" || name == "wg2.veloxa.test")
                return std::vector<std::string>{"198.51.100.2"};
            return std::unexpected(std::string("unknown host"));
        }};
    std::set<std::string> objects;
    std::vector<std::string> log, adds, dels;
    std::map<std::string, std::string> firewall;
    std::vector<std::string> said; // the engine's lines
    std::string wgInput;
    std::size_t failAt = 0; // the n-th command fails (1-based; 0: none)
    int lookups = 0, processes = 0;
    bool kernel = true;   // the kernel has WireGuard, else wireguard-go makes the interface
    std::string listenOn; // another program takes vx0's control socket with this command
    std::vector<int> sockets;
    bool watchGuard = false, guardLifted = false; // whether the guard was ever missing
};

json endpoint(const json& addresses, const json& allowed, const std::string& server) {
    return {{{"type", "wireguard"},
             {"address", addresses},
             {"private_key", key},
             {"peers",
              {{{"address", server},
                {"port", 51820},
                {"public_key", key},
                {"allowed_ips", allowed}}}}}};
}

WireGuardConfig config(const json& tweak = json::object()) {
    json doc = {{"inbounds", {{{"type", "tun"}, {"interface_name", "vx0"}, {"auto_route", true}}}},
                {"endpoints", endpoint({"10.66.0.2/32", "fd66::2/128"},
                                       {"0.0.0.0/0", "::/0", "10.99.0.0/24"}, "wg.veloxa.test")},
                {"dns", {{"servers", {{{"address", "10.66.0.1"}}}}}}};
    doc.merge_patch(tweak);
    auto parsed = WireGuardConfig::parse(doc);
    if (!parsed)
        qFatal("%s", parsed.error().c_str());
    return *parsed;
}

// Other shapes: "split" routes only its prefixes (no auto_route), "v4" has no IPv6
// address and no DNS server, "256 prefixes" routes that many /32s (not its DNS server).
json tweak(const QString& name) {
    if (name == "split")
        return {{"inbounds", {{{"type", "tun"}, {"interface_name", "vx0"}}}},
                {"endpoints",
                 endpoint({"10.66.0.2/32"}, {"10.66.0.0/16", "10.99.0.0/24"}, "198.51.100.2")}};
    if (name == "v4")
        return {{"endpoints", endpoint({"10.66.0.2/32"}, {"0.0.0.0/0", "::/0"}, "198.51.100.2")},
                {"dns", nullptr}};
    if (name == "256 prefixes") {
        json many = json::array();
        for (int i = 0; i < 256; ++i)
            many.push_back("10.0." + std::to_string(i) + ".1/32");
        return {{"endpoints", endpoint({"10.66.0.2/32"}, many, "198.51.100.2")}};
    }
    return json::object();
}

// One engine run against the fake system, with the ledger the system holds.
struct Engine {
    std::string path;
    std::unique_ptr<WireGuardTunnel> tunnel;

    Engine(FakeSystem& system, const WireGuardConfig& c)
        : path(system.dir.filePath("engine-state.json").toStdString()) {
        auto previous = Ledger::load(path);
        if (!previous)
            qFatal("%s", previous.error().c_str());
        tunnel = std::make_unique<WireGuardTunnel>(
            c, system.host, path, std::move(*previous),
            [&system](const std::string& line) { system.said.push_back(line); });
    }
    bool ledgerExists() const { return QFile::exists(QString::fromStdString(path)); }
};

} // namespace

class TestEngine : public QObject {
    Q_OBJECT

private slots:
    // A whole connection: what it makes avoids what others use and never touches the
    // main table, and the teardown undoes exactly what was made, newest first.
    void connection_data() {
        QTest::addColumn<QString>("shape");
        QTest::addColumn<bool>("guarded");
        QTest::addColumn<bool>("routesIpv6");
        QTest::addColumn<bool>("redirectsDns");
        QTest::addColumn<bool>("resolved");
        QTest::newRow("full tunnel") << "full" << true << true << true << false;
        QTest::newRow("full tunnel, systemd-resolved") << "full" << true << true << true << true;
        QTest::newRow("split tunnel") << "split" << false << false << true << false;
        QTest::newRow("IPv4 only, no DNS") << "v4" << true << false << false << true;
        QTest::newRow("256 prefixes") << "256 prefixes" << true << false << false << false;
    }
    void connection() {
        QFETCH(QString, shape);
        QFETCH(bool, guarded);
        QFETCH(bool, routesIpv6);
        QFETCH(bool, redirectsDns);
        QFETCH(bool, resolved);
        FakeSystem system(resolved);
        const std::string before = system.state();
        Engine engine(system, config(tweak(shape)));
        const auto up = engine.tunnel->up(false, {});
        QVERIFY2(up, up ? "" : up.error().c_str());

        for (const auto& made : system.adds) {
            QVERIFY2(!made.starts_with("ip -4 route") ||
                         made.find(" table 30309") == std::string::npos,
                     made.c_str());
            QVERIFY2(made.find(" priority 30308") == std::string::npos, made.c_str());
            QVERIFY2(!made.starts_with("ip") || made.find(" table ") != std::string::npos,
                     made.c_str());
        }
        for (const auto& other : {"ip -4 rule table 30309 priority 30308",
                                  "ip -4 route 10.99.0.0/24 via 192.0.2.1 dev eth0"})
            QVERIFY(system.objects.contains(other));
        QCOMPARE(system.objects.contains("nft inet veloxa"), guarded);
        QCOMPARE(
            std::ranges::any_of(system.objects,
                                [](const std::string& o) { return o.starts_with("ip -6 rule"); }),
            routesIpv6);
        QCOMPARE(system.objects.contains("nft inet veloxa-dns"), redirectsDns);
        QCOMPARE(system.objects.contains("resolved vx0"), resolved && redirectsDns);
        QCOMPARE(system.wgInput.find("FwMark") != std::string::npos, shape != "split");
        if (guarded) {
            // The LAN leaves in the clear; a route through its router to elsewhere does not.
            const std::string& guard = system.firewall["nft inet veloxa"];
            QVERIFY(guard.find("192.0.2.0/24") != std::string::npos);
            QVERIFY(guard.find("fd00::/64") != std::string::npos);
            QVERIFY(guard.find("10.99.0.0") == std::string::npos);
            QVERIFY(guard.find("198.51.100.2 udp dport 51820") != std::string::npos);
        }
        struct stat st {};
        QVERIFY(::stat(engine.path.c_str(), &st) == 0 && (st.st_mode & 0777) == 0600);

        engine.tunnel->down(false);
        QCOMPARE(system.state(), before);
        std::vector<std::string> undone(system.adds.rbegin(), system.adds.rend());
        QCOMPARE(system.dels, undone);
        QVERIFY(!engine.ledgerExists());
        // However many prefixes: each tool run is a process, and the service's cleanup
        // has seconds, not minutes.
        QVERIFY2(system.processes <= 40, qPrintable(QString::number(system.processes)));
    }

    // wg reaches a wireguard-go's socket in /var/run/wireguard before the kernel's
    // interface, and every network namespace shares that folder: a daemon answering for
    // the name that is not this run's own is never configured.
    void foreignSocket_data() {
        QTest::addColumn<bool>("kernel");
        QTest::addColumn<QString>("listener"); // another program's, from the start or a command
        QTest::addColumn<bool>("accepted");
        QTest::newRow("kernel, another namespace's daemon") << true << "start" << false;
        QTest::newRow("kernel, a daemon once the link is made") << true << "ip link add" << false;
        QTest::newRow("kernel, a dead daemon's socket") << true << "stale" << true;
        QTest::newRow("wireguard-go, another program's socket") << false << "start" << false;
        QTest::newRow("wireguard-go, its own socket") << false << "" << true;
    }
    void foreignSocket() {
        QFETCH(bool, kernel);
        QFETCH(QString, listener);
        QFETCH(bool, accepted);
        FakeSystem system;
        const std::string before = system.state();
        system.kernel = kernel;
        if (listener == "stale")
            ::close(listenAt(system.host));
        else if (listener == "start")
            system.sockets.push_back(listenAt(system.host));
        else
            system.listenOn = listener.toStdString();
        Engine engine(system, config());
        QCOMPARE(bool(engine.tunnel->up(false, {})), accepted);
        QCOMPARE(std::ranges::any_of(system.log,
                                     [](const std::string& c) { return c.starts_with("wg "); }),
                 accepted);
        if (accepted)
            QCOMPARE(engine.tunnel->implementation(), kernel ? "kernel" : "wireguard-go");
        engine.tunnel->down(false);
        QCOMPARE(system.state(), before);
    }

    // Whichever command fails, nothing of the start stays; while resuming, exactly the
    // connection's steps stay. An engine killed at that point instead leaves a ledger that
    // a resumed run completes and a teardown still undoes.
    void rollback_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("failAt");
        for (const QString mode : {"fresh", "killed", "resume"}) {
            FakeSystem probe;
            if (mode == "resume")
                keptConnection(probe);
            Engine engine(probe, config());
            const std::size_t before = probe.log.size();
            QVERIFY(engine.tunnel->up(mode == "resume", {}));
            for (std::size_t n = 1; n <= probe.log.size() - before; ++n)
                QTest::addRow("%s, command %zu: %s", qPrintable(mode), n,
                              probe.log[before + n - 1].c_str())
                    << mode << int(n);
        }
    }
    void rollback() {
        QFETCH(QString, mode);
        QFETCH(int, failAt);
        const bool resume = mode == "resume";
        FakeSystem system;
        const std::string initial = system.state();
        if (resume)
            keptConnection(system);
        const std::string before = system.state();
        const int lookups = system.lookups;
        system.failAt = system.log.size() + std::size_t(failAt);
        auto engine = std::make_unique<Engine>(system, config());
        // A failed query may not stop the start; then the run ends as a dead data path would.
        engine->tunnel->up(resume, {});
        if (mode == "killed") {
            engine->tunnel.reset();
            Engine again(system, config());
            QVERIFY(again.tunnel->up(true, {}));
            again.tunnel->down(false);
            QCOMPARE(system.state(), initial);
            return;
        }
        engine->tunnel->down(resume);
        QCOMPARE(system.state(), before);
        QCOMPARE(engine->ledgerExists(), resume);
        if (resume)
            QCOMPARE(system.lookups, lookups);
    }

    // The data path died: the guard, rules and blackholes stay, the server is not
    // looked up again, and a later teardown still undoes everything.
    void resume() {
        FakeSystem system;
        const std::string before = system.state();
        const std::string kept = keptConnection(system);
        QVERIFY(kept.find("nft inet veloxa") != std::string::npos);
        QVERIFY(kept.find("blackhole 0.0.0.0/0") != std::string::npos);
        QVERIFY(kept.find("link vx0") == std::string::npos);

        Engine engine(system, config());
        QVERIFY(engine.tunnel->up(true, {}));
        QCOMPARE(system.lookups, 1);
        QVERIFY(engine.tunnel->linkAlive());
        QVERIFY(system.wgInput.find("Endpoint = 198.51.100.2:51820") != std::string::npos);
        engine.tunnel->down(false);
        QCOMPARE(system.state(), before);

        // Settings changed in between: the guard takes the new ones and never goes away.
        keptConnection(system);
        const int lookups = system.lookups; // the same server: known, not looked up
        system.watchGuard = true;
        Engine changed(
            system,
            config({{"inbounds",
                     {{{"type", "tun"}, {"interface_name", "vx1"}, {"auto_route", true}}}}}));
        QVERIFY(changed.tunnel->up(true, {}));
        QVERIFY(!system.guardLifted);
        QVERIFY(system.objects.contains("link vx1"));
        QVERIFY(system.firewall["nft inet veloxa"].find("\"vx0\"") == std::string::npos);
        QCOMPARE(system.lookups, lookups);
        for (const auto& line : system.said) // before its ready line
            QVERIFY2(line.find("started") == std::string::npos, line.c_str());
        system.watchGuard = false;
        changed.tunnel->down(false);
        QCOMPARE(system.state(), before);

        // A server new by name cannot be looked up behind the guard: that start goes afresh.
        keptConnection(system);
        Engine moved(
            system,
            config({{"endpoints", endpoint({"10.66.0.2/32"}, {"0.0.0.0/0"}, "wg2.veloxa.test")}}));
        QVERIFY(moved.tunnel->up(true, {}));
        moved.tunnel->down(false);
        QCOMPARE(system.state(), before);
    }

    // `cleanup` acts on the ledger alone: what others made since stays.
    void cleanupAfterwards_data() {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<bool>("keepConnection");
        QTest::newRow("another program's route in the engine's table") << "route" << false;
        QTest::newRow("another program's interface of the same name") << "link" << false;
        QTest::newRow("the connection kept") << "" << true;
    }
    void cleanupAfterwards() {
        QFETCH(QString, meanwhile);
        QFETCH(bool, keepConnection);
        FakeSystem system;
        const std::string before = system.state();
        Engine engine(system, config());
        QVERIFY(engine.tunnel->up(false, {}));
        const std::string table = token(system.adds.back(), "table");
        std::string other;
        if (meanwhile == "route") {
            other = "ip -4 route 10.200.0.0/16 dev eth0 table " + table;
            system.objects.insert(other);
        } else if (meanwhile == "link") {
            system.removeLink("vx0");
            system.addLink("vx0", "77");
            other = "link vx0";
        }
        auto ledger = Ledger::load(engine.path);
        QVERIFY(ledger && *ledger);
        (*ledger)->revert(system.host, keepConnection, [](const std::string&) {});
        if (keepConnection) {
            QVERIFY(system.objects.contains("nft inet veloxa"));
            QVERIFY(!system.objects.contains("link vx0"));
            QVERIFY(engine.ledgerExists());
            return;
        }
        QVERIFY(other.empty() || system.objects.erase(other) == 1);
        QCOMPARE(system.state(), before);
        QVERIFY(!engine.ledgerExists());
    }

    // A ledger that is not exactly what the engine writes is never acted on.
    void malformedLedger_data() {
        QTest::addColumn<QByteArray>("text");
        const auto with = [](const json& change) {
            return QByteArray::fromStdString(json{
                {"version", 2},
                {"fingerprint", "0"},
                {"steps",
                 {{{"name", "routing"},
                   {"lifetime", "connection"},
                   {"complete", true},
                   {"changes", {change}}}}}}.dump());
        };
        const auto server = [](const std::string& host, const std::string& address) {
            return QByteArray::fromStdString(json{
                {"version", 2},
                {"fingerprint", "0"},
                {"endpoints", {{{"host", host}, {"port", 51820}, {"address", address}}}},
                {"steps", json::array()}}.dump());
        };
        QTest::newRow("not JSON") << QByteArray("{\"version\": 2, ");
        QTest::newRow("other version")
            << QByteArray("{\"version\":3,\"fingerprint\":\"\",\"steps\":[]}");
        QTest::newRow("version as text")
            << QByteArray("{\"version\":\"2\",\"fingerprint\":\"\",\"steps\":[]}");
        QTest::newRow("server address with a NUL")
            << server("wg.test", std::string("192.0.2.1\0 accept", 17));
        QTest::newRow("server name with a line break") << server("wg.test\nx", "192.0.2.1");
        QTest::newRow("unknown kind") << with({{"kind", "shell"}, {"command", "rm -rf /"}});
        QTest::newRow("extra field") << with(
            {{"kind", "firewall"}, {"family", "inet"}, {"table", "veloxa"}, {"flush", true}});
        QTest::newRow("firewall name")
            << with({{"kind", "firewall"}, {"family", "inet"}, {"table", "filter; flush ruleset"}});
        QTest::newRow("route device") << with({{"kind", "routes"},
                                               {"destinations", {"0.0.0.0/0"}},
                                               {"table", 7},
                                               {"device", "eth0 x"}});
        QTest::newRow("route destination") << with({{"kind", "routes"},
                                                    {"destinations", {"::/0", "0.0.0.0/0 dev x"}},
                                                    {"table", 7},
                                                    {"blackhole", true}});
        QTest::newRow("system setting") << with(
            {{"kind", "sysctl"}, {"key", "kernel/modprobe"}, {"previous", "0"}, {"value", "1"}});
    }
    void malformedLedger() {
        QFETCH(QByteArray, text);
        FakeSystem system;
        QFile file(system.dir.filePath("engine-state.json"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        file.close();
        QVERIFY(!Ledger::load(file.fileName().toStdString()));
        QVERIFY(system.log.empty());
    }

    // An upgrade while a connection is held leaves the previous version's ledger, whose
    // routes were recorded one by one: they are still undone, nothing else is touched.
    void theFormerLedgerIsStillUndone() {
        FakeSystem system;
        const std::string route = "ip -4 route blackhole 10.0.0.0/8 table 30310 metric 4294967295";
        system.objects.insert(route);
        const QByteArray text = R"({"version":1,"fingerprint":"0","steps":[{"name":"routing",)"
                                R"("lifetime":"connection","complete":true,"changes":[{"kind":)"
                                R"("route","family":4,"destination":"10.0.0.0/8","table":30310,)"
                                R"("blackhole":true,"metric":4294967295}]}]})";
        QFile file(system.dir.filePath("engine-state.json"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        file.close();
        auto ledger = Ledger::load(file.fileName().toStdString());
        QVERIFY(ledger && *ledger);
        const auto before = system.objects.size();
        (*ledger)->revert(system.host, false, [](const std::string&) {});
        QVERIFY(system.objects.size() == before - 1 && !system.objects.contains(route));
    }

    void routingChoice_data() {
        QTest::addColumn<QByteArray>("rules");
        QTest::addColumn<QByteArray>("routes");
        QTest::addColumn<int>("table"); // 0: refused
        QTest::addColumn<int>("priority");
        QTest::newRow("nothing in use") << QByteArray("[]") << QByteArray("[]") << 100 << 10;
        QTest::newRow("a rule looks the table up")
            << QByteArray(R"([{"priority":11,"table":"100"}])") << QByteArray("[]") << 101 << 12;
        QTest::newRow("routes in the table, no rule")
            << QByteArray("[]")
            << QByteArray(R"([{"dst":"default","table":"100"},{"dst":"10.0.0.0/8"}])") << 101 << 10;
        QTest::newRow("its number is another rule's mark, with a mask")
            << QByteArray(R"([{"priority":10,"fwmark":"0x64/0xff","table":"254"}])")
            << QByteArray("[]") << 101 << 11;
        QTest::newRow("no two adjacent priorities free")
            << QByteArray(R"([{"priority":11},{"priority":13}])") << QByteArray("[]") << 100 << 0;
        QTest::newRow("every table used")
            << QByteArray(R"([{"priority":1,"table":"100"},{"priority":2,"table":"101"}])")
            << QByteArray(R"([{"dst":"default","table":"102"}])") << 0 << 10;
    }
    void routingChoice() {
        QFETCH(QByteArray, rules);
        QFETCH(QByteArray, routes);
        QFETCH(int, table);
        QFETCH(int, priority);
        const auto choice = chooseRouting(json::parse(rules.toStdString()),
                                          json::parse(routes.toStdString()), {100, 102, 10, 14});
        QCOMPARE(choice.has_value(), table && priority);
        if (choice) {
            QCOMPARE(int(choice->table), table);
            QCOMPARE(int(choice->fwmark), table);
            QCOMPARE(choice->priority, priority);
        }
    }

    void endpoints_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QStringList>("answers"); // empty: the name does not resolve
        QTest::addColumn<QString>("endpoint");
        QTest::newRow("IPv4 preferred")
            << "wg.test" << QStringList{"2001:db8::2", "198.51.100.2"} << "198.51.100.2:51820";
        QTest::newRow("IPv6 in brackets")
            << "wg.test" << QStringList{"2001:db8::2"} << "[2001:db8::2]:51820";
        QTest::newRow("a literal is not looked up")
            << "2001:DB8::0:3" << QStringList{} << "[2001:db8::3]:51820";
        QTest::newRow("junk answers skipped")
            << "wg.test" << QStringList{"not-an-ip", "10.0.0.0/8"} << "";
        QTest::newRow("unknown name") << "wg.test" << QStringList{} << "";
    }
    void endpoints() {
        QFETCH(QString, host);
        QFETCH(QStringList, answers);
        QFETCH(QString, endpoint);
        const auto resolved = resolveEndpoint(host.toStdString(), 51820, [&](const std::string&) {
            std::vector<std::string> out;
            for (const auto& a : answers)
                out.push_back(a.toStdString());
            return out.empty() ? std::expected<std::vector<std::string>, std::string>(
                                     std::unexpected("no such name"))
                               : out;
        });
        QCOMPARE(resolved ? QString::fromStdString(resolved->text()) : QString(), endpoint);
        if (!resolved)
            QVERIFY(resolved.error().find(host.toStdString()) != std::string::npos);
    }

    void command_data() {
        QTest::addColumn<QStringList>("argv");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("outputSize");
        QTest::newRow("exit status and output")
            << QStringList{"sh", "-c", "echo -n abc; exit 3"} << 3 << 3;
        QTest::newRow("output capped, child not blocked")
            << QStringList{"head", "-c", "300000", "/dev/zero"} << 0 << int(Command::outputCap);
        QTest::newRow("killed at the time-out") << QStringList{"sleep", "30"} << -1 << 0;
        QTest::newRow("time-out also after closing its output")
            << QStringList{"sh", "-c", "exec >&- 2>&-; sleep 30"} << -1 << 0;
        QTest::newRow("not found") << QStringList{"no-such-tool-veloxa"} << 127 << 0;
    }
    void command() {
        QFETCH(QStringList, argv);
        QFETCH(int, exitCode);
        QFETCH(int, outputSize);
        std::vector<std::string> args;
        for (const auto& a : argv)
            args.push_back(a.toStdString());
        const auto result = Command(300).run(args);
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(int(result.output.size()), outputSize);
    }

private:
    // A connection whose data path died: up, the interface gone with its routes, and the
    // run's steps undone. Returns the objects that stay.
    static std::string keptConnection(FakeSystem& system) {
        Engine engine(system, config());
        if (!engine.tunnel->up(false, {}))
            qFatal("the connection did not come up");
        system.removeLink("vx0");
        engine.tunnel->down(true);
        system.adds.clear();
        system.dels.clear();
        return system.state();
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
