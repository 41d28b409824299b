#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vek::test {

/// A port on 127.0.0.1 that nothing holds right now, of `type` (SOCK_STREAM, SOCK_DGRAM).
inline int freePort(int type) {
    const int fd = ::socket(AF_INET, type, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

} // namespace vek::test
