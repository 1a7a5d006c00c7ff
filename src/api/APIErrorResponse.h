#pragma once

#include "JsonReader.h"

namespace veloxa {

// Body the service sends with a failure status; its text is shown verbatim.
struct APIErrorResponse {
    QString error;

    static APIErrorResponse fromJson(const JsonReader& in) { return {in.requireString("error")}; }
    nlohmann::json toJson() const { return {{"error", error.toStdString()}}; }
    bool operator==(const APIErrorResponse&) const = default;
};

} // namespace veloxa
