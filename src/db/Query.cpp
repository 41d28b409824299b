#include "db/Query.h"

#include "db/StatementPool.h"

#include "db/Connection.h"
#include "db/FbApi.h"
#include "db/ServerCall.h"

#include <ibase.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace vek::db {

using namespace Firebird;

namespace {

// How one positional marker is sent to the server. Rebuilding the input format costs a round of
// metadata calls, so it is only done when the shape of the bound values changes.
struct InShape {
    unsigned type = SQL_NULL;
    unsigned length = 0;
    int scale = 0;
    unsigned charSet = 0;
    int subType = 0;
    bool operator==(const InShape&) const = default;
};

struct OutField {
    unsigned type = 0;
    int scale = 0;
    int subType = 0;
    unsigned length = 0;
    unsigned offset = 0;
    unsigned nullOffset = 0;
};

struct InField {
    unsigned offset = 0;
    unsigned nullOffset = 0;
};

constexpr unsigned kMaxVarchar = 32765;

unsigned roundCapacity(std::size_t n) {
    unsigned cap = 32;
    while (cap < n && cap < kMaxVarchar) {
        cap *= 2;
    }
    return std::min(cap, kMaxVarchar);
}

template <class T>
void put(std::vector<unsigned char>& buf, unsigned offset, T v) {
    std::memcpy(buf.data() + offset, &v, sizeof v);
}

template <class T>
T get(const std::vector<unsigned char>& buf, unsigned offset) {
    T v;
    std::memcpy(&v, buf.data() + offset, sizeof v);
    return v;
}

const Value& nullValue() {
    static const Value v;
    return v;
}

} // namespace

struct Query::Impl {
    fb::Ref<IStatement> stmt;
    unsigned stmtType = 0;
    // The monitoring tables are a snapshot per transaction: reads of them never share the kept one.
    bool readsMonitoring = false;
    fb::Ref<IMessageMetadata> described; // input format as the server describes it
    std::vector<InShape> describedShape;
    fb::Ref<IMessageMetadata> inMeta; // input format as bound
    std::vector<InShape> inShape;
    std::vector<InField> inFields;
    std::vector<unsigned char> inBuf;
    fb::Ref<IMessageMetadata> outMeta;
    std::vector<OutField> outFields;
    std::vector<unsigned char> outBuf;
    std::vector<ColumnInfo> columns;
    std::vector<InShape> scratch; // the shape of the values bound now, kept to avoid allocating per run

    bool isCursor() const {
        return stmtType == isc_info_sql_stmt_select || stmtType == isc_info_sql_stmt_select_for_upd;
    }
};

Query::Query(Connection& connection, std::string name)
    : m_conn(&connection), m_name(std::move(name)), m_impl(std::make_unique<Impl>()) {
    m_conn->attach(this);
}

Query::~Query() {
    retireStatement();
    if (m_conn) {
        m_conn->detach(this);
    }
}

void Query::setSql(std::string sql) {
    close();
    retireStatement();
    m_sql = std::move(sql);
    m_parsed = parseNamedParameters(m_sql);
    std::vector<Param> params;
    params.reserve(m_parsed.names.size());
    for (const std::string& n : m_parsed.names) {
        auto old =
            std::find_if(m_params.begin(), m_params.end(), [&](const Param& p) { return sameName(p.name(), n); });
        params.push_back(old != m_params.end() ? *old : Param(n));
    }
    m_params = std::move(params);
}

bool Query::isPrepared() const {
    return static_cast<bool>(m_impl->stmt);
}

void Query::releaseStatement() {
    Impl& d = *m_impl;
    d.outMeta.reset();
    d.inMeta.reset();
    d.described.reset();
    d.stmt.reset();
    d.inShape.clear();
    d.columns.clear();
}

void Query::retireStatement() {
    if (m_conn && !m_failed && isPrepared() && m_conn->isOpen()) {
        m_conn->statementPool().put(m_parsed.text, std::move(m_impl));
        m_impl = std::make_unique<Impl>();
    } else {
        releaseStatement();
    }
    m_failed = false;
}

