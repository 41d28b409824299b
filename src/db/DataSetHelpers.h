#pragma once

#include "util/DateTime.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace vek::db {
class MemTable;
class Query;
} // namespace vek::db

namespace vek {

/// The number of records of an open table; 0 for a closed one.
int RecordCountIfActive(const db::MemTable& dataset);

/// Deletes every record the table shows, emptying the tables nested in each record first. The
/// table's updates stay suspended meanwhile and resume however it ends.
void ClearDataSet(db::MemTable& dataset);

/// Prepares a table for reuse: emptied when open, created empty from its field definitions when
/// closed; then the index (when `indexFieldNames` is not empty) and the change log are set. Filter
/// and master link are off meanwhile and come back as they were, also on failure.
void ResetClientDataSet(db::MemTable& table, std::string_view indexFieldNames, bool logChanges);

/// Writes the query's SQL text and parameter values to `<dir of the executable>/SQL/<name>.sql`,
/// name being `fileName` or else the query's name, replacing an earlier file. Never fails: any
/// error leaves no file and no message.
void WriteSqlTrace(const db::Query& query, std::string_view fileName);
/// The same with the folder "SQL" made in `baseDir` instead of beside the executable.
void WriteSqlTrace(const db::Query& query, std::string_view fileName, const std::filesystem::path& baseDir);

/// "10, 20 ,,30" → "'10','20','30'": items split at commas and line breaks (not inside a pair of
/// quote characters), trimmed, empty ones dropped, each made an SQL string literal.
std::string QuotedList(std::string_view text);

/// The calendar day of `date` at the given time; an hour, minute or second outside 0 to 65535
/// throws std::out_of_range. Times past the day's end carry into the following days.
DateTime SqlTimeStampAt(const DateTime& date, int hour, int minute, int second);

} // namespace vek
