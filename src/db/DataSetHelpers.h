#pragma once

#include <string>
#include <string_view>

namespace vek::db {
class MemTable;
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

/// "10, 20 ,,30" → "'10','20','30'": items split at commas and line breaks (not inside a pair of
/// quote characters), trimmed, empty ones dropped, each made an SQL string literal.
std::string QuotedList(std::string_view text);

} // namespace vek
