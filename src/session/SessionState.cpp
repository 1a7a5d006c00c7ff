#include "SessionState.h"

#include "api/JsonReader.h"

namespace veloxa {

namespace {
struct Decoded {
    SessionState state;
    static Decoded fromJson(const JsonReader& in) {
        return {{in.requireString("deviceUUID"), in.optionalString("token"),
                 in.optionalString("email")}};
    }
};
} // namespace

QByteArray SessionState::toJson() const {
    nlohmann::json out = {{"deviceUUID", deviceUUID.toStdString()}};
    if (token)
        out["token"] = token->toStdString();
    if (email)
        out["email"] = email->toStdString();
    return QByteArray::fromStdString(out.dump());
}

std::optional<SessionState> SessionState::fromJson(const QByteArray& data) {
    auto decoded = JsonReader::decode<Decoded>(data);
    if (!decoded)
        return std::nullopt;
    return decoded->state;
}

} // namespace veloxa
