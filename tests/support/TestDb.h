#pragma once

#include "db/Connection.h"

#include <memory>
#include <string>
#include <vector>

namespace vek::test {

/// The schemas a test database can be made from.
enum class Schema { Empty, Main, Catalogue, Access };

/// Where the private test server listens and its SYSDBA password.
std::string serverHost();
std::string serverPassword();

/// Template databases are built once per test run from the schema scripts; each test gets a copy
/// in a directory of its own, removed when the object goes.
class TestDb {
public:
    explicit TestDb(Schema schema = Schema::Main);
    ~TestDb();
    TestDb(const TestDb&) = delete;
    TestDb& operator=(const TestDb&) = delete;

    /// The file path: opens the database in-process.
    const std::string& path() const { return m_path; }
    /// The same file through the test server: "127.0.0.1/port:path".
    std::string remoteLocation() const;
    const std::string& dir() const { return m_dir; }

    /// A connection to the copy, in-process, opened on first use.
    std::unique_ptr<db::Connection> connect() const;
    /// A connection to the copy through the test server with SYSDBA's password.
    std::unique_ptr<db::Connection> connectRemote() const;

    /// Runs SQL text (several statements separated by ';' allowed) and commits.
    void exec(const std::string& sql) const;
    /// "select count(*) from " + `fromWhere` (a table and its condition), on a connection of its own.
    int count(const std::string& fromWhere) const;
    /// Every row of a select, each column as text; through the server while stations hold the file.
    std::vector<std::vector<std::string>> rows(const std::string& sql, bool throughServer = false) const;

private:
    std::string m_dir;
    std::string m_path;
};

/// The project's source tree, for schema and data files.
std::string sourceDir();

/// The tests' usual boxes (`Box::usual`) with these codes, and the scan's success message switched on;
/// with `alarm`, the sound alert too.
void addUsualBoxes(const TestDb& db, const std::vector<int>& codes, bool alarm = false);

} // namespace vek::test
