#pragma once

#include "db/Delta.h"
#include "db/FieldDef.h"

#include <string>
#include <vector>

namespace vek::db {

class Query;

/// Fills in-memory tables from a query and writes their pending changes back to the table the
/// query reads.
///
/// Writing back: one insert per inserted record with the columns given a value; one update per
/// changed record setting the columns whose value changed; one delete per deleted record. Updates
/// and deletes identify the row by every column of the table as it was read (blobs excepted; a null
/// compared with IS NULL), so a row changed meanwhile by someone else is not found. All changes go
/// in one transaction (joined when the connection holds one open). A statement that does not affect
/// exactly one row, or that the server refuses, raises: nothing of the apply is committed then.
class Provider {
public:
    /// Not owned.
    explicit Provider(Query& query, std::string name = {});

    Query& query() const { return *m_query; }
    const std::string& name() const { return m_name; }

    /// The table changes are written to, as the catalogue stores its name. When not set: the table
    /// of the first column the query reads from a table.
    void setUpdateTable(std::string table) { m_updateTable = std::move(table); }
    const std::string& updateTable() const { return m_updateTable; }

    struct Data {
        std::vector<FieldDef> fields;
        std::vector<std::vector<Value>> rows;
    };
    /// Runs the query with its parameters as set, takes every row and closes it again.
    Data fetch();

    /// Returns the statements executed.
    int applyChanges(const Delta& delta);

private:
    std::string tableFor(const Delta& delta) const;

    Query* m_query;
    std::string m_name;
    std::string m_updateTable;
};

} // namespace vek::db
