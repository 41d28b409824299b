#pragma once

#include <memory>
#include <string>

namespace vek::db {
class Connection;
}

namespace vek::test {

class TestDb;

/// A database server of one test's own: its own root folder and a free port on 127.0.0.1, so a
/// test may stop and start it while other tests use the shared server. Stopped when the object
/// goes, also when the test failed half way.
class PrivateServer {
public:
    enum class State { Running, Stopped };
    explicit PrivateServer(State initial = State::Running);
    ~PrivateServer();
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    /// Both raise when the server script fails; the databases stay where they are.
    void start();
    void stop();
    /// Ends the server at once (SIGKILL): connections meet a dead socket in mid-statement.
    void kill();

    int port() const { return m_port; }
    /// The server process's id while it runs, 0 while it is stopped.
    long pid() const;
    /// The test database's file through this server: "127.0.0.1/port:path".
    std::string location(const TestDb& db) const;
    /// A connection of its own to the test database through this server (another station, say).
    std::unique_ptr<db::Connection> connect(const TestDb& db) const;
    /// The server's own log, for failure messages.
    std::string log() const;

private:
    void run(const std::string& action) const;

    std::string m_root;
    int m_port = 0;
};

} // namespace vek::test
