#pragma once

#include "db/Query.h"

#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <utility>

namespace vek::db {

/// Statements of queries that went away, kept prepared on their connection for the next query of
/// the same text: modules made for one operation (a validation, a lookup) then prepare only once.
/// Bounded; the oldest goes first. Emptied when the connection closes or is lost.
class StatementPool {
public:
    static constexpr std::size_t kMaxStatements = 64;

    StatementPool();
    ~StatementPool();
    StatementPool(const StatementPool&) = delete;
    StatementPool& operator=(const StatementPool&) = delete;

    void put(const std::string& text, std::unique_ptr<Query::Impl> statement);
    /// The statement prepared for `text`, or null.
    std::unique_ptr<Query::Impl> take(const std::string& text);
    void clear();
    std::size_t size() const { return m_items.size(); }

private:
    std::list<std::pair<std::string, std::unique_ptr<Query::Impl>>> m_items; // newest first
};

} // namespace vek::db
