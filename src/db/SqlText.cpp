#include "db/SqlText.h"

namespace vek::db {

namespace {
bool isNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool isNameChar(char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '$';
}
char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
} // namespace

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i])) {
            return false;
        }
    }
    return true;
}

namespace {
// Whether the text is an EXECUTE BLOCK, whose body after AS is PSQL with variables of its own.
bool isExecuteBlock(std::string_view sql) {
    std::size_t i = 0;
    auto word = [&](std::string_view w) {
        while (i < sql.size() && (sql[i] == ' ' || sql[i] == '\t' || sql[i] == '\r' || sql[i] == '\n')) ++i;
        const std::size_t from = i;
        while (i < sql.size() && isNameChar(sql[i])) ++i;
        return sameName(sql.substr(from, i - from), w);
    };
    return word("EXECUTE") && word("BLOCK");
}
} // namespace

ParsedSql parseNamedParameters(std::string_view sql) {
    ParsedSql out;
    out.text.reserve(sql.size());
    std::size_t i = 0;
    const std::size_t n = sql.size();
    // In an EXECUTE BLOCK only the header's ":NAME" are parameters: ":X" in the body is a variable.
    const bool block = isExecuteBlock(sql);
    int depth = 0;
    while (i < n) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            // Literal or quoted identifier; a doubled quote stays inside it.
            std::size_t j = i + 1;
            while (j < n) {
                if (sql[j] == c) {
                    if (j + 1 < n && sql[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            const std::size_t end = j < n ? j + 1 : n;
            out.text.append(sql.substr(i, end - i));
            i = end;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            std::size_t j = sql.find('\n', i);
            j = j == std::string_view::npos ? n : j;
            out.text.append(sql.substr(i, j - i));
            i = j;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            std::size_t j = sql.find("*/", i + 2);
            j = j == std::string_view::npos ? n : j + 2;
            out.text.append(sql.substr(i, j - i));
            i = j;
        } else if (c == ':' && i + 1 < n && isNameStart(sql[i + 1])) {
            std::size_t j = i + 1;
            while (j < n && isNameChar(sql[j])) {
                ++j;
            }
            const std::string_view name = sql.substr(i + 1, j - i - 1);
            std::size_t index = 0;
            while (index < out.names.size() && !sameName(out.names[index], name)) {
                ++index;
            }
            if (index == out.names.size()) {
                out.names.emplace_back(name);
            }
            out.markers.push_back(index);
            out.text.push_back('?');
            i = j;
        } else if (block && depth == 0 && isNameStart(c) && (i == 0 || !isNameChar(sql[i - 1]))) {
            std::size_t j = i;
            while (j < n && isNameChar(sql[j])) {
                ++j;
            }
            if (sameName(sql.substr(i, j - i), "AS")) {
                out.text.append(sql.substr(i));
                break;
            }
            out.text.append(sql.substr(i, j - i));
            i = j;
        } else {
            depth += c == '(' ? 1 : c == ')' ? -1 : 0;
            out.text.push_back(c);
            ++i;
        }
    }
    return out;
}

} // namespace vek::db
