#include "db/MemTable.h"

#include "db/DbError.h"
#include "db/Provider.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace vek::db {

namespace {
const Value& nullValue() {
    static const Value v;
    return v;
}

// A value to look for: like a stored one, except that a text longer than the field is not cut,
// so that it finds nothing instead of a record holding its first characters.
Value searchValue(const FieldDef& f, const Value& v) {
    if (f.type == FieldType::String && !v.isNull()) {
        return Value(v.asString());
    }
    return coerceToField(f, v);
}
} // namespace

struct MemTable::Record {
    std::vector<Value> values;
    std::vector<Value> original; // as read or as last applied: the values before a change
    std::vector<bool> assigned;  // given a value since then
    RowStatus status = RowStatus::Unchanged;
    std::uint64_t seq = 0;                         // change order
    std::vector<std::shared_ptr<MemTable>> nested; // per field; set for nested fields only
};

// Hears the master's moves on behalf of the detail table.
struct MemTable::MasterLink final : MemTableListener {
    MemTable& detail;
    MemTable* master = nullptr;
    explicit MasterLink(MemTable& d) : detail(d) {}
    void tableReset() override { detail.masterMoved(); }
    void rowChanged(int) override { detail.masterMoved(); }
    void currentChanged(int) override { detail.masterMoved(); }
    void tableDestroyed() override {
        master = nullptr;
        detail.masterMoved();
    }
};

const Value& RowRef::value(std::string_view field) const {
    const int i = m_table.fieldIndex(field);
    if (i < 0) {
        throw DbError("Field '" + std::string(field) + "' not found");
    }
    return m_values[static_cast<std::size_t>(i)];
}

MemTable::MemTable(std::string name) : m_name(std::move(name)) {}

MemTable::~MemTable() {
    setMasterSource(nullptr);
    const auto listeners = m_listeners;
    for (MemTableListener* l : listeners) {
        l->tableDestroyed();
    }
}

void MemTable::setFieldDefs(std::vector<FieldDef> defs) {
    if (isActive()) {
        throw DbError("Cannot change the fields of the open dataset '" + m_name + "'");
    }
    m_defs = std::move(defs);
}

void MemTable::addFieldDef(FieldDef def) {
    if (isActive()) {
        throw DbError("Cannot change the fields of the open dataset '" + m_name + "'");
    }
    m_defs.push_back(std::move(def));
}

void MemTable::checkActive() const {
    if (!isActive()) {
        throw DbError("Dataset '" + m_name + "' is not open");
    }
}

void MemTable::checkBrowse() {
    checkActive();
    if (m_state != State::Browse) {
        post();
    }
}

MemTable::Record MemTable::newRecord() const {
    Record r;
    r.values.resize(m_fields.size());
    r.assigned.assign(m_fields.size(), false);
    r.nested.resize(m_fields.size());
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].type == FieldType::Nested) {
            auto t = std::make_shared<MemTable>(m_fields[i].name);
            t->setFieldDefs(m_fields[i].nestedFields);
            t->createEmpty();
            r.nested[i] = std::move(t);
        }
    }
    return r;
}

void MemTable::createEmpty() {
    if (m_defs.empty()) {
        throw DbError("Dataset '" + m_name + "' has no field definitions");
    }
    close();
    m_fields = m_defs;
    startBrowsing();
}

void MemTable::startBrowsing() {
    m_state = State::Browse;
    try {
        resolveIndex();
    } catch (...) {
        close();
        throw;
    }
    sortRows();
    m_cur = firstVisibleFrom(0);
    m_eof = m_cur == kNone;
    notifyReset();
    notifyCurrent();
}

void MemTable::open() {
    if (!m_provider) {
        throw DbError("Dataset '" + m_name + "' has no provider");
    }
    close();
    Provider::Data data = m_provider->fetch();
    m_fields = std::move(data.fields);
    const std::size_t read = m_fields.size();
    for (const FieldDef& def : m_defs) {
        const int i = fieldIndex(def.name);
        if (i < 0) {
            m_fields.push_back(def);
            continue;
        }
        // A query column keeps its type; the definition only gives how it is shown.
        FieldDef& f = m_fields[static_cast<std::size_t>(i)];
        f.label = def.label;
        f.displayFormat = def.displayFormat;
        f.alignment = def.alignment;
        f.displayText = def.displayText;
    }
    m_rows.reserve(data.rows.size());
    for (auto& values : data.rows) {
        Record r = newRecord();
        for (std::size_t i = 0; i < read && i < values.size(); ++i) {
            r.values[i] = std::move(values[i]);
        }
        r.original = r.values;
        m_rows.push_back(std::move(r));
    }
    startBrowsing();
}