StatementPool::StatementPool() = default;
StatementPool::~StatementPool() = default;

void StatementPool::put(const std::string& text, std::unique_ptr<Query::Impl> statement) {
    m_items.emplace_front(text, std::move(statement));
    if (m_items.size() > kMaxStatements) {
        m_items.pop_back();
    }
}

std::unique_ptr<Query::Impl> StatementPool::take(const std::string& text) {
    for (auto it = m_items.begin(); it != m_items.end(); ++it) {
        if (it->first == text) {
            std::unique_ptr<Query::Impl> statement = std::move(it->second);
            m_items.erase(it);
            return statement;
        }
    }
    return nullptr;
}

void StatementPool::clear() {
    m_items.clear();
}

void Query::connectionGone() {
    close();
    releaseStatement();
    m_conn = nullptr;
}

void Query::connectionClosing() {
    // Rows of a closed connection cannot be read by column any more: the query is closed with it.
    close();
    releaseStatement();
}

Connection& Query::connection() const {
    if (!m_conn) {
        throw DbError("Query '" + m_name + "' has no connection");
    }
    return *m_conn;
}

void Query::reportFailure(const DbError& e) {
    m_failed = true;
    if (m_conn) {
        m_conn->statementFailed(e);
    }
}

void Query::prepare() {
    try {
        prepareStatement();
    } catch (const DbError& e) {
        reportFailure(e);
        throw;
    }
}

void Query::prepareStatement() {
    if (!m_conn) {
        throw DbError("Query '" + m_name + "' has no connection");
    }
    if (isPrepared()) {
        return;
    }
    if (m_sql.empty()) {
        throw DbError("Query '" + m_name + "' has no SQL statement");
    }
    IAttachment* att = m_conn->attachment();
    if (std::unique_ptr<Impl> kept = m_conn->statementPool().take(m_parsed.text)) {
        m_impl = std::move(kept);
        return;
    }
    Impl& d = *m_impl;
    ITransaction* tra = m_conn->currentTransaction();
    if (!tra) {
        tra = m_conn->readTransaction();
    }
    const std::string& text = m_parsed.text;
    d.stmt.reset(fb::callServer(*m_conn, [&](auto* st) {
        return att->prepare(st, tra, static_cast<unsigned>(text.size()), text.c_str(), SQL_DIALECT_V6,
                            IStatement::PREPARE_PREFETCH_METADATA);
    }));
    try {
        describe();
    } catch (...) {
        // A half-described statement must not pass for a prepared one.
        releaseStatement();
        throw;
    }
}

void Query::describe() {
    Impl& d = *m_impl;
    std::string upper = m_parsed.text;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    d.readsMonitoring = upper.find("MON$") != std::string::npos;
    fb::call([&](auto* st) {
        d.stmtType = d.stmt->getType(st);
        d.described.reset(d.stmt->getInputMetadata(st));
        d.outMeta.reset(d.stmt->getOutputMetadata(st));

        const unsigned inCount = d.described->getCount(st);
        d.describedShape.assign(inCount, {});
        for (unsigned i = 0; i < inCount; ++i) {
            InShape& s = d.describedShape[i];
            s.type = d.described->getType(st, i) & ~1u;
            s.length = d.described->getLength(st, i);
            s.scale = d.described->getScale(st, i);
            s.charSet = d.described->getCharSet(st, i);
            s.subType = d.described->getSubType(st, i);
        }

        const unsigned outCount = d.outMeta->getCount(st);
        d.outFields.assign(outCount, {});
        d.columns.assign(outCount, {});
        for (unsigned i = 0; i < outCount; ++i) {
            OutField& f = d.outFields[i];
            f.type = d.outMeta->getType(st, i) & ~1u;
            f.scale = d.outMeta->getScale(st, i);
            f.subType = d.outMeta->getSubType(st, i);
            f.length = d.outMeta->getLength(st, i);
            f.offset = d.outMeta->getOffset(st, i);
            f.nullOffset = d.outMeta->getNullOffset(st, i);
            ColumnInfo& c = d.columns[i];
            c.name = d.outMeta->getAlias(st, i);
            c.field = d.outMeta->getField(st, i);
            c.relation = d.outMeta->getRelation(st, i);
            c.sqlType = f.type;
            c.subType = f.subType;
            c.length = f.length;
            c.scale = -f.scale;
            c.nullable = d.outMeta->isNullable(st, i);
        }
        d.outBuf.assign(d.outMeta->getMessageLength(st), 0);
    });
    if (d.describedShape.size() != m_parsed.markers.size()) {
        throw DbError("Parameter count mismatch in query '" + m_name + "'");
    }
}

