#pragma once

#include "db/SqlText.h"
#include "db/Value.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Firebird {
class IAttachment;
class ITransaction;
} // namespace Firebird

namespace vek::db {

class Connection;
class DbError;
namespace fb {
template <class T>
class Ref;
}

/// A named parameter of a statement. Its value stays set between executions.
class Param {
public:
    explicit Param(std::string name) : m_name(std::move(name)) {}
    const std::string& name() const { return m_name; }
    const Value& value() const { return m_value; }
    bool bindAsDate() const { return m_asDate; }

    void set(Value v) {
        m_value = std::move(v);
        m_asDate = false;
    }
    void setString(std::string s) { set(Value(std::move(s))); }
    void setInt(std::int32_t i) { set(Value(i)); }
    void setInt64(std::int64_t i) { set(Value(i)); }
    void setDouble(double d) { set(Value(d)); }
    void setDecimal(Decimal d) { set(Value(d)); }
    void setDateTime(DateTime t) { set(Value(t)); }
    /// Binds only the calendar day (SQL DATE).
    void setDate(DateTime t) {
        m_value = Value(t.datePart());
        m_asDate = true;
    }
    void setBlob(std::string bytes) { set(Value(Blob{std::move(bytes)})); }
    void setNull() { set(Value()); }
    void clear() { setNull(); }
    bool isNull() const { return m_value.isNull(); }

private:
    std::string m_name;
    Value m_value;
    bool m_asDate = false;
};

/// Description of a result column as the server reports it.
struct ColumnInfo {
    std::string name;     // the alias: the name the select list gives the column
    std::string field;    // the underlying column, empty for expressions
    std::string relation; // the table, empty for expressions
    unsigned sqlType = 0; // SQL_TEXT, SQL_VARYING, … without the nullable bit
    int subType = 0;
    unsigned length = 0; // bytes
    int scale = 0;       // digits after the decimal point, for exact numerics
    bool nullable = true;
};

/// A statement on a connection with named parameters. A select fetches its whole result when
/// opened; outside an explicit transaction it runs in a transaction of its own that is committed
/// as soon as it completes, so no read transaction stays open between scans.
class Query {
public:
    explicit Query(Connection& connection, std::string name = {});
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    const std::string& name() const { return m_name; }
    /// Raises when the connection was destroyed first.
    Connection& connection() const;

    /// Replaces the text; the statement is prepared again on next use. Parameter values are kept
    /// for names the new text still has.
    void setSql(std::string sql);
    const std::string& sql() const { return m_sql; }

    /// Prepares the statement on the server (done on first use otherwise).
    void prepare();
    bool isPrepared() const;

    Param& param(std::string_view name);
    bool hasParam(std::string_view name) const;
    const std::vector<Param>& params() const { return m_params; }

    /// Executes a select (or a statement with outputs) and keeps its rows; positioned on the first.
    void open();
    /// For a statement that yields at most one row (a look-up by key, a row lock): only the first
    /// row is fetched, so a lock's select costs one exchange with the server rather than two.
    void setSingleRow(bool single) { m_singleRow = single; }
    void close();
    bool isActive() const { return m_active; }
    bool eof() const { return !m_active || m_row >= m_rows.size(); }
    bool isEmpty() const { return m_rows.empty(); }
    void next();
    void first() { m_row = 0; }
    std::size_t recordCount() const { return m_active ? m_rows.size() : 0; }

    /// The current row's column, looked up without regard to letter case.
    const Value& field(std::string_view name) const;
    bool hasField(std::string_view name) const;
    int fieldIndex(std::string_view name) const; // -1 when absent
    const Value& fieldAt(std::size_t column) const;
    const std::vector<ColumnInfo>& columns();
    const std::vector<std::vector<Value>>& rows() const { return m_rows; }

    /// Executes a statement without a result; returns the rows it inserted, updated or deleted.
    std::uint64_t execSql();
    /// The same without asking how many rows it touched, which takes an exchange of its own: for a
    /// statement whose count says nothing (an insert of values) or that tells it by its outputs.
    void execute();
    std::uint64_t rowsAffected() const { return m_rowsAffected; }

    // For Connection.
    void releaseStatement();
    /// The statement goes to the connection's pool (still prepared) instead of being freed.
    void retireStatement();
    void connectionClosing();
    void connectionGone();

    struct Impl;

private:
    /// Closes, then runs; a failure is reported to the connection before it goes on.
    void runAfresh(bool countRows);
    /// `countRows` asks the server how many rows the statement touched: an exchange of its own.
    void run(bool countRows);
    /// The transaction one run goes in: the unit of work's, the kept read one, or one of its own.
    struct RunTransaction;
    RunTransaction chooseTransaction();
    /// Executes the prepared statement with its input message encoded; keeps the rows it yields.
    void executeStatement(Firebird::IAttachment* att, const RunTransaction& t, bool countRows);
    void prepareStatement();
    /// Lets the connection drop a lost attachment before the error goes on to the caller.
    void reportFailure(const DbError& e);
    void describe();

    Connection* m_conn;
    std::string m_name;
    std::string m_sql;
    ParsedSql m_parsed;
    std::vector<Param> m_params;
    std::unique_ptr<Impl> m_impl;
    std::vector<std::vector<Value>> m_rows;
    std::size_t m_row = 0;
    bool m_active = false;
    bool m_singleRow = false;
    std::uint64_t m_rowsAffected = 0;
    bool m_failed = false; // a statement that failed is not kept for others
};

} // namespace vek::db