void MemTable::close() {
    const bool was = isActive();
    m_rows.clear();
    m_buffer.reset();
    m_deleted.clear();
    m_fields.clear();
    m_indexFields.clear();
    m_state = State::Inactive;
    m_cur = kNone;
    m_eof = true;
    m_changeSeq = 0;
    if (was) {
        notifyReset();
        notifyCurrent();
    }
}

int MemTable::fieldIndex(std::string_view name) const {
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (sameName(m_fields[i].name, name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::size_t MemTable::fieldPos(std::string_view name) const {
    const int i = fieldIndex(name);
    if (i < 0) {
        throw DbError("Field '" + std::string(name) + "' not found in dataset '" + m_name + "'");
    }
    return static_cast<std::size_t>(i);
}

const FieldDef& MemTable::field(std::string_view name) const {
    return m_fields[fieldPos(name)];
}

// ---------------------------------------------------------------------------------------- visibility

bool MemTable::visible(const std::vector<Value>& values) const {
    if (m_filtered && m_filter && !m_filter(RowRef(*this, values))) {
        return false;
    }
    const MemTable* master = masterSource();
    if (!master) {
        return true;
    }
    if (!master->isActive() || !master->currentRecord()) {
        return false;
    }
    for (std::size_t k = 0; k < m_detailFields.size(); ++k) {
        const int d = fieldIndex(m_detailFields[k]);
        if (d < 0 || compareValues(values[static_cast<std::size_t>(d)], master->value(m_masterFields[k])) != 0) {
            return false;
        }
    }
    return true;
}

bool MemTable::seesAll() const {
    return !masterSource() && !(m_filtered && m_filter);
}

bool MemTable::visible(std::size_t pos) const {
    return visible(m_rows[pos].values);
}

std::size_t MemTable::firstVisibleFrom(std::size_t pos) const {
    for (; pos < m_rows.size(); ++pos) {
        if (visible(pos)) {
            return pos;
        }
    }
    return kNone;
}

std::size_t MemTable::lastVisibleBefore(std::size_t pos) const {
    while (pos > 0) {
        --pos;
        if (visible(pos)) {
            return pos;
        }
    }
    return kNone;
}

int MemTable::recordCount() const {
    if (!isActive()) {
        return 0;
    }
    if (seesAll()) {
        return static_cast<int>(m_rows.size());
    }
    int n = 0;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        n += visible(i) ? 1 : 0;
    }
    return n;
}

std::size_t MemTable::posOfRow(int row) const {
    if (row < 0) {
        return kNone;
    }
    if (seesAll()) {
        return static_cast<std::size_t>(row) < m_rows.size() ? static_cast<std::size_t>(row) : kNone;
    }
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (visible(i) && row-- == 0) {
            return i;
        }
    }
    return kNone;
}

int MemTable::rowOfPos(std::size_t pos) const {
    if (pos >= m_rows.size()) {
        return -1;
    }
    if (seesAll()) {
        return static_cast<int>(pos);
    }
    if (!visible(pos)) {
        return -1;
    }
    int row = 0;
    for (std::size_t i = 0; i < pos; ++i) {
        row += visible(i) ? 1 : 0;
    }
    return row;
}

// -------------------------------------------------------------------------------------------- cursor

void MemTable::first() {
    checkBrowse();
    m_cur = firstVisibleFrom(0);
    m_eof = m_cur == kNone;
    notifyCurrent();
}

void MemTable::next() {
    checkBrowse();
    const std::size_t n = m_cur == kNone ? kNone : firstVisibleFrom(m_cur + 1);
    if (n == kNone) {
        m_eof = true;
        return;
    }
    m_cur = n;
    m_eof = false;
    notifyCurrent();
}

void MemTable::last() {
    checkBrowse();
    m_cur = lastVisibleBefore(m_rows.size());
    m_eof = m_cur == kNone;
    notifyCurrent();
}

bool MemTable::eof() const {
    return !isActive() || m_eof || m_cur == kNone;
}

int MemTable::currentRow() const {
    return isActive() && m_cur != kNone ? rowOfPos(m_cur) : -1;
}

void MemTable::moveToRow(int row) {
    checkBrowse();
    const std::size_t pos = posOfRow(row);
    if (pos == kNone) {
        throw DbError("Row " + std::to_string(row) + " out of range in dataset '" + m_name + "'");
    }
    m_cur = pos;
    m_eof = false;
    notifyCurrent();
}

bool MemTable::locate(std::string_view fieldNames, const std::vector<Value>& values) {
    checkBrowse();
    const std::vector<std::string> names = splitFieldNames(fieldNames);
    if (names.empty() || names.size() != values.size()) {
        throw DbError("Locate in dataset '" + m_name + "' needs one value per field");
    }
    std::vector<std::size_t> pos;
    std::vector<Value> wanted;
    for (std::size_t k = 0; k < names.size(); ++k) {
        pos.push_back(fieldPos(names[k]));
        wanted.push_back(searchValue(m_fields[pos.back()], values[k]));
    }
    for (std::size_t i = firstVisibleFrom(0); i != kNone; i = firstVisibleFrom(i + 1)) {
        bool match = true;
        for (std::size_t k = 0; k < pos.size() && match; ++k) {
            match = compareValues(m_rows[i].values[pos[k]], wanted[k]) == 0;
        }
        if (match) {
            m_cur = i;
            m_eof = false;
            notifyCurrent();
            return true;
        }
    }
    return false;
}

// ----------------------------------------------------------------------------------- current record

const MemTable::Record* MemTable::currentRecord() const {
    if (m_buffer) {
        return m_buffer.get();
    }
    return isActive() && m_cur != kNone ? &m_rows[m_cur] : nullptr;
}

const std::vector<Value>& MemTable::currentValues() const {
    static const std::vector<Value> none;
    const Record* r = currentRecord();
    return r ? r->values : none;
}

const Value& MemTable::value(std::string_view field) const {
    const std::size_t i = fieldPos(field);
    const Record* r = currentRecord();
    return r ? r->values[i] : nullValue();
}

bool MemTable::isAssigned(std::string_view field) const {
    const std::size_t i = fieldPos(field);
    const Record* r = currentRecord();
    return r && r->assigned[i];
}

void MemTable::setValue(std::string_view field, const Value& v) {
    checkActive();
    const std::size_t i = fieldPos(field);
    if (!m_buffer) {
        throw DbError("Dataset '" + m_name + "' is not in edit or insert mode");
    }
    m_buffer->values[i] = coerceToField(m_fields[i], v);
    m_buffer->assigned[i] = true;
}

MemTable& MemTable::nested(std::string_view field) {
    const std::size_t i = fieldPos(field);
    const Record* r = currentRecord();
    if (m_fields[i].type != FieldType::Nested) {
        throw DbError("Field '" + std::string(field) + "' does not hold a table");
    }
    if (!r) {
        throw DbError("Dataset '" + m_name + "' has no current record");
    }
    return *r->nested[i];
}

RowStatus MemTable::rowStatus() const {
    if (m_state == State::Insert) {
        return RowStatus::Inserted;
    }
    const Record* r = currentRecord();
    return r ? r->status : RowStatus::Unchanged;
}

// ------------------------------------------------------------------------------------------- changes

void MemTable::append() {
    checkBrowse();
    m_buffer = std::make_unique<Record>(newRecord());
    m_insertPos = m_rows.size();
    m_state = State::Insert;
}

void MemTable::insert() {
    checkBrowse();
    m_buffer = std::make_unique<Record>(newRecord());
    m_insertPos = m_cur == kNone ? m_rows.size() : m_cur;
    m_state = State::Insert;
}

void MemTable::edit() {
    checkBrowse();
    if (m_cur == kNone) {
        throw DbError("Dataset '" + m_name + "' has no current record");
    }
    m_buffer = std::make_unique<Record>(m_rows[m_cur]);
    m_buffer->assigned.assign(m_fields.size(), false);
    m_state = State::Edit;
}

void MemTable::cancel() {
    m_buffer.reset();
    if (isActive()) {
        m_state = State::Browse;
    }
}

void MemTable::post() {
    checkActive();
    if (m_state == State::Browse) {
        return;
    }
    Record buf = std::move(*m_buffer);
    m_buffer.reset();
    const bool inserting = m_state == State::Insert;
    m_state = State::Browse;

    if (inserting) {
        if (m_log) {
            buf.status = RowStatus::Inserted;
            buf.seq = ++m_changeSeq;
        } else {
            buf.assigned.assign(m_fields.size(), false);
        }
        buf.original = buf.values;
        const std::size_t pos =
            m_indexFields.empty() ? std::min(m_insertPos, m_rows.size()) : keyPosition(buf.values, kNone);
        m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(pos), std::move(buf));
        m_cur = pos;
        m_eof = false;
        notifyReset();
        notifyCurrent();
        return;
    }

    Record& r = m_rows[m_cur];
    const bool changed = std::find(buf.assigned.begin(), buf.assigned.end(), true) != buf.assigned.end();
    r.values = std::move(buf.values);
    if (m_log) {
        for (std::size_t i = 0; i < r.assigned.size(); ++i) {
            r.assigned[i] = r.assigned[i] || buf.assigned[i];
        }
        if (changed && r.status == RowStatus::Unchanged) {
            r.status = RowStatus::Changed;
            r.seq = ++m_changeSeq;
        }
    } else {
        r.original = r.values;
    }
    if (!m_indexFields.empty()) {
        const std::size_t pos = keyPosition(r.values, m_cur);
        const std::size_t target = pos > m_cur ? pos - 1 : pos;
        if (target != m_cur) {
            Record moved = std::move(r);
            m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(m_cur));
            m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(target), std::move(moved));
            m_cur = target;
            notifyReset();
            notifyCurrent();
            return;
        }
    }
    notifyRow(m_cur);
}