Param& Query::param(std::string_view name) {
    for (Param& p : m_params) {
        if (sameName(p.name(), name)) {
            return p;
        }
    }
    throw DbError("Parameter '" + std::string(name) + "' not found");
}

bool Query::hasParam(std::string_view name) const {
    return std::any_of(m_params.begin(), m_params.end(), [&](const Param& p) { return sameName(p.name(), name); });
}

const std::vector<ColumnInfo>& Query::columns() {
    prepare();
    return m_impl->columns;
}

int Query::fieldIndex(std::string_view name) const {
    const auto& cols = m_impl->columns;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        if (sameName(cols[i].name, name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool Query::hasField(std::string_view name) const {
    return fieldIndex(name) >= 0;
}

const Value& Query::field(std::string_view name) const {
    const int i = fieldIndex(name);
    if (i < 0) {
        throw DbError("Field '" + std::string(name) + "' not found");
    }
    return fieldAt(static_cast<std::size_t>(i));
}

const Value& Query::fieldAt(std::size_t column) const {
    if (eof() || column >= m_rows[m_row].size()) {
        return nullValue();
    }
    return m_rows[m_row][column];
}

void Query::next() {
    if (m_row < m_rows.size()) {
        ++m_row;
    }
}

void Query::open() {
    runAfresh(false);
    m_active = true;
    m_row = 0;
}

void Query::close() {
    m_active = false;
    m_rows.clear();
    m_row = 0;
}

std::uint64_t Query::execSql() {
    runAfresh(true);
    m_rows.clear();
    return m_rowsAffected;
}

void Query::execute() {
    runAfresh(false);
    m_active = !m_rows.empty(); // outputs, as RETURNING gives them
    m_row = 0;
}

void Query::runAfresh(bool countRows) {
    close();
    try {
        run(countRows);
    } catch (const DbError& e) {
        reportFailure(e);
        throw;
    }
}

namespace {

InShape shapeFor(const Param& p, const InShape& described) {
    InShape s;
    const Value& v = p.value();
    std::visit(
        [&](const auto& x) {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, Null>) {
                s = described;
                if (s.type == SQL_NULL) {
                    // An untyped marker (such as "? is null"): send a one-byte text.
                    s = InShape{SQL_VARYING, 1, 0, 0, 0};
                }
            } else if constexpr (std::is_same_v<T, std::string>) {
                unsigned len = roundCapacity(x.size());
                if ((described.type == SQL_VARYING || described.type == SQL_TEXT) && described.length > len) {
                    len = std::min(described.length, kMaxVarchar);
                }
                if (described.type == SQL_BLOB) {
                    s = InShape{SQL_BLOB, 8, 0, described.charSet, described.subType};
                } else {
                    s = InShape{SQL_VARYING, len, 0, 0, 0};
                }
            } else if constexpr (std::is_same_v<T, std::int32_t>) {
                s = InShape{SQL_LONG, 4, 0, 0, 0};
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                s = InShape{SQL_INT64, 8, 0, 0, 0};
            } else if constexpr (std::is_same_v<T, double>) {
                s = InShape{SQL_DOUBLE, 8, 0, 0, 0};
            } else if constexpr (std::is_same_v<T, Decimal>) {
                s = InShape{SQL_INT64, 8, -x.scale, 0, 0};
            } else if constexpr (std::is_same_v<T, DateTime>) {
                s = p.bindAsDate() ? InShape{SQL_TYPE_DATE, 4, 0, 0, 0} : InShape{SQL_TIMESTAMP, 8, 0, 0, 0};
            } else if constexpr (std::is_same_v<T, Blob>) {
                s = InShape{SQL_BLOB, 8, 0, described.type == SQL_BLOB ? described.charSet : 0,
                            described.type == SQL_BLOB ? described.subType : 0};
            } else {
                s = InShape{SQL_BOOLEAN, 1, 0, 0, 0};
            }
        },
        v.storage());
    return s;
}

ISC_QUAD writeBlob(Connection& c, IAttachment* att, ITransaction* tra, const std::string& bytes) {
    ISC_QUAD id{};
    fb::Ref<IBlob> blob(fb::callServer(c, [&](auto* st) { return att->createBlob(st, tra, &id, 0, nullptr); }));
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const unsigned n = static_cast<unsigned>(std::min<std::size_t>(32768, bytes.size() - pos));
        fb::callServer(c, [&](auto* st) { blob->putSegment(st, n, bytes.data() + pos); });
        pos += n;
    }
    fb::callServer(c, [&](auto* st) { blob->close(st); });
    blob.forget();
    return id;
}

std::string readBlob(Connection& c, IAttachment* att, ITransaction* tra, ISC_QUAD id) {
    std::string out;
    fb::Ref<IBlob> blob(fb::callServer(c, [&](auto* st) { return att->openBlob(st, tra, &id, 0, nullptr); }));
    char chunk[32768];
    for (;;) {
        unsigned got = 0;
        const int r = fb::callServer(c, [&](auto* st) { return blob->getSegment(st, sizeof chunk, chunk, &got); });
        if (r != IStatus::RESULT_OK && r != IStatus::RESULT_SEGMENT) {
            break;
        }
        out.append(chunk, got);
    }
    fb::callServer(c, [&](auto* st) { blob->close(st); });
    blob.forget();
    return out;
}

// A statement's own transaction after a failure: rolled back, or at least released.
void rollbackOwn(Connection& conn, fb::Ref<ITransaction>& own) noexcept {
    if (!own) {
        return;
    }
    try {
        fb::callServer(conn, [&](auto* st) { own->rollback(st); });
        own.forget();
    } catch (const DbError& e) {
        if (e.isConnectionLost()) {
            conn.cutAttachment();
        }
        fb::releaseOnServer(conn, own); // the server ends the transaction itself
    } catch (...) {
        fb::releaseOnServer(conn, own);
    }
}

} // namespace

void Query::run(bool countRows) {
    if (!m_conn) {
        throw DbError("Query '" + m_name + "' has no connection");
    }
    IAttachment* att = m_conn->attachment();
    prepareStatement();
    Impl& d = *m_impl;

    ITransaction* tra = m_conn->currentTransaction();
    fb::Ref<ITransaction> own;
    // The kept read transaction does not wait for locks; every other one may, up to the lock timeout.
    Connection::Wait wait = Connection::Wait::RowLock;
    if (!tra && d.stmtType == isc_info_sql_stmt_select && !d.readsMonitoring) {
        // A plain read outside a unit of work: no transaction of its own to start and commit.
        tra = m_conn->readTransaction();
        wait = Connection::Wait::Answer;
    } else if (!tra) {
        own.reset(m_conn->newTransaction());
        tra = own.get();
    }
    Connection& conn = *m_conn;
    try {
        // Input format for the values as bound now.
        const std::size_t n = m_parsed.markers.size();
        std::vector<InShape>& shape = d.scratch;
        shape.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            shape[i] = shapeFor(m_params[m_parsed.markers[i]], d.describedShape[i]);
        }
        if (n > 0 && (!d.inMeta || shape != d.inShape)) {
            fb::call([&](auto* st) {
                fb::Ref<IMetadataBuilder> b(d.described->getBuilder(st));
                for (unsigned i = 0; i < n; ++i) {
                    b->setType(st, i, shape[i].type | 1u);
                    b->setLength(st, i, shape[i].length);
                    b->setScale(st, i, shape[i].scale);
                    b->setCharSet(st, i, shape[i].charSet);
                    b->setSubType(st, i, shape[i].subType);
                }
                d.inMeta.reset(b->getMetadata(st));
                d.inBuf.assign(d.inMeta->getMessageLength(st), 0);
                d.inFields.assign(n, {});
                for (unsigned i = 0; i < n; ++i) {
                    d.inFields[i].offset = d.inMeta->getOffset(st, i);
                    d.inFields[i].nullOffset = d.inMeta->getNullOffset(st, i);
                }
            });
            d.inShape = shape;
        }
        for (std::size_t i = 0; i < n; ++i) {
            const Param& p = m_params[m_parsed.markers[i]];
            const InField& f = d.inFields[i];
            const Value& v = p.value();
            put<short>(d.inBuf, f.nullOffset, v.isNull() ? -1 : 0);
            if (v.isNull()) {
                continue;
            }
            switch (shape[i].type) {
            case SQL_VARYING: {
                const std::string s = v.asString();
                if (s.size() > shape[i].length) {
                    throw DbError("Parameter '" + p.name() + "' is too long");
                }
                put<unsigned short>(d.inBuf, f.offset, static_cast<unsigned short>(s.size()));
                std::memcpy(d.inBuf.data() + f.offset + 2, s.data(), s.size());
                break;
            }
            case SQL_LONG:
                put<ISC_LONG>(d.inBuf, f.offset, v.asInt());
                break;
            case SQL_INT64:
                if (const auto* dec = std::get_if<Decimal>(&v.storage())) {
                    put<ISC_INT64>(d.inBuf, f.offset, dec->mantissa);
                } else {
                    put<ISC_INT64>(d.inBuf, f.offset, v.asInt64());
                }
                break;
            case SQL_DOUBLE:
                put<double>(d.inBuf, f.offset, v.asDouble());
                break;
            case SQL_TIMESTAMP: {
                const DateTime t = v.asDateTime();
                ISC_TIMESTAMP ts;
                ts.timestamp_date = t.dayNumber();
                ts.timestamp_time = static_cast<ISC_TIME>(t.ticks());
                put<ISC_TIMESTAMP>(d.inBuf, f.offset, ts);
                break;
            }
            case SQL_TYPE_DATE:
                put<ISC_DATE>(d.inBuf, f.offset, v.asDateTime().dayNumber());
                break;
            case SQL_BLOB:
                put<ISC_QUAD>(d.inBuf, f.offset, writeBlob(conn, att, tra, v.asBlob()));
                break;
            case SQL_BOOLEAN:
                put<unsigned char>(d.inBuf, f.offset, v.asBool() ? 1 : 0);
                break;
            default:
                throw DbError("Parameter '" + p.name() + "' has an unsupported type");
            }
        }

        IMessageMetadata* inMeta = n > 0 ? d.inMeta.get() : nullptr;
        void* inBuf = n > 0 ? d.inBuf.data() : nullptr;
        const bool hasOutput = !d.outFields.empty();

        auto decodeRow = [&]() {
            std::vector<Value> row;
            row.reserve(d.outFields.size());
            for (const OutField& f : d.outFields) {
                if (get<short>(d.outBuf, f.nullOffset) != 0) {
                    row.emplace_back();
                    continue;
                }
                const unsigned char* p = d.outBuf.data() + f.offset;
                switch (f.type) {
                case SQL_TEXT:
                    row.emplace_back(std::string(reinterpret_cast<const char*>(p), f.length));
                    break;
                case SQL_VARYING: {
                    const auto len = get<unsigned short>(d.outBuf, f.offset);
                    row.emplace_back(std::string(reinterpret_cast<const char*>(p + 2), len));
                    break;
                }
                case SQL_SHORT:
                case SQL_LONG:
                case SQL_INT64: {
                    std::int64_t raw = f.type == SQL_SHORT  ? get<short>(d.outBuf, f.offset)
                                       : f.type == SQL_LONG ? get<ISC_LONG>(d.outBuf, f.offset)
                                                            : get<ISC_INT64>(d.outBuf, f.offset);
                    if (f.scale < 0) {
                        row.emplace_back(Decimal{raw, -f.scale});
                    } else if (f.type == SQL_INT64) {
                        row.emplace_back(raw);
                    } else {
                        row.emplace_back(static_cast<std::int32_t>(raw));
                    }
                    break;
                }
                case SQL_FLOAT:
                    row.emplace_back(static_cast<double>(get<float>(d.outBuf, f.offset)));
                    break;
                case SQL_DOUBLE:
                case SQL_D_FLOAT:
                    row.emplace_back(get<double>(d.outBuf, f.offset));
                    break;
                case SQL_TIMESTAMP: {
                    const auto ts = get<ISC_TIMESTAMP>(d.outBuf, f.offset);
                    row.emplace_back(DateTime::fromParts(ts.timestamp_date, ts.timestamp_time));
                    break;
                }
                case SQL_TYPE_DATE:
                    row.emplace_back(DateTime::fromParts(get<ISC_DATE>(d.outBuf, f.offset), 0));
                    break;
                case SQL_TYPE_TIME:
                    // A time of day alone sits on day zero of the serial calendar.
                    row.emplace_back(DateTime::fromSerial(0).addTicks(get<ISC_TIME>(d.outBuf, f.offset)));
                    break;
                case SQL_BLOB:
                    row.emplace_back(Blob{readBlob(conn, att, tra, get<ISC_QUAD>(d.outBuf, f.offset))});
                    break;
                case SQL_BOOLEAN:
                    row.emplace_back(*p != 0);
                    break;
                default:
                    row.emplace_back();
                    break;
                }
            }
            return row;
        };

        m_rows.clear();
        m_rowsAffected = 0;
        if (d.isCursor()) {
            // One deadline for the cursor, each row an answer: a result of many rows costs no lock per row.
            fb::waitOnServer(conn, wait, [&] {
                fb::Ref<IResultSet> rs(
                    fb::call([&](auto* st) { return d.stmt->openCursor(st, tra, inMeta, inBuf, d.outMeta.get(), 0); }));
                while (fb::call([&](auto* st) { return rs->fetchNext(st, d.outBuf.data()); }) == IStatus::RESULT_OK) {
                    m_rows.push_back(decodeRow());
                    conn.answered();
                    if (m_singleRow) {
                        break; // closing the cursor waits for no answer
                    }
                }
                fb::call([&](auto* st) { rs->close(st); });
                rs.forget();
            });
        } else {
            fb::callServer(conn, wait, [&](auto* st) {
                d.stmt->execute(st, tra, inMeta, inBuf, hasOutput ? d.outMeta.get() : nullptr,
                                hasOutput ? d.outBuf.data() : nullptr);
                if (countRows) {
                    m_rowsAffected = d.stmt->getAffectedRecords(st);
                }
            });
            if (hasOutput) {
                m_rows.push_back(decodeRow());
            }
        }
        if (own) {
            fb::callServer(conn, [&](auto* st) { own->commit(st); });
            own.forget();
        }
    } catch (const DbError& e) {
        if (own && e.isConnectionLost()) {
            // Its rollback, and the release below, would wait for a server that has dropped us.
            conn.cutAttachment();
        } else if (own) {
            rollbackOwn(conn, own);
        }
        throw;
    } catch (...) {
        rollbackOwn(conn, own);
        throw;
    }
}

} // namespace vek::db
