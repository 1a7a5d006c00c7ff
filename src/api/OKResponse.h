#pragma once

#include "JsonReader.h"

namespace veloxa {

// Body of requests that only report success. "ok" must be present; its value is not used.
struct OKResponse {
    bool ok = false;

    static OKResponse fromJson(const JsonReader& in) { return {in.requireBool("ok")}; }
    nlohmann::json toJson() const { return {{"ok", ok}}; }
    bool operator==(const OKResponse&) const = default;
};

} // namespace veloxa
