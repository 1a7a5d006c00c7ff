#pragma once

#include <QString>
#include <optional>

namespace veloxa::tunnel {

// Bytes received and sent.
struct Traffic {
    quint64 rx = 0;
    quint64 tx = 0;
    bool operator==(const Traffic&) const = default;
};

// The kernel's counters of one interface under a sysfs net root; nothing when they cannot
// be read as two plain numbers.
std::optional<Traffic> readInterfaceCounters(const QString& sysfsNet, const QString& interface);

// The traffic of one connection over all its engine runs: each run's interface counts from
// zero, so what the runs that ended counted is kept as a base under the running one's.
class ConnectionTraffic {
public:
    // A reading of the running engine's interface; one that failed changes nothing.
    void sample(std::optional<Traffic> reading);
    // The running engine ended: its last reading joins the base.
    void endRun();
    // A new connection.
    void reset() { *this = {}; }
    // The totals, or nothing before the first reading.
    std::optional<Traffic> totals() const;

private:
    Traffic m_base;
    Traffic m_run;
    bool m_read = false;
};

} // namespace veloxa::tunnel
