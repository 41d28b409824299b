#pragma once

#include <filesystem>
#include <string_view>

namespace vek::db {
class Query;
} // namespace vek::db

namespace vek {

/// Writes the query's SQL text and parameter values to `<dir of the executable>/SQL/<name>.sql`,
/// name being `fileName` or else the query's name, replacing an earlier file. Never fails: any
/// error leaves no file and no message.
void WriteSqlTrace(const db::Query& query, std::string_view fileName);
/// The same with the folder "SQL" made in `baseDir` instead of beside the executable.
void WriteSqlTrace(const db::Query& query, std::string_view fileName, const std::filesystem::path& baseDir);

} // namespace vek