void MemTable::deleteRecord() {
    checkActive();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    cancel();
    if (m_cur == kNone) {
        throw DbError("Dataset '" + m_name + "' has no current record");
    }
    Record gone = std::move(m_rows[m_cur]);
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(m_cur));
    if (m_log && gone.status != RowStatus::Inserted) {
        m_deleted.push_back({std::move(gone.original), ++m_changeSeq});
    }
    const std::size_t n = firstVisibleFrom(m_cur);
    if (n != kNone) {
        m_cur = n;
        m_eof = false;
    } else {
        m_cur = lastVisibleBefore(m_cur);
        m_eof = true;
    }
    notifyReset();
    notifyCurrent();
}

const Value& MemTable::valueAt(int row, int field) const {
    const std::size_t pos = posOfRow(row);
    if (pos == kNone || field < 0 || static_cast<std::size_t>(field) >= m_fields.size()) {
        return nullValue();
    }
    return m_rows[pos].values[static_cast<std::size_t>(field)];
}

std::string MemTable::displayText(int row, int field) const {
    if (field < 0 || static_cast<std::size_t>(field) >= m_fields.size()) {
        return {};
    }
    return displayTextOf(m_fields[static_cast<std::size_t>(field)], valueAt(row, field));
}

// --------------------------------------------------------------------------------------------- index

