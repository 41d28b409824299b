#include "db/DataSetHelpers.h"

#include "db/MemTable.h"
#include "util/Text.h"

#include <vector>

namespace vek {

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

} // namespace vek
