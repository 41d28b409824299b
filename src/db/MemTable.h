#pragma once

#include "db/Delta.h"
#include "db/FieldDef.h"
#include "db/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vek::db {

class MemTable;
class Provider;

/// Told about changes of a table, e.g. by a grid's item model. Rows are counted as
/// MemTable::recordCount counts them. Nothing is told while the table's updates are suspended;
/// resuming them tells one tableReset.
class MemTableListener {
public:
    virtual ~MemTableListener() = default;
    virtual void tableReset() = 0;            // rows, fields or their order changed
    virtual void rowChanged(int row) = 0;     // the values of one row changed in place
    virtual void currentChanged(int row) = 0; // the cursor moved; -1 when there is no record
    virtual void tableDestroyed() = 0;
};

/// A record as a filter sees it.
class RowRef {
public:
    const Value& value(std::string_view field) const;

private:
    friend class MemTable;
    RowRef(const MemTable& table, const std::vector<Value>& values) : m_table(table), m_values(values) {}
    const MemTable& m_table;
    const std::vector<Value>& m_values;
};

/// A table held in memory: created empty from field definitions, or filled by a provider from a
/// query, browsed with a cursor, changed record by record and, through the provider, written back.
///
/// Field names are matched without regard to letter case. Without an index the rows keep the order
/// in which they were read or added; with one they are kept in key order (equal keys in the order
/// they came). Moving the cursor while a record is being edited or inserted posts it first.
class MemTable {
public:
    enum class State { Inactive, Browse, Edit, Insert };
    using RowFilter = std::function<bool(const RowRef&)>;

    explicit MemTable(std::string name = {});
    ~MemTable();
    MemTable(const MemTable&) = delete;
    MemTable& operator=(const MemTable&) = delete;

    const std::string& name() const { return m_name; }

    /// The fields of a table created empty; for a provider-filled table, fields that live only in
    /// memory (added after the query's columns) or the captions and formats of query columns of the
    /// same name. Changed only while the table is closed.
    void setFieldDefs(std::vector<FieldDef> defs);
    void addFieldDef(FieldDef def);
    const std::vector<FieldDef>& fieldDefs() const { return m_defs; }

    /// Not owned.
    void setProvider(Provider* provider) { m_provider = provider; }
    Provider* provider() const { return m_provider; }

    /// Opens the table empty with its field definitions.
    void createEmpty();
    /// Fetches every row through the provider.
    void open();
    /// Discards rows, pending changes and the fields of an open table.
    void close();
    bool isActive() const { return m_state != State::Inactive; }
    State state() const { return m_state; }

    const std::vector<FieldDef>& fields() const { return m_fields; }
    int fieldIndex(std::string_view name) const; // -1 when absent
    const FieldDef& field(std::string_view name) const;

    // Cursor.
    void first();
    void next();
    void last();
    /// True past the last record and for a table without records.
    bool eof() const;
    bool isEmpty() const { return recordCount() == 0; }
    int recordCount() const;
    /// The current record's row, 0 for the first; -1 when there is none.
    int currentRow() const;
    void moveToRow(int row);
    /// Moves to the first record whose fields ("A;B") equal the values; false leaves the cursor.
    bool locate(std::string_view fieldNames, const std::vector<Value>& values);

    // The current record; its values read as null when there is none.
    const Value& value(std::string_view field) const;
    bool isNull(std::string_view field) const { return value(field).isNull(); }
    /// Whether the field was given a value since the record was read or its changes applied.
    bool isAssigned(std::string_view field) const;
    /// Only while editing or inserting. The value is converted to the field's type.
    void setValue(std::string_view field, const Value& v);
    void setNull(std::string_view field) { setValue(field, Value()); }
    /// The table held in a nested field of the current record.
    MemTable& nested(std::string_view field);
    RowStatus rowStatus() const;

    // Changes.
    void append();
    /// A new record placed before the current one when posted.
    void insert();
    void edit();
    void post();
    void cancel();
    /// Deletes the current record; the next one becomes current, or else the one before.
    void deleteRecord();

    // Rows by position, for grids.
    const Value& valueAt(int row, int field) const;
    std::string displayText(int row, int field) const;