void MemTable::setIndexFieldNames(std::string_view names) {
    const std::string old = std::exchange(m_indexNames, std::string(names));
    if (!isActive()) {
        return;
    }
    checkBrowse();
    try {
        resolveIndex();
    } catch (...) {
        m_indexNames = old;
        resolveIndex();
        throw;
    }
    sortRows();
    notifyReset();
    notifyCurrent();
}

void MemTable::resolveIndex() {
    std::vector<std::size_t> fields;
    for (const std::string& n : splitFieldNames(m_indexNames)) {
        const std::size_t i = fieldPos(n);
        if (m_fields[i].type == FieldType::Nested) {
            throw DbError("Field '" + n + "' cannot be indexed");
        }
        fields.push_back(i);
    }
    m_indexFields = std::move(fields);
}

int MemTable::compareKeys(const std::vector<Value>& a, const std::vector<Value>& b, std::size_t count) const {
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t f = m_indexFields[k];
        if (const int c = compareValues(a[f], b[f])) {
            return c;
        }
    }
    return 0;
}

void MemTable::sortRows() {
    if (m_indexFields.empty()) {
        return;
    }
    std::vector<std::size_t> order(m_rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return compareKeys(m_rows[a].values, m_rows[b].values, m_indexFields.size()) < 0;
    });
    std::vector<Record> sorted;
    sorted.reserve(m_rows.size());
    std::size_t cur = kNone;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (order[i] == m_cur) {
            cur = i;
        }
        sorted.push_back(std::move(m_rows[order[i]]));
    }
    m_rows = std::move(sorted);
    m_cur = cur;
}

