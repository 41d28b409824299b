#pragma once

// Internal to the database layer: calls that wait on the server, under the connection's deadline.

#include "db/Connection.h"
#include "db/FbApi.h"

#include <type_traits>

namespace vek::db::fb {

/// Runs `f` (calls of the client library) with the connection's answer deadline armed: a wait the
/// server leaves unanswered is cut and raises DbError::isNoAnswer().
template <class F>
auto waitOnServer(Connection& c, Connection::Wait wait, F&& f) {
    c.armAnswerDeadline(wait);
    try {
        if constexpr (std::is_void_v<decltype(f())>) {
            f();
            c.disarmAnswerDeadline();
        } else {
            auto r = f();
            c.disarmAnswerDeadline();
            return r;
        }
    } catch (const DbError& e) {
        c.answerFailed(e);
        throw;
    } catch (...) {
        c.disarmAnswerDeadline();
        throw;
    }
}

/// One call of the client library, as `call` runs it, under the answer deadline.
template <class F>
auto callServer(Connection& c, Connection::Wait wait, F&& f) {
    return waitOnServer(c, wait, [&] { return call(f); });
}

template <class F>
auto callServer(Connection& c, F&& f) {
    return callServer(c, Connection::Wait::Answer, std::forward<F>(f));
}

/// Releases a handle whose release asks the server (a transaction's rolls it back) under the
/// deadline; never raises.
template <class T>
void releaseOnServer(Connection& c, Ref<T>& handle) noexcept {
    if (!handle) {
        return;
    }
    c.armAnswerDeadline(Connection::Wait::Answer);
    handle.reset();
    c.disarmAnswerDeadline();
}

} // namespace vek::db::fb
