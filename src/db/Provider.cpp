#include "db/Provider.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Query.h"

#include <ibase.h>

namespace vek::db {

namespace {

FieldDef fieldOf(const ColumnInfo& c) {
    FieldDef f;
    switch (c.sqlType) {
    case SQL_TEXT:
    case SQL_VARYING:
        f = FieldDef::text(c.name, static_cast<int>(c.length));
        break;
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        f = c.scale > 0              ? FieldDef::decimal(c.name, c.scale)
            : c.sqlType == SQL_INT64 ? FieldDef::largeInt(c.name)
                                     : FieldDef::integer(c.name);
        break;
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        f = FieldDef::real(c.name);
        break;
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
        f = FieldDef::dateTime(c.name);
        break;
    case SQL_BLOB:
        f = FieldDef::blob(c.name);
        break;
    default:
        throw DbError("Column '" + c.name + "' has a type the station does not hold in memory");
    }
    f.relation = c.relation;
    f.column = c.field;
    return f;
}

// Built by appending: GCC 12 warns wrongly about `"V" + std::to_string(i)`.
std::string paramName(char prefix, std::size_t field) {
    std::string name(1, prefix);
    name += std::to_string(field);
    return name;
}

std::string quoted(const std::string& identifier) {
    std::string q = "\"";
    for (char ch : identifier) {
        q += ch;
        if (ch == '"') {
            q += '"';
        }
    }
    return q + "\"";
}

// "COL = :W3 and COL2 is null …" over the columns as read, and its parameter values.
std::string whereAllColumns(const Delta& delta, const std::vector<std::size_t>& columns, const DeltaRow& before,
                            std::vector<std::pair<std::string, Value>>& params) {
    std::string where;
    for (std::size_t i : columns) {
        if (delta.fields[i].type == FieldType::Blob) {
            continue; // the server does not compare blobs
        }
        where += where.empty() ? "" : " and ";
        const std::string col = quoted(delta.fields[i].column);
        if (before.values[i].isNull()) {
            where += col + " is null";
        } else {
            const std::string p = paramName('W', i);
            where += col + " = :" + p;
            params.emplace_back(p, before.values[i]);
        }
    }
    if (where.empty()) {
        throw DbError("No column identifies the changed record");
    }
    return where;
}

void execOne(Connection& c, const std::string& sql, const std::vector<std::pair<std::string, Value>>& params,
             const std::string& table, bool insert) {
    Query q(c);
    q.setSql(sql);
    for (const auto& [name, value] : params) {
        q.param(name).set(value);
    }
    if (insert) {
        q.execute(); // one row of values, or an error: no count to ask for
        return;
    }
    const std::uint64_t n = q.execSql();
    if (n == 0) {
        throw DbError("Record not found or changed by another user (" + table + ")");
    }
    if (n > 1) {
        throw DbError("More than one record matched the changed record (" + table + ")");
    }
}

} // namespace

Provider::Provider(Query& query, std::string name) : m_query(&query), m_name(std::move(name)) {}

Provider::Data Provider::fetch() {
    m_query->close();
    m_query->open();
    Data d;
    for (const ColumnInfo& c : m_query->columns()) {
        d.fields.push_back(fieldOf(c));
    }
    d.rows = m_query->rows();
    m_query->close();
    return d;
}

std::string Provider::tableFor(const Delta& delta) const {
    if (!m_updateTable.empty()) {
        return m_updateTable;
    }
    for (const FieldDef& f : delta.fields) {
        if (!f.relation.empty() && !f.column.empty()) {
            return f.relation;
        }
    }
    throw DbError("Provider '" + m_name + "' has no table to write the changes to");
}

int Provider::applyChanges(const Delta& delta) {
    if (delta.empty()) {
        return 0;
    }
    const std::string table = tableFor(delta);
    std::vector<std::size_t> columns; // the fields that are columns of the table
    for (std::size_t i = 0; i < delta.fields.size(); ++i) {
        const FieldDef& f = delta.fields[i];
        if (!f.column.empty() && sameName(f.relation, table) && f.type != FieldType::Nested) {
            columns.push_back(i);
        }
    }
    if (columns.empty()) {
        throw DbError("No field is a column of table " + table);
    }
    const std::string target = quoted(table);

    Connection& c = m_query->connection();
    const bool own = !c.inTransaction();
    if (own) {
        c.startTransaction();
    }
    int done = 0;
    try {
        for (std::size_t r = 0; r < delta.rows.size(); ++r) {
            const DeltaRow& row = delta.rows[r];
            std::vector<std::pair<std::string, Value>> params;
            std::string sql;
            switch (row.status) {
            case RowStatus::Inserted: {
                std::string names, values;
                for (std::size_t i : columns) {
                    if (!row.assigned[i]) {
                        continue;
                    }
                    const std::string p = paramName('V', i);
                    names += (names.empty() ? "" : ", ") + quoted(delta.fields[i].column);
                    values += (values.empty() ? ":" : ", :") + p;
                    params.emplace_back(p, row.values[i]);
                }
                sql = names.empty() ? "insert into " + target + " default values"
                                    : "insert into " + target + " (" + names + ") values (" + values + ")";
                break;
            }
            case RowStatus::Deleted:
                sql = "delete from " + target + " where " + whereAllColumns(delta, columns, row, params);
                break;
            case RowStatus::Unchanged: {
                if (r + 1 >= delta.rows.size() || delta.rows[r + 1].status != RowStatus::Changed) {
                    throw DbError("Changed record without its new values");
                }
                const DeltaRow& change = delta.rows[++r];
                std::string set;
                for (std::size_t i : columns) {
                    if (change.assigned[i] && compareValues(change.values[i], row.values[i]) != 0) {
                        const std::string p = paramName('S', i);
                        set += (set.empty() ? "" : ", ") + quoted(delta.fields[i].column) + " = :" + p;
                        params.emplace_back(p, change.values[i]);
                    }
                }
                if (set.empty()) {
                    continue; // nothing of the table changed
                }
                sql = "update " + target + " set " + set + " where " + whereAllColumns(delta, columns, row, params);
                break;
            }
            case RowStatus::Changed:
                throw DbError("Changed record without its values as read");
            }
            execOne(c, sql, params, table, row.status == RowStatus::Inserted);
            ++done;
        }
        if (own) {
            c.commit();
        }
    } catch (...) {
        if (own) {
            try {
                c.rollback();
            } catch (const DbError&) {
                // The first error is the one to report; the server ends the transaction anyway.
            }
        }
        throw;
    }
    return done;
}

} // namespace vek::db
