#pragma once

#include "json/JSONExceptions.h"

#include <functional>
#include <string>

/// The message of the library exception the action throws, or "(no exception)".
inline std::string messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const vek::json::JSONException& e) {
        return e.what();
    }
    return "(no exception)";
}

/// True when the action throws a library exception whose message begins with prefix.
inline bool failsWith(const std::function<void()>& action, const std::string& prefix) {
    return messageOf(action).rfind(prefix, 0) == 0;
}
