#pragma once

#include "access/AccessProtocol.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace vek::access {

/// The reference access server: answers the company list and the access refresh, encoded with the
/// shared key table, behind basic authentication.
class AccessServer {
public:
    struct Options {
        std::string userName = kVekUserName;
        std::string password = kVekSystemKey;
        std::string listText = "[]";        // the answer to the list request, before encoding
        std::optional<std::int32_t> offset; // start offset in the key table; none: a random one per answer
        bool encrypt = true;
    };

    /// What the server has seen of the refresh requests.
    struct RefreshLog {
        int count = 0;
        std::string lastPath;
        std::string lastBody;
    };

    explicit AccessServer(Options options);
    ~AccessServer();
    AccessServer(const AccessServer&) = delete;
    AccessServer& operator=(const AccessServer&) = delete;

    /// Binds (port 0: a free one) and serves on a thread of its own; returns the port. Throws when
    /// the address cannot be bound.
    int start(const std::string& address, int port);
    /// Serves on the calling thread until stop(); returns false when the address cannot be bound.
    bool run(const std::string& address, int port, const std::function<void(int)>& onListening);
    void stop();

    RefreshLog refreshLog() const;
    int listRequests() const;

private:
    std::string encoded(const std::string& text);
    int bind(const std::string& address, int port);

    Options m_options;
    std::string m_expectedAuthorization;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    RefreshLog m_refreshLog;
    int m_listRequests = 0;
    std::uint32_t m_seed;
};

/// Standard base64 with padding, for the Authorization header.
std::string base64Encode(const std::string& bytes);

} // namespace vek::access
