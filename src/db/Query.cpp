#include "db/Query.h"

#include "db/StatementPool.h"

#include "db/Connection.h"
#include "db/FbApi.h"
#include "db/ParamEncoding.h"
#include "db/RowDecoding.h"
#include "db/ServerCall.h"

#include <ibase.h>

#include <algorithm>
#include <cctype>

namespace vek::db {

using namespace Firebird;

namespace {

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
    InMessage in;
    OutMessage out;
    std::vector<ColumnInfo> columns;

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
    d.out.meta.reset();
    d.in.meta.reset();
    d.in.described.reset();
    d.stmt.reset();
    d.in.shape.clear();
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
        d.in.described.reset(d.stmt->getInputMetadata(st));
        d.out.meta.reset(d.stmt->getOutputMetadata(st));

        const unsigned inCount = d.in.described->getCount(st);
        d.in.describedShape.assign(inCount, {});
        for (unsigned i = 0; i < inCount; ++i) {
            InShape& s = d.in.describedShape[i];
            s.type = d.in.described->getType(st, i) & ~1u;
            s.length = d.in.described->getLength(st, i);
            s.scale = d.in.described->getScale(st, i);
            s.charSet = d.in.described->getCharSet(st, i);
            s.subType = d.in.described->getSubType(st, i);
        }

        const unsigned outCount = d.out.meta->getCount(st);
        d.out.fields.assign(outCount, {});
        d.columns.assign(outCount, {});
        for (unsigned i = 0; i < outCount; ++i) {
            OutField& f = d.out.fields[i];
            f.type = d.out.meta->getType(st, i) & ~1u;
            f.scale = d.out.meta->getScale(st, i);
            f.subType = d.out.meta->getSubType(st, i);
            f.length = d.out.meta->getLength(st, i);
            f.offset = d.out.meta->getOffset(st, i);
            f.nullOffset = d.out.meta->getNullOffset(st, i);
            ColumnInfo& c = d.columns[i];
            c.name = d.out.meta->getAlias(st, i);
            c.field = d.out.meta->getField(st, i);
            c.relation = d.out.meta->getRelation(st, i);
            c.sqlType = f.type;
            c.subType = f.subType;
            c.length = f.length;
            c.scale = -f.scale;
            c.nullable = d.out.meta->isNullable(st, i);
        }
        d.out.buf.assign(d.out.meta->getMessageLength(st), 0);
    });
    if (d.in.describedShape.size() != m_parsed.markers.size()) {
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

struct Query::RunTransaction {
    ITransaction* tra = nullptr;
    fb::Ref<ITransaction> own; // started for this run alone, committed when it completes
    // The kept read transaction does not wait for locks; every other one may, up to the lock timeout.
    Connection::Wait wait = Connection::Wait::RowLock;
};

Query::RunTransaction Query::chooseTransaction() {
    RunTransaction t;
    t.tra = m_conn->currentTransaction();
    if (!t.tra && m_impl->stmtType == isc_info_sql_stmt_select && !m_impl->readsMonitoring) {
        // A plain read outside a unit of work: no transaction of its own to start and commit.
        t.tra = m_conn->readTransaction();
        t.wait = Connection::Wait::Answer;
    } else if (!t.tra) {
        t.own.reset(m_conn->newTransaction());
        t.tra = t.own.get();
    }
    return t;
}

void Query::executeStatement(IAttachment* att, const RunTransaction& t, bool countRows) {
    Impl& d = *m_impl;
    Connection& conn = *m_conn;
    const bool hasParams = !m_parsed.markers.empty();
    IMessageMetadata* inMeta = hasParams ? d.in.meta.get() : nullptr;
    void* inBuf = hasParams ? d.in.buf.data() : nullptr;
    const bool hasOutput = !d.out.fields.empty();

    m_rows.clear();
    m_rowsAffected = 0;
    if (d.isCursor()) {
        // One deadline for the cursor, each row an answer: a result of many rows costs no lock per row.
        fb::waitOnServer(conn, t.wait, [&] {
            fb::Ref<IResultSet> rs(
                fb::call([&](auto* st) { return d.stmt->openCursor(st, t.tra, inMeta, inBuf, d.out.meta.get(), 0); }));
            while (fb::call([&](auto* st) { return rs->fetchNext(st, d.out.buf.data()); }) == IStatus::RESULT_OK) {
                m_rows.push_back(decodeRow(d.out, conn, att, t.tra));
                conn.answered();
                if (m_singleRow) {
                    break; // closing the cursor waits for no answer
                }
            }
            fb::call([&](auto* st) { rs->close(st); });
            rs.forget();
        });
    } else {
        fb::callServer(conn, t.wait, [&](auto* st) {
            d.stmt->execute(st, t.tra, inMeta, inBuf, hasOutput ? d.out.meta.get() : nullptr,
                            hasOutput ? d.out.buf.data() : nullptr);
            if (countRows) {
                m_rowsAffected = d.stmt->getAffectedRecords(st);
            }
        });
        if (hasOutput) {
            m_rows.push_back(decodeRow(d.out, conn, att, t.tra));
        }
    }
}

void Query::run(bool countRows) {
    if (!m_conn) {
        throw DbError("Query '" + m_name + "' has no connection");
    }
    IAttachment* att = m_conn->attachment();
    prepareStatement();
    RunTransaction t = chooseTransaction();
    Connection& conn = *m_conn;
    try {
        encodeParams(m_impl->in, m_params, m_parsed.markers, conn, att, t.tra);
        executeStatement(att, t, countRows);
        if (t.own) {
            fb::callServer(conn, [&](auto* st) { t.own->commit(st); });
            t.own.forget();
        }
    } catch (const DbError& e) {
        if (t.own && e.isConnectionLost()) {
            // Its rollback, and the release below, would wait for a server that has dropped us.
            conn.cutAttachment();
        } else if (t.own) {
            rollbackOwn(conn, t.own);
        }
        throw;
    } catch (...) {
        rollbackOwn(conn, t.own);
        throw;
    }
}

} // namespace vek::db
