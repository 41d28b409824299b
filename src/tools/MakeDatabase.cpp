// vek-mkdb DATABASE [SCRIPT...]: creates a database (WIN1252, dialect 3) and runs the scripts on it.
// Used by the demo to build its databases from the reference schema.
//
// vek-mkdb --check DATABASE [SCHEMA]: lists the indexes of the schema script (its CREATE INDEX
// statements, primary keys and unique constraints) that an installation's own database lacks, each
// with a statement that creates it (or switches an inactive one on again). The schema script is the
// one list of what the station's statements need, so the check cannot drift from the reference schema.
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Query.h"
#include "db/ScriptRunner.h"
#include "util/Text.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

constexpr int kMissing = 1;
constexpr int kUsage = 2;
// A schema script is a few dozen kilobytes; anything far larger is not one.
constexpr std::uintmax_t kMaxSchemaBytes = 16u << 20;
constexpr std::size_t kMaxName = 31; // the longest name the server takes

void usage(std::FILE* to = stderr) {
    std::fprintf(to, "usage: vek-mkdb DATABASE [SCRIPT...]\n"
                     "       vek-mkdb --check DATABASE [SCHEMA]\n"
                     "  DATABASE  a file path (opened in-process) or host[/port]:path on a server\n"
                     "  --check   lists the indexes of SCHEMA (default: the installed main.sql) that the\n"
                     "            database lacks, each with a CREATE INDEX statement; exit 0 when none is\n"
                     "            missing, 1 when some are, 2 on a usage error or when the check cannot run\n");
}

struct Index {
    std::string name; // the schema's name, a suggestion only
    std::string table;
    std::vector<std::string> columns;
    bool unique = false;
    bool descending = false;
};

struct Token {
    std::string text; // identifiers and keywords upper-cased unless quoted
    bool quoted = false;
};

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> out;
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c <= ' ') {
            ++i;
        } else if (s.compare(i, 2, "/*") == 0) {
            const std::size_t e = s.find("*/", i + 2);
            i = e == std::string_view::npos ? s.size() : e + 2;
        } else if (s.compare(i, 2, "--") == 0) {
            const std::size_t e = s.find('\n', i);
            i = e == std::string_view::npos ? s.size() : e + 1;
        } else if (c == '\'') {
            std::size_t j = i + 1;
            while (j < s.size() && !(s[j] == '\'' && (j + 1 >= s.size() || s[j + 1] != '\''))) {
                j += s[j] == '\'' ? 2 : 1;
            }
            out.push_back({"'", false});
            i = j + 1;
        } else if (c == '"') {
            const std::size_t e = s.find('"', i + 1);
            const std::size_t end = e == std::string_view::npos ? s.size() : e;
            out.push_back({std::string(s.substr(i + 1, end - i - 1)), true});
            i = end + 1;
        } else if (std::isalnum(c) || c == '_' || c == '$') {
            std::size_t j = i;
            std::string word;
            while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_' || s[j] == '$')) {
                word.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(s[j]))));
                ++j;
            }
            out.push_back({word, false});
            i = j;
        } else {
            out.push_back({std::string(1, static_cast<char>(c)), false});
            ++i;
        }
    }
    return out;
}

bool is(const std::vector<Token>& t, std::size_t i, std::string_view word) {
    return i < t.size() && !t[i].quoted && t[i].text == word;
}

// "( A, B )" at t[i]; returns the index after the closing parenthesis, or 0 when it is no column list.
std::size_t columnList(const std::vector<Token>& t, std::size_t i, std::vector<std::string>& columns) {
    if (!is(t, i, "(")) return 0;
    for (++i; i < t.size(); ++i) {
        if (is(t, i, ")")) return columns.empty() ? 0 : i + 1;
        if (is(t, i, ",")) continue;
        if (!t[i].quoted && !(std::isalpha(static_cast<unsigned char>(t[i].text[0])) || t[i].text[0] == '_')) return 0;
        columns.push_back(t[i].text);
    }
    return 0;
}