// Where a record with these values goes: after the records with an equal key. `skip` is the
// record's own place when it is already in the table.
std::size_t MemTable::keyPosition(const std::vector<Value>& values, std::size_t skip) const {
    std::size_t pos = 0;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (i != skip && compareKeys(m_rows[i].values, values, m_indexFields.size()) <= 0) {
            pos = i + 1;
        }
    }
    return pos;
}

std::vector<Value> MemTable::coercedKey(const std::vector<Value>& key) const {
    if (m_indexFields.empty()) {
        throw DbError("Dataset '" + m_name + "' has no index");
    }
    if (key.empty() || key.size() > m_indexFields.size()) {
        throw DbError("Key does not match the index of dataset '" + m_name + "'");
    }
    std::vector<Value> values(m_fields.size());
    for (std::size_t k = 0; k < key.size(); ++k) {
        values[m_indexFields[k]] = searchValue(m_fields[m_indexFields[k]], key[k]);
    }
    return values;
}

bool MemTable::seekKey(const std::vector<Value>& key) {
    checkBrowse();
    const std::vector<Value> values = coercedKey(key);
    const auto lower = std::partition_point(
        m_rows.begin(), m_rows.end(), [&](const Record& r) { return compareKeys(r.values, values, key.size()) < 0; });
    for (auto it = lower; it != m_rows.end() && compareKeys(it->values, values, key.size()) == 0; ++it) {
        const auto pos = static_cast<std::size_t>(it - m_rows.begin());
        if (visible(pos)) {
            m_cur = pos;
            m_eof = false;
            notifyCurrent();
            return true;
        }
    }
    return false;
}

void MemTable::seekNearest(const std::vector<Value>& key) {
    checkBrowse();
    const std::vector<Value> values = coercedKey(key);
    const auto lower = std::partition_point(
        m_rows.begin(), m_rows.end(), [&](const Record& r) { return compareKeys(r.values, values, key.size()) < 0; });
    const std::size_t pos = firstVisibleFrom(static_cast<std::size_t>(lower - m_rows.begin()));
    if (pos != kNone) {
        m_cur = pos;
        m_eof = false;
    } else {
        m_cur = lastVisibleBefore(m_rows.size());
        m_eof = true;
    }
    notifyCurrent();
}

// ---------------------------------------------------------------------------------------- change log

void MemTable::setLogChanges(bool on) {
    if (!on && m_log) {
        acceptChanges();
    }
    m_log = on;
}

void MemTable::acceptChanges() {
    for (Record& r : m_rows) {
        r.original = r.values;
        r.assigned.assign(r.assigned.size(), false);
        r.status = RowStatus::Unchanged;
        r.seq = 0;
    }
    m_deleted.clear();
}

int MemTable::changeCount() const {
    int n = static_cast<int>(m_deleted.size());
    for (const Record& r : m_rows) {
        n += r.status != RowStatus::Unchanged ? 1 : 0;
    }
    return n;
}

Delta MemTable::delta() const {
    struct Entry {
        std::uint64_t seq;
        const Record* record;
        const DeletedRecord* deleted;
    };
    std::vector<Entry> entries;
    for (const Record& r : m_rows) {
        if (r.status != RowStatus::Unchanged) {
            entries.push_back({r.seq, &r, nullptr});
        }
    }
    for (const DeletedRecord& d : m_deleted) {
        entries.push_back({d.seq, nullptr, &d});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.seq < b.seq; });

    Delta out;
    out.fields = m_fields;
    const std::vector<bool> all(m_fields.size(), true);
    for (const Entry& e : entries) {
        if (e.deleted) {
            out.rows.push_back({RowStatus::Deleted, e.deleted->values, all});
        } else if (e.record->status == RowStatus::Inserted) {
            out.rows.push_back({RowStatus::Inserted, e.record->values, e.record->assigned});
        } else {
            out.rows.push_back({RowStatus::Unchanged, e.record->original, all});
            DeltaRow change{RowStatus::Changed, e.record->values, e.record->assigned};
            for (std::size_t i = 0; i < change.values.size(); ++i) {
                if (!change.assigned[i]) {
                    change.values[i] = Value();
                }
            }
            out.rows.push_back(std::move(change));
        }
    }
    return out;
}