    // Index.
    /// "A;B"; the empty text removes the index, leaving the rows in their present order.
    void setIndexFieldNames(std::string_view names);
    const std::string& indexFieldNames() const { return m_indexNames; }
    /// Moves to the first record whose leading index fields equal `key`.
    bool seekKey(const std::vector<Value>& key);
    /// Moves to the first record whose key is not below `key`; to the end when there is none.
    void seekNearest(const std::vector<Value>& key);

    // Change log. On by default; switching it off accepts the pending changes as they stand.
    void setLogChanges(bool on);
    bool logChanges() const { return m_log; }
    /// Records inserted, changed or deleted and not yet applied.
    int changeCount() const;
    /// A copy of the pending changes; they stay pending.
    Delta delta() const;
    /// Writes the pending changes through the provider and, when all succeed, accepts them.
    /// Raises the first error; the changes then stay pending. Returns the statements executed.
    int applyChanges();

    // Filter: while on, only the records the filter accepts are seen.
    void setFilter(RowFilter filter);
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }

    // Master link: while a master is set, only the records whose detail fields equal the master
    // fields of the master's current record are seen. Not owned.
    void setMasterSource(MemTable* master);
    MemTable* masterSource() const;
    void setMasterFields(std::string_view masterFieldNames, std::string_view detailFieldNames);

    void addListener(MemTableListener* listener);
    void removeListener(MemTableListener* listener);
    /// Calls pair up and may nest; listeners hear nothing until the last resumeUpdates.
    void suspendUpdates();
    void resumeUpdates();
    bool updatesSuspended() const { return m_suspended > 0; }

private:
    struct Record;
    struct MasterLink;
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    void checkActive() const;
    void checkBrowse();
    std::size_t fieldPos(std::string_view name) const; // throws when absent
    Record newRecord() const;
    const Record* currentRecord() const;
    const std::vector<Value>& currentValues() const;
    bool seesAll() const;
    bool visible(const std::vector<Value>& values) const;
    bool visible(std::size_t pos) const;
    std::size_t firstVisibleFrom(std::size_t pos) const;
    std::size_t lastVisibleBefore(std::size_t pos) const;
    std::size_t posOfRow(int row) const;
    int rowOfPos(std::size_t pos) const;
    void resolveIndex();
    /// Index, order and cursor of freshly created or fetched rows.
    void startBrowsing();
    void sortRows();
    int compareKeys(const std::vector<Value>& a, const std::vector<Value>& b, std::size_t count) const;
    std::size_t keyPosition(const std::vector<Value>& values, std::size_t skip) const;
    std::vector<Value> coercedKey(const std::vector<Value>& key) const;
    void acceptChanges();
    void masterMoved();
    void notifyReset();
    void notifyRow(std::size_t pos);
    void notifyCurrent();

    std::string m_name;
    std::vector<FieldDef> m_defs;
    std::vector<FieldDef> m_fields;
    Provider* m_provider = nullptr;
    State m_state = State::Inactive;
    std::vector<Record> m_rows;
    std::unique_ptr<Record> m_buffer; // the record being edited or inserted
    std::size_t m_insertPos = 0;
    std::size_t m_cur = kNone;
    bool m_eof = true;

    std::string m_indexNames;
    std::vector<std::size_t> m_indexFields;

    bool m_log = true;
    std::uint64_t m_changeSeq = 0;
    struct DeletedRecord {
        std::vector<Value> values;
        std::uint64_t seq = 0;
    };
    std::vector<DeletedRecord> m_deleted;

    RowFilter m_filter;
    bool m_filtered = false;
    std::unique_ptr<MasterLink> m_master;
    std::vector<std::string> m_masterFields;
    std::vector<std::string> m_detailFields;

    std::vector<MemTableListener*> m_listeners;
    int m_suspended = 0;
    bool m_pendingNotice = false;
};

/// Suspends a table's updates for a scope; they resume however the scope ends.
class UpdatesSuspended {
public:
    explicit UpdatesSuspended(MemTable& table) : m_table(table) { m_table.suspendUpdates(); }
    ~UpdatesSuspended() { m_table.resumeUpdates(); }
    UpdatesSuspended(const UpdatesSuspended&) = delete;
    UpdatesSuspended& operator=(const UpdatesSuspended&) = delete;

private:
    MemTable& m_table;
};

} // namespace vek::db