// Primary keys and unique constraints inside CREATE TABLE name ( ... ), table or column level.
void tableKeys(const std::vector<Token>& t, std::vector<Index>& out) {
    const std::string table = t[2].text;
    std::size_t i = 3;
    if (!is(t, i, "(")) return;
    int depth = 0;
    std::string elementFirst, constraintName;
    bool atElementStart = true;
    int keyCount = 0;
    for (; i < t.size(); ++i) {
        if (is(t, i, "(")) {
            ++depth;
            if (depth == 1) atElementStart = true;
            continue;
        }
        if (is(t, i, ")")) {
            if (--depth == 0) break;
            continue;
        }
        if (depth != 1) continue;
        if (is(t, i, ",")) {
            atElementStart = true;
            constraintName.clear();
            continue;
        }
        if (atElementStart) {
            elementFirst = t[i].text;
            atElementStart = false;
        }
        if (is(t, i, "CONSTRAINT") && i + 1 < t.size()) {
            constraintName = t[i + 1].text;
            continue;
        }
        const bool primary = is(t, i, "PRIMARY") && is(t, i + 1, "KEY");
        const bool unique = is(t, i, "UNIQUE");
        if (!primary && !unique) continue;
        Index k;
        k.table = table;
        k.unique = true;
        std::size_t after = i + (primary ? 2 : 1);
        if (std::size_t end = columnList(t, after, k.columns)) {
            i = end - 1;
        } else if (elementFirst != "CONSTRAINT") {
            k.columns = {elementFirst}; // a column's own PRIMARY KEY or UNIQUE
        } else {
            continue;
        }
        k.name =
            !constraintName.empty() ? constraintName : table + (primary ? "_PK" : "_UQ") + std::to_string(++keyCount);
        out.push_back(std::move(k));
    }
}

// The indexes a schema script asks for, in its order.
std::vector<Index> neededIndexes(const std::string& script) {
    std::vector<Index> out;
    for (const std::string& statement : vek::db::splitScript(script)) {
        const std::vector<Token> t = tokenize(statement);
        if (is(t, 0, "CREATE") && is(t, 1, "TABLE") && t.size() > 3) {
            tableKeys(t, out);
            continue;
        }
        if (is(t, 0, "ALTER") && is(t, 1, "TABLE") && is(t, 3, "ADD") && t.size() > 4) {
            std::size_t i = 4;
            std::string constraintName;
            if (is(t, i, "CONSTRAINT") && i + 1 < t.size()) {
                constraintName = t[i + 1].text;
                i += 2;
            }
            const bool primary = is(t, i, "PRIMARY") && is(t, i + 1, "KEY");
            if (!primary && !is(t, i, "UNIQUE")) continue;
            Index k;
            k.table = t[2].text;
            k.unique = true;
            k.name = constraintName.empty() ? k.table + (primary ? "_PK" : "_UQ") : constraintName;
            if (columnList(t, i + (primary ? 2 : 1), k.columns)) out.push_back(std::move(k));
            continue;
        }
        if (!is(t, 0, "CREATE")) continue;
        std::size_t i = 1;
        Index k;
        if (is(t, i, "UNIQUE")) {
            k.unique = true;
            ++i;
        }
        if (is(t, i, "ASC") || is(t, i, "ASCENDING")) {
            ++i;
        } else if (is(t, i, "DESC") || is(t, i, "DESCENDING")) {
            k.descending = true;
            ++i;
        }
        if (!is(t, i, "INDEX") || !is(t, i + 2, "ON") || i + 3 >= t.size()) continue;
        k.name = t[i + 1].text;
        k.table = t[i + 3].text;
        // An expression index (COMPUTED BY) has no columns to compare.
        if (columnList(t, i + 4, k.columns)) out.push_back(std::move(k));
    }
    return out;
}

// The database's column indexes, active and inactive, and every index name it has.
void databaseIndexes(vek::db::Connection& c, std::vector<Index>& active, std::vector<Index>& inactive,
                     std::set<std::string>& names) {
    vek::db::Query q(c, "sqlIndices");
    q.setSql("select i.RDB$INDEX_NAME as NAME, i.RDB$RELATION_NAME as TABELA,\n"
             "coalesce(i.RDB$INDEX_INACTIVE, 0) as INATIVO, coalesce(i.RDB$INDEX_TYPE, 0) as TIPO,\n"
             "iif(i.RDB$EXPRESSION_BLR is null, 0, 1) as EXPRESSAO, s.RDB$FIELD_NAME as CAMPO\n"
             "from RDB$INDICES i\n"
             "left join RDB$INDEX_SEGMENTS s on s.RDB$INDEX_NAME = i.RDB$INDEX_NAME\n"
             "order by i.RDB$INDEX_NAME, s.RDB$FIELD_POSITION");
    q.open();
    std::string last;
    std::vector<Index>* into = nullptr;
    for (; !q.eof(); q.next()) {
        const std::string name = vek::trimmed(q.field("NAME").asString());
        if (name != last) {
            last = name;
            names.insert(name);
            into = nullptr;
            if (q.field("EXPRESSAO").asInt() == 0) {
                into = q.field("INATIVO").asInt() == 0 ? &active : &inactive;
                Index i;
                i.name = name;
                i.table = vek::trimmed(q.field("TABELA").asString());
                i.descending = q.field("TIPO").asInt() == 1;
                into->push_back(std::move(i));
            }
        }
        if (into && !q.field("CAMPO").isNull())
            into->back().columns.push_back(vek::trimmed(q.field("CAMPO").asString()));
    }
    q.close();
}

