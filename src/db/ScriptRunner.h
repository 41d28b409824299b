#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vek::db {

class Connection;

/// Splits a DDL/DML script into statements: comments skipped, `SET TERM` honoured so that
/// procedure and trigger bodies stay whole, client-only SET commands dropped.
std::vector<std::string> splitScript(std::string_view script);

/// Runs a script on the connection in one transaction at a time: `COMMIT` commits and starts the
/// next, the end of the script commits. A failing statement rolls back and raises with the
/// statement's first line added to the server's text.
void runScript(Connection& connection, std::string_view script);
void runScriptFile(Connection& connection, const std::string& path);

} // namespace vek::db
