#include "support/PrivateServer.h"

#include "db/Connection.h"
#include "support/TestDb.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace vek::test {

namespace {

// A TCP port nobody listens on right now.
int freeTcpPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) throw std::runtime_error("no socket for a free port");
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    const bool ok = ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0;
    ::close(s);
    if (!ok) throw std::runtime_error("no free port");
    return ntohs(a.sin_port);
}

} // namespace

PrivateServer::PrivateServer(State initial) : m_port(freeTcpPort()) {
    static std::atomic<int> counter{0};
    m_root =
        (fs::temp_directory_path() / ("vek-fbserver-" + std::to_string(::getpid()) + "-" + std::to_string(++counter)))
            .string();
    if (initial == State::Running) start();
}

PrivateServer::~PrivateServer() {
    try {
        stop();
    } catch (const std::exception&) {
        // The script kills a server that does not end; nothing more to do here.
    }
    std::error_code ec;
    fs::remove_all(m_root, ec);
}

void PrivateServer::run(const std::string& action) const {
    const std::string cmd = "VEK_FB_PORT=" + std::to_string(m_port) + " VEK_FB_ROOT='" + m_root +
                            "' VEK_FB_PASSWORD='" + serverPassword() + "' bash '" + sourceDir() +
                            "/scripts/fb-test-server.sh' " + action + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) {
        throw std::runtime_error("database server " + action + " failed on port " + std::to_string(m_port) + ": " +
                                 log());
    }
}

void PrivateServer::start() {
    run("start");
}

void PrivateServer::stop() {
    run("stop");
}

void PrivateServer::kill() {
    run("kill");
}

long PrivateServer::pid() const {
    long pid = 0;
    std::ifstream(m_root + "/server.pid") >> pid;
    return pid;
}

std::string PrivateServer::location(const TestDb& db) const {
    return "127.0.0.1/" + std::to_string(m_port) + ":" + db.path();
}

std::unique_ptr<db::Connection> PrivateServer::connect(const TestDb& db) const {
    auto c = db.connectRemote();
    c->setDatabase(location(db));
    return c;
}

std::string PrivateServer::log() const {
    std::ifstream f(m_root + "/server.log");
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

} // namespace vek::test
