#pragma once

#include <algorithm>
#include <string_view>

namespace veloxa {

// A network interface name as the tunnel's engine may create it: one plain word of at most
// 15 characters (the kernel's limit), safe as a sysfs path component and a tool argument.
inline bool isValidInterfaceName(std::string_view name) {
    if (name.empty() || name.size() > 15 || name == "." || name == "..")
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == '.';
    });
}

} // namespace veloxa
