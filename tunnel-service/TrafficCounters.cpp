#include "TrafficCounters.h"

#include <QFile>

#include <algorithm>
#include <limits>

namespace veloxa::tunnel {

namespace {
// Sums past the largest count stay there: counters never appear to wrap around.
quint64 saturatingSum(quint64 a, quint64 b) {
    return a > std::numeric_limits<quint64>::max() - b ? std::numeric_limits<quint64>::max()
                                                       : a + b;
}
Traffic sum(Traffic a, Traffic b) {
    return {saturatingSum(a.rx, b.rx), saturatingSum(a.tx, b.tx)};
}
} // namespace

std::optional<Traffic> readInterfaceCounters(const QString& sysfsNet, const QString& interface) {
    auto read = [&](const char* name) -> std::optional<quint64> {
        QFile file(sysfsNet + u'/' + interface + QStringLiteral("/statistics/") +
                   QLatin1String(name));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        const QByteArray text = file.read(64).trimmed();
        bool ok = false;
        const quint64 value = text.toULongLong(&ok, 10);
        if (!ok || text.isEmpty() ||
            !std::all_of(text.cbegin(), text.cend(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        return value;
    };
    const auto rx = read("rx_bytes");
    const auto tx = read("tx_bytes");
    if (!rx || !tx)
        return std::nullopt;
    return Traffic{*rx, *tx};
}

void ConnectionTraffic::sample(std::optional<Traffic> reading) {
    if (!reading)
        return;
    m_run = *reading;
    m_read = true;
}

void ConnectionTraffic::endRun() {
    m_base = sum(m_base, m_run);
    m_run = {};
}

std::optional<Traffic> ConnectionTraffic::totals() const {
    if (!m_read)
        return std::nullopt;
    return sum(m_base, m_run);
}

} // namespace veloxa::tunnel
