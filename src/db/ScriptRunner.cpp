#include "db/ScriptRunner.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/SqlText.h"
#include "util/Text.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace vek::db {

namespace {

// The first word(s) of a statement, upper-cased and with single blanks, for recognising commands.
std::string head(const std::string& stmt, std::size_t words) {
    std::string out;
    std::size_t i = 0, taken = 0;
    while (i < stmt.size() && taken < words) {
        while (i < stmt.size() && static_cast<unsigned char>(stmt[i]) <= ' ') ++i;
        std::size_t j = i;
        while (j < stmt.size() && static_cast<unsigned char>(stmt[j]) > ' ') ++j;
        if (j == i) break;
        if (!out.empty()) out.push_back(' ');
        for (std::size_t k = i; k < j; ++k)
            out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(stmt[k]))));
        i = j;
        ++taken;
    }
    return out;
}

} // namespace

std::vector<std::string> splitScript(std::string_view script) {
    std::vector<std::string> out;
    std::string term = ";";
    std::string cur;
    std::size_t i = 0;
    const std::size_t n = script.size();
    auto flush = [&]() {
        std::string stmt = trimmed(cur);
        cur.clear();
        if (stmt.empty()) {
            return;
        }
        const std::string h2 = head(stmt, 2);
        if (h2 == "SET TERM") {
            // "SET TERM ^" (ended by the old terminator): the rest is the new terminator.
            std::size_t p = stmt.find_first_of(" \t\r\n");
            p = stmt.find_first_not_of(" \t\r\n", p);
            p = stmt.find_first_of(" \t\r\n", p);
            term = trimmed(stmt.substr(p));
            if (term.empty()) {
                throw DbError("SET TERM without a terminator");
            }
            return;
        }
        if (h2 == "SET AUTODDL" || h2 == "SET SQL" || h2 == "SET NAMES" || h2 == "SET ECHO" || h2 == "SET LIST" ||
            h2 == "SET BAIL" || h2 == "SET STATS") {
            return;
        }
        out.push_back(std::move(stmt));
    };
    while (i < n) {
        const char c = script[i];
        if (c == '\'' || c == '"') {
            std::size_t j = i + 1;
            while (j < n) {
                if (script[j] == c) {
                    if (j + 1 < n && script[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            const std::size_t end = j < n ? j + 1 : n;
            cur.append(script.substr(i, end - i));
            i = end;
        } else if (c == '-' && i + 1 < n && script[i + 1] == '-') {
            std::size_t j = script.find('\n', i);
            j = j == std::string_view::npos ? n : j;
            // Inside a body the comment is harmless and keeps line numbers; outside it is dropped.
            if (!trimmed(cur).empty()) {
                cur.append(script.substr(i, j - i));
            }
            i = j;
        } else if (c == '/' && i + 1 < n && script[i + 1] == '*') {
            std::size_t j = script.find("*/", i + 2);
            j = j == std::string_view::npos ? n : j + 2;
            if (!trimmed(cur).empty()) {
                cur.append(script.substr(i, j - i));
            }
            i = j;
        } else if (script.compare(i, term.size(), term) == 0) {
            flush();
            i += term.size();
        } else {
            cur.push_back(c);
            ++i;
        }
    }
    flush();
    return out;
}

void runScript(Connection& connection, std::string_view script) {
    const std::vector<std::string> statements = splitScript(script);
    connection.startTransaction();
    try {
        for (const std::string& stmt : statements) {
            const std::string h = head(stmt, 2);
            if (h == "COMMIT" || h == "COMMIT WORK") {
                connection.commit();
                connection.startTransaction();
                continue;
            }
            if (h == "ROLLBACK" || h == "ROLLBACK WORK") {
                connection.rollback();
                connection.startTransaction();
                continue;
            }
            try {
                connection.executeImmediate(stmt);
            } catch (const DbError& e) {
                const std::string first = stmt.substr(0, stmt.find('\n'));
                throw DbError(std::string(e.what()) + "\nStatement: " + first, e.codes());
            }
        }
        connection.commit();
    } catch (...) {
        if (connection.inTransaction()) {
            try {
                connection.rollback();
            } catch (const DbError&) {}
        }
        throw;
    }
}

void runScriptFile(Connection& connection, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw DbError("Cannot open script " + path);
    }
    std::ostringstream text;
    text << in.rdbuf();
    runScript(connection, text.str());
}

} // namespace vek::db