int MemTable::applyChanges() {
    checkBrowse();
    if (!m_provider) {
        throw DbError("Dataset '" + m_name + "' has no provider");
    }
    if (changeCount() == 0) {
        return 0;
    }
    const int n = m_provider->applyChanges(delta());
    acceptChanges();
    return n;
}

// ------------------------------------------------------------------------------------ filter, master

void MemTable::setFilter(RowFilter filter) {
    m_filter = std::move(filter);
    masterMoved();
}

void MemTable::setFiltered(bool on) {
    if (on == m_filtered) {
        return;
    }
    if (isActive()) {
        checkBrowse();
    }
    m_filtered = on;
    masterMoved();
}

void MemTable::setMasterSource(MemTable* master) {
    if (master == this) {
        throw DbError("Dataset '" + m_name + "' cannot be its own master");
    }
    if (m_master && m_master->master) {
        m_master->master->removeListener(m_master.get());
    }
    if (!master) {
        const bool had = static_cast<bool>(m_master);
        m_master.reset();
        if (had) {
            masterMoved();
        }
        return;
    }
    if (!m_master) {
        m_master = std::make_unique<MasterLink>(*this);
    }
    m_master->master = master;
    master->addListener(m_master.get());
    masterMoved();
}

MemTable* MemTable::masterSource() const {
    return m_master ? m_master->master : nullptr;
}

void MemTable::setMasterFields(std::string_view masterFieldNames, std::string_view detailFieldNames) {
    std::vector<std::string> m = splitFieldNames(masterFieldNames);
    std::vector<std::string> d = splitFieldNames(detailFieldNames);
    if (m.size() != d.size()) {
        throw DbError("Master and detail fields of dataset '" + m_name + "' do not pair up");
    }
    m_masterFields = std::move(m);
    m_detailFields = std::move(d);
    masterMoved();
}

// What the table shows changed: back to its first record, unless one is being edited.
void MemTable::masterMoved() {
    if (!isActive()) {
        return;
    }
    if (m_state == State::Browse) {
        m_cur = firstVisibleFrom(0);
        m_eof = m_cur == kNone;
    }
    notifyReset();
    notifyCurrent();
}

// ------------------------------------------------------------------------------------------ listeners

void MemTable::addListener(MemTableListener* listener) {
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end()) {
        m_listeners.push_back(listener);
    }
}

void MemTable::removeListener(MemTableListener* listener) {
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener), m_listeners.end());
}

void MemTable::suspendUpdates() {
    ++m_suspended;
}

void MemTable::resumeUpdates() {
    if (m_suspended > 0 && --m_suspended == 0 && m_pendingNotice) {
        m_pendingNotice = false;
        notifyReset();
        notifyCurrent();
    }
}

void MemTable::notifyReset() {
    if (m_suspended > 0) {
        m_pendingNotice = true;
        return;
    }
    const auto listeners = m_listeners;
    for (MemTableListener* l : listeners) {
        l->tableReset();
    }
}

void MemTable::notifyRow(std::size_t pos) {
    if (m_suspended > 0) {
        m_pendingNotice = true;
        return;
    }
    const int row = rowOfPos(pos);
    if (row < 0) {
        notifyReset();
        return;
    }
    const auto listeners = m_listeners;
    for (MemTableListener* l : listeners) {
        l->rowChanged(row);
    }
}

void MemTable::notifyCurrent() {
    if (m_suspended > 0) {
        m_pendingNotice = true;
        return;
    }
    const int row = currentRow();
    const auto listeners = m_listeners;
    for (MemTableListener* l : listeners) {
        l->currentChanged(row);
    }
}

} // namespace vek::db
