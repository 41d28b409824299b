#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace vek::test {

// A TCP socket of the test's, closed with the object.
struct TcpSocket {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    TcpSocket() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    ~TcpSocket() { ::close(fd); }
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;
    int port() const {
        sockaddr_in a{};
        socklen_t n = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
        return ntohs(a.sin_port);
    }
};

inline bool sendAll(int fd, const std::string& bytes) {
    return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

// An HTTP server on 127.0.0.1 for one request, whoever sends it: once the request's head has
// arrived, `answer` writes to the connection on the server's own thread.
class OneShotServer {
public:
    explicit OneShotServer(std::function<void(int connection)> answer) {
        ::listen(m_listen.fd, 1);
        m_thread = std::thread([this, answer = std::move(answer)] {
            const int c = ::accept(m_listen.fd, nullptr, nullptr);
            if (c < 0) return;
            m_connection = c;
            std::string head;
            char buffer[4096];
            while (head.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = ::recv(c, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                head.append(buffer, static_cast<std::size_t>(n));
            }
            m_requested = true;
            answer(c);
        });
    }
    ~OneShotServer() {
        ::shutdown(m_listen.fd, SHUT_RDWR); // ends a wait for a request that never came
        m_thread.join();
        if (m_connection >= 0) ::close(m_connection);
    }
    OneShotServer(const OneShotServer&) = delete;
    OneShotServer& operator=(const OneShotServer&) = delete;

    std::string url(const std::string& path = "/") const {
        return "http://127.0.0.1:" + std::to_string(m_listen.port()) + path;
    }
    std::string address() const { return "127.0.0.1:" + std::to_string(m_listen.port()); }
    bool requested() const { return m_requested; }

private:
    TcpSocket m_listen;
    std::atomic<int> m_connection{-1};
    std::atomic<bool> m_requested{false};
    std::thread m_thread;
};

inline std::string okHead(std::size_t length) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\nConnection: close\r\n\r\n";
}

} // namespace vek::test
