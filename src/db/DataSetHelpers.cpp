#include "db/DataSetHelpers.h"

#include "db/MemTable.h"
#include "db/Query.h"
#include "util/Format.h"
#include "util/Text.h"

#include <fstream>
#include <stdexcept>
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

int RecordCountIfActive(const db::MemTable& dataset) {
    return dataset.isActive() ? dataset.recordCount() : 0;
}

void ClearDataSet(db::MemTable& dataset) {
    if (RecordCountIfActive(dataset) == 0) {
        return;
    }
    db::UpdatesSuspended quiet(dataset);
    dataset.first();
    while (!dataset.eof()) {
        for (const db::FieldDef& f : dataset.fields()) {
            if (f.type == db::FieldType::Nested) {
                ClearDataSet(dataset.nested(f.name));
            }
        }
        dataset.deleteRecord();
    }
}

void ResetClientDataSet(db::MemTable& table, std::string_view indexFieldNames, bool logChanges) {
    db::MemTable* const master = table.masterSource();
    const bool wasFiltered = table.filtered();
    struct Restore {
        db::MemTable& table;
        db::MemTable* master;
        bool filtered;
        ~Restore() {
            try {
                table.setFiltered(filtered);
                table.setMasterSource(master);
            } catch (const std::exception&) {
                // Only a pending record failing to post can get here; the reset's own error counts.
            }
        }
    } restore{table, master, wasFiltered};
    table.setMasterSource(nullptr);
    table.setFiltered(false);

    if (table.isActive()) {
        ClearDataSet(table);
    } else {
        table.createEmpty();
    }
    if (!indexFieldNames.empty()) {
        table.setIndexFieldNames(indexFieldNames);
    }
    table.setLogChanges(logChanges);
}

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

std::string QuotedList(std::string_view text) {
    const std::string s = trimmed(text);
    std::vector<std::string> items;
    std::string cur;
    auto flush = [&] {
        std::string item = trimmed(cur);
        if (!item.empty()) {
            items.push_back(std::move(item));
        }
        cur.clear();
    };
    char quote = 0;
    for (char c : s) {
        if (quote) {
            cur += c;
            quote = c == quote ? 0 : quote;
        } else if (c == '\'' || c == '"') {
            cur += c;
            quote = c;
        } else if (c == ',' || c == '\r' || c == '\n') {
            flush();
        } else {
            cur += c;
        }
    }
    flush();

    std::string out;
    for (const std::string& item : items) {
        out += out.empty() ? "'" : ",'";
        // Each item becomes a literal of its own: a quote inside it cannot end the literal early.
        for (char c : item) {
            out += c;
            if (c == '\'') {
                out += '\'';
            }
        }
        out += '\'';
    }
    return out;
}

DateTime SqlTimeStampAt(const DateTime& date, int hour, int minute, int second) {
    constexpr int kMax = 65535;
    if (hour < 0 || hour > kMax || minute < 0 || minute > kMax || second < 0 || second > kMax) {
        throw std::out_of_range("Hour, minute or second out of range");
    }
    const std::int64_t seconds = std::int64_t{hour} * 3600 + std::int64_t{minute} * 60 + second;
    return date.datePart().addTicks(seconds * DateTime::kTicksPerSecond);
}

} // namespace vek
