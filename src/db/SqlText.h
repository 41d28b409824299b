#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vek::db {

/// SQL with named parameters (`:NAME`) rewritten for the server, which only knows positional markers.
struct ParsedSql {
    std::string text;                 // the SQL with every parameter replaced by '?'
    std::vector<std::string> names;   // distinct parameter names, in order of first appearance
    std::vector<std::size_t> markers; // for each '?', the index into `names`
};

/// Finds `:NAME` parameters outside string literals, quoted identifiers and comments.
/// Names are matched without regard to letter case; a name may appear several times.
ParsedSql parseNamedParameters(std::string_view sql);

/// ASCII case-insensitive equality, the way the server compares unquoted identifiers.
bool sameName(std::string_view a, std::string_view b);

} // namespace vek::db
