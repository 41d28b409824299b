#pragma once

#include "support/TestDb.h"

#include <fstream>
#include <map>
#include <string>

namespace vek::test {

/// The statements of tests/db/quoted_statements.sql by name, as the schema test reads them: so that
/// a module's own texts can be checked against what the schema test prepares.
inline std::map<std::string, std::string> quotedStatements() {
    std::ifstream in(sourceDir() + "/tests/db/quoted_statements.sql", std::ios::binary);
    std::map<std::string, std::string> out;
    std::string name, sql, line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (name.empty() && line.rfind("-- ", 0) == 0) {
            name = line.substr(line.find(' ', 3) + 1);
            name = name.substr(0, name.find(' '));
        } else if (line == ";;") {
            out[name] = sql.substr(0, sql.find_last_not_of('\n') + 1);
            name.clear();
            sql.clear();
        } else if (!name.empty()) {
            sql += line + "\n";
        }
    }
    return out;
}

} // namespace vek::test
