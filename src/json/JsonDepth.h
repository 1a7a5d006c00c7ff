#pragma once

#include <cstddef>
#include <string_view>

#include <nlohmann/json.hpp>

namespace veloxa {

// Nesting depth of a JSON text, measured without parsing it: the JSON library recurses
// when it copies, prints or compares values, so a text nested deeper than any record we
// read is refused before it becomes a value.
class JsonDepth {
public:
    // Deeper than any record of ours by a wide margin.
    static constexpr int defaultLimit = 32;

    // The deepest nesting of arrays and objects, counting brackets outside strings.
    static std::size_t of(std::string_view text);
    // Parses `text` when its nesting is within `limit`; a discarded value otherwise, or
    // when it is not JSON.
    static nlohmann::json parse(std::string_view text, int limit = defaultLimit);
};

} // namespace veloxa
