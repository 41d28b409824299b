#pragma once

#include <string>

namespace vek::access {

/// An HTTP proxy; no server means requests go direct.
struct TProxySettings {
    std::string server;
    int port = 0;
    std::string userName;
    std::string password;
    bool basicAuthentication = false;
};

} // namespace vek::access
