#pragma once

#include <memory>
#include <string>

namespace vek {

/// A database the access server lists.
struct ListedDatabase {
    std::string host; // the location text of the database
    std::string password;
};

/// What the station's start-up needs of the access server client. Until the client is built, the
/// station uses `unreachableAccessClient()`, which behaves as a server that cannot be reached.
class AccessClient {
public:
    virtual ~AccessClient() = default;
    virtual void setHost(const std::string& host) = 0;
    /// The companies and their databases; an unreachable server leaves the list empty.
    virtual void LoadDatabaseList() = 0;
    virtual int CompanyCount() const = 0;
    /// Raises for an index outside the list.
    virtual int Company(int index) const = 0;
    /// The first database of the kind ("G" main, "C" catalogue) under `parent`; raises when none.
    virtual ListedDatabase FindDatabase(int company, const std::string& kind, int parent, bool fallback) const = 0;
    /// Shows the choice dialog; returns 1 (OK) or 2 (Cancel).
    virtual int ChooseDatabase(const std::string& kind) = 0;
    virtual ListedDatabase SelectedDatabase() const = 0;
    virtual void setSelectedDatabase(const ListedDatabase& db) = 0;
};

std::unique_ptr<AccessClient> unreachableAccessClient();

/// The access server client over HTTP. Create it once for the process: its refresh thread runs
/// until it is destroyed. `SelectedDatabase()` raises while no database is selected.
std::unique_ptr<AccessClient> makeAccessClient();

} // namespace vek
