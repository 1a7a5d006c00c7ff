#pragma once

#include <utility>

namespace veloxa {

// Sets a model field and tells whether it really changed: change signals go out only then.
template <class V> bool assignChanged(V& field, V value) {
    if (field == value)
        return false;
    field = std::move(value);
    return true;
}

} // namespace veloxa
