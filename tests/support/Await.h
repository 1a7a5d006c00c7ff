#pragma once

#include <QTest>

#include <memory>
#include <optional>

// Calls `call` with a callback and waits for it: the value it was given, or nothing when
// none came within `timeoutMs` (a later answer then reaches nobody).
template <class T, class Call> std::optional<T> awaitCallback(Call call, int timeoutMs = 5000) {
    auto result = std::make_shared<std::optional<T>>();
    call([result](T value) { *result = std::move(value); });
    (void)QTest::qWaitFor([&] { return result->has_value(); }, timeoutMs);
    return *result;
}
