#pragma once

#include <QString>
#include <algorithm>

namespace veloxa {

// A session token that can travel in an Authorization header as it is: printable ASCII
// without spaces. Anything else (a line break above all) could add a header of its own.
inline bool isUsableBearerToken(const QString& token) {
    return !token.isEmpty() && token.size() <= 4096 &&
           std::all_of(token.cbegin(), token.cend(),
                       [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7f; });
}

} // namespace veloxa
