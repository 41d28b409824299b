#pragma once

#include <optional>
#include <utility>

namespace vek::test {

/// What `f` raises as E, for the test to look into; nothing when it raises nothing (the caller
/// asserts that it did). An exception of another type goes on to the test.
template <class E, class F>
std::optional<E> thrown(F&& f) {
    try {
        std::forward<F>(f)();
    } catch (const E& e) {
        return e;
    }
    return std::nullopt;
}

} // namespace vek::test
