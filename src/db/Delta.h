#pragma once

#include "db/FieldDef.h"
#include "db/SqlText.h"

#include <string_view>
#include <vector>

namespace vek::db {

enum class RowStatus { Unchanged, Changed, Inserted, Deleted };

/// One row of the pending changes.
struct DeltaRow {
    RowStatus status = RowStatus::Unchanged;
    std::vector<Value> values;
    /// Per field: whether the row carries a value for it. A Changed row carries only the fields
    /// assigned during the change (a field set to null counts as assigned), an Inserted row the
    /// fields given a value; the other rows carry every field.
    std::vector<bool> assigned;
};

/// The pending changes of an in-memory table, in change order: one Inserted row per appended
/// record; one Deleted row per deleted record, with its values as read; for each changed record
/// two consecutive rows, its values as read (Unchanged) and then the change (Changed).
struct Delta {
    std::vector<FieldDef> fields;
    std::vector<DeltaRow> rows;

    bool empty() const { return rows.empty(); }
    /// -1 when absent; names compared without regard to letter case.
    int fieldIndex(std::string_view name) const {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (sameName(fields[i].name, name)) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
};

} // namespace vek::db
