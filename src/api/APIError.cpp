#include "APIError.h"
#include "JsonReader.h"

#include "localization/Localization.h"

namespace veloxa {

APIError APIError::server(QString message) {
    return {Kind::server, std::move(message)};
}
APIError APIError::network(QString systemDescription) {
    return {Kind::network, std::move(systemDescription)};
}
APIError APIError::decoding(DecodeError error) {
    return {Kind::decoding, std::move(error.message)};
}
APIError APIError::unauthorized() {
    return {Kind::unauthorized, {}};
}

APIError APIError::deviceLimitReached(DeviceLimitResult result) {
    APIError error(Kind::deviceLimitReached, {});
    error.m_deviceLimit = std::move(result);
    return error;
}

QString APIError::description() const {
    using T = Localization::Text;
    const auto& loc = Localization::shared();
    switch (m_kind) {
    case Kind::server:
    case Kind::network:
        return m_detail;
    case Kind::decoding:
        return loc.text(T::errorUnexpectedResponse);
    case Kind::deviceLimitReached:
        return loc.text(T::errorDeviceLimit);
    case Kind::unauthorized:
        return loc.text(T::errorSignInRequired);
    }
    return m_detail;
}

} // namespace veloxa
