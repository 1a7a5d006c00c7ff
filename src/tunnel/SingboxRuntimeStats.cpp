#include "SingboxRuntimeStats.h"

#include "api/JsonReader.h"

namespace veloxa {

namespace {
struct Decoded {
    SingboxRuntimeStats stats;
    static Decoded fromJson(const JsonReader& in) {
        return {{in.requireUInt64("rx_bytes"), in.requireUInt64("tx_bytes")}};
    }
};
} // namespace

std::optional<SingboxRuntimeStats> SingboxRuntimeStats::fromJson(const QByteArray& data) {
    auto decoded = JsonReader::decode<Decoded>(data);
    if (!decoded)
        return std::nullopt;
    return decoded->stats;
}

} // namespace veloxa
