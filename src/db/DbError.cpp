#include "db/DbError.h"

#include <ibase.h>

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

bool DbError::isLockConflict() const {
    return hasCode(isc_lock_conflict) || hasCode(isc_deadlock) || hasCode(isc_update_conflict) ||
           hasCode(isc_lock_timeout);
}

} // namespace vek::db
