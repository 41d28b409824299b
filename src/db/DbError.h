#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace vek::db {

/// Every database failure: the server's complete message text and its status vector codes.
class DbError : public std::runtime_error {
public:
    explicit DbError(const std::string& message, std::vector<std::intptr_t> codes = {})
        : std::runtime_error(message), m_codes(std::move(codes)) {}

    /// A call abandoned after `seconds` without an answer, its attachment cut; `cause` (what the cut
    /// call raised, when there is one) gives the rest of the text and the codes.
    static DbError noAnswer(double seconds, const DbError* cause = nullptr);

    /// The status vector as the client library reported it (pairs of argument kind and value).
    const std::vector<std::intptr_t>& codes() const { return m_codes; }
    /// The first error code (0 when the error did not come from the server).
    std::intptr_t gdsCode() const { return m_codes.size() > 1 ? m_codes[1] : 0; }
    /// True when any error code of the vector equals `code`.
    bool hasCode(std::intptr_t code) const;
    /// A row held by another transaction: a lock conflict, deadlock, update conflict or lock timeout.
    bool isLockConflict() const;
    /// A row changed or deleted by a transaction that committed while this one waited for it (not a
    /// timeout): worth running the unit of work again.
    bool isUpdateConflict() const;
    /// The attachment is gone (network failure, lost connection, server or database shut down, no
    /// answer in time, an attach refused by a server that is stopping): its handle is of no further use
    /// and the next statement has to attach again.
    bool isConnectionLost() const;
    /// The server did not answer within the connection's deadline, so the call was abandoned and its
    /// attachment cut (also a lost connection).
    bool isNoAnswer() const { return m_noAnswer; }
    /// A row whose primary or unique key another transaction wrote (and committed) first.
    bool isUniqueViolation() const;

private:
    std::vector<std::intptr_t> m_codes;
    bool m_noAnswer = false;
};

} // namespace vek::db
