#include "db/DbError.h"

#include <ibase.h>

#include <cstdio>
#include <string_view>

namespace vek::db {

bool DbError::hasCode(std::intptr_t code) const {
    // The vector is a sequence of (kind, value) pairs ended by isc_arg_end; only isc_arg_gds values are codes.
    for (std::size_t i = 0; i + 1 < m_codes.size(); i += 2) {
        const std::intptr_t kind = m_codes[i];
        if (kind == isc_arg_end) {
            break;
        }
        if (kind == isc_arg_gds && m_codes[i + 1] == code) {
            return true;
        }
        if (kind == isc_arg_cstring) {
            ++i; // length, then pointer: three slots
        }
    }
    return false;
}

bool DbError::isUpdateConflict() const {
    if (hasCode(isc_lock_timeout)) {
        return false;
    }
    // A row deleted by the transaction we waited for is reported with a generic code and this text
    // only (the engine's own words, not translated).
    const bool erasedMeanwhile =
        hasCode(isc_random) && std::string_view(what()).find("cannot update erased record") != std::string_view::npos;
    return hasCode(isc_update_conflict) || hasCode(isc_deadlock) || erasedMeanwhile;
}

DbError DbError::noAnswer(double seconds, const DbError* cause) {
    char text[96];
    std::snprintf(text, sizeof text, "No answer from the database server within %g s", seconds);
    DbError e(cause ? std::string(text) + ": " + cause->what() : std::string(text),
              cause ? cause->codes() : std::vector<std::intptr_t>{});
    e.m_noAnswer = true;
    return e;
}

bool DbError::isConnectionLost() const {
    if (m_noAnswer) {
        return true;
    }
    static constexpr std::intptr_t kLost[] = {isc_network_error, isc_net_read_err, isc_net_write_err,
                                              isc_lost_db_connection, isc_conn_lost, isc_shutdown, isc_att_shutdown,
                                              isc_net_server_shutdown, isc_bad_db_handle,
                                              // A server that is stopping refuses attaches with these (a wrong
                                              // password is isc_login, not one of them).
                                              isc_login_error, isc_connect_reject};
    for (std::intptr_t code : kLost) {
        if (hasCode(code)) {
            return true;
        }
    }
    return false;
}

bool DbError::isUniqueViolation() const {
    return hasCode(isc_unique_key_violation) || hasCode(isc_no_dup);
}

bool DbError::isLockConflict() const {
    return hasCode(isc_lock_conflict) || hasCode(isc_deadlock) || hasCode(isc_update_conflict) ||
           hasCode(isc_lock_timeout);
}

} // namespace vek::db
