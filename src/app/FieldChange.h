#pragma once

#include <utility>

namespace veloxa {

// Sets a model field and announces it through `changed`, only when the value really
// changes.
template <class Owner, class V, class U>
void setField(Owner* owner, V& field, U&& value, void (Owner::*changed)()) {
    if (field == value)
        return;
    field = std::forward<U>(value);
    (owner->*changed)();
}

} // namespace veloxa
