#include "db/SqlTrace.h"

#include "db/Query.h"
#include "util/Format.h"

#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace vek {

namespace {

// Upper and lower case of the station's code page folded together.
unsigned char foldCase(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return static_cast<unsigned char>(c + 32);
    }
    switch (c) {
    case 0x8A:
    case 0x8C:
    case 0x8E:
        return static_cast<unsigned char>(c + 16);
    case 0x9F:
        return 0xFF;
    default:
        return c;
    }
}

bool sameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldCase(static_cast<unsigned char>(a[i])) != foldCase(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// Lines split at CR LF, LF or CR; a final line break does not start another line.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::string cur;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(cur));
            cur.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) {
        lines.push_back(std::move(cur));
    }
    return lines;
}

std::string paramText(const db::Value& v) {
    const auto& s = v.storage();
    if (const auto* t = std::get_if<DateTime>(&s)) {
        return formatDateTime(t->ticks() == 0 ? "dd/mm/yyyy" : "dd/mm/yyyy hh:nn:ss", *t);
    }
    if (std::holds_alternative<double>(s) || std::holds_alternative<db::Decimal>(s)) {
        return formatFloat("", v.asDouble());
    }
    return v.asString();
}

fs::path programDir() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe.parent_path();
}

} // namespace

void WriteSqlTrace(const db::Query& query, std::string_view fileName) {
    const fs::path dir = programDir();
    if (!dir.empty()) {
        WriteSqlTrace(query, fileName, dir);
    }
}

void WriteSqlTrace(const db::Query& query, std::string_view fileName, const fs::path& baseDir) {
    try {
        const std::string base = fileName.empty() ? query.name() : std::string(fileName);
        const fs::path dir = baseDir / "SQL";
        std::error_code ec;
        fs::create_directories(dir, ec);
        if (!fs::is_directory(dir, ec)) {
            return;
        }
        std::vector<std::string> lines = linesOf(query.sql());
        lines.emplace_back();
        if (!query.params().empty()) {
            lines.emplace_back();
            lines.emplace_back();
            lines.emplace_back("--Parametros usados na consulta: ");
            for (const db::Param& p : query.params()) {
                std::string line = "--" + p.name() + ": " + paramText(p.value());
                bool seen = false;
                for (const std::string& l : lines) {
                    seen = seen || sameText(l, line);
                }
                if (!seen) {
                    lines.push_back(std::move(line));
                }
            }
        }
        std::string text;
        for (const std::string& l : lines) {
            text += l;
            text += "\r\n";
        }
        // Written beside and renamed over the old file, so a failed write leaves no half file.
        const fs::path file = dir / (base + ".sql");
        const fs::path temp = dir / (base + ".sql.tmp");
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            out.close();
            if (!out) {
                fs::remove(temp, ec);
                return;
            }
        }
        fs::rename(temp, file, ec);
        if (ec) {
            fs::remove(temp, ec);
        }
    } catch (const std::exception&) {
        // A trace is a diagnostic aid; the statement runs all the same.
    }
}

} // namespace vek