// Another index serves a needed one when its leading segments are the needed columns, in order.
bool serves(const Index& have, const Index& need) {
    if (have.table != need.table || have.descending != need.descending || have.columns.size() < need.columns.size()) {
        return false;
    }
    for (std::size_t k = 0; k < need.columns.size(); ++k) {
        if (have.columns[k] != need.columns[k]) return false;
    }
    return true;
}

std::string identifier(const std::string& name) {
    bool plain = !name.empty() && std::isupper(static_cast<unsigned char>(name[0]));
    for (char ch : name) {
        const unsigned char u = static_cast<unsigned char>(ch);
        plain = plain && (std::isupper(u) || std::isdigit(u) || ch == '_' || ch == '$');
    }
    if (plain) return name;
    std::string out = "\"";
    for (char ch : name) {
        if (ch == '"') out += '"';
        out += ch;
    }
    return out + "\"";
}

std::string joined(const std::vector<std::string>& columns) {
    std::string out;
    for (const std::string& col : columns) out += (out.empty() ? "" : ", ") + identifier(col);
    return out;
}

// The schema's name when the database has none of that name, else the first free one after it.
std::string freeName(const std::string& wanted, std::set<std::string>& names) {
    std::string name = wanted.substr(0, kMaxName);
    for (int n = 2; names.count(name); ++n) {
        std::string suffix = std::to_string(n);
        suffix.insert(suffix.begin(), '_');
        name = wanted.substr(0, kMaxName - suffix.size());
        name.append(suffix);
    }
    names.insert(name);
    return name;
}

std::string installedSchema() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return (exe.parent_path().parent_path() / "share/vek-station/schema/main.sql").string();
}

int check(const std::string& database, std::string schemaPath) {
    if (schemaPath.empty()) schemaPath = installedSchema();
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(schemaPath, ec);
    if (ec || size > kMaxSchemaBytes) {
        std::fprintf(stderr, "vek-mkdb: cannot read the schema script %s%s\n", schemaPath.c_str(),
                     ec ? "" : " (too large)");
        return kUsage;
    }
    std::ifstream in(schemaPath, std::ios::binary);
    const std::string script{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in && !in.eof()) {
        std::fprintf(stderr, "vek-mkdb: cannot read the schema script %s\n", schemaPath.c_str());
        return kUsage;
    }
    const std::vector<Index> needed = neededIndexes(script);
    if (needed.empty()) {
        std::fprintf(stderr, "vek-mkdb: %s declares no index\n", schemaPath.c_str());
        return kUsage;
    }

    std::vector<Index> active, inactive;
    std::set<std::string> names;
    try {
        vek::db::Connection c;
        c.setDatabase(database);
        databaseIndexes(c, active, inactive, names);
        c.close();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vek-mkdb: %s\n", e.what());
        return kUsage;
    }

    int missing = 0;
    for (const Index& need : needed) {
        bool found = false;
        for (const Index& have : active) found = found || serves(have, need);
        if (found) continue;
        ++missing;
        // An index switched off is switched on again rather than made twice.
        const Index* off = nullptr;
        for (const Index& have : inactive) {
            if (!off && serves(have, need)) off = &have;
        }
        if (off) {
            std::printf("missing %s (%s): ALTER INDEX %s ACTIVE;\n", need.table.c_str(), joined(need.columns).c_str(),
                        identifier(off->name).c_str());
            continue;
        }
        std::printf("missing %s (%s): CREATE %s%sINDEX %s ON %s (%s);\n", need.table.c_str(),
                    joined(need.columns).c_str(), need.unique ? "UNIQUE " : "", need.descending ? "DESCENDING " : "",
                    identifier(freeName(need.name, names)).c_str(), identifier(need.table).c_str(),
                    joined(need.columns).c_str());
    }
    if (missing == 0) {
        std::printf("%s: all %zu indexes of %s present\n", database.c_str(), needed.size(), schemaPath.c_str());
        return 0;
    }
    return kMissing;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string_view(argv[1]) == "--help") {
        usage(stdout);
        return 0;
    }
    if (argc >= 2 && std::string_view(argv[1]) == "--check") {
        if (argc < 3 || argc > 4) {
            usage();
            return kUsage;
        }
        return check(argv[2], argc == 4 ? argv[3] : "");
    }
    if (argc < 2 || argv[1][0] == '-') {
        usage();
        return kUsage;
    }
    try {
        vek::db::createDatabase(argv[1], "sysdba", "");
        vek::db::Connection c;
        c.setDatabase(argv[1]);
        for (int i = 2; i < argc; ++i) {
            vek::db::runScriptFile(c, argv[i]);
        }
        c.close();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vek-mkdb: %s\n", e.what());
        return 1;
    }
    return 0;
}
