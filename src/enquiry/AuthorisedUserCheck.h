#pragma once

#include <string>

class QWidget;

namespace vek {
class OperatorDisplay;
namespace db {
class Connection;
}
} // namespace vek

namespace vek::enquiry {

struct AuthorisationResult {
    bool authorised = false;
    std::string user; // empty when not authorised
};

/// Builds the list of the groups' members and asks for the consent of one of them. Database errors
/// while the list is built pass through (no dialog then).
AuthorisationResult AuthorisedUserCheck(const std::string& groups, db::Connection& connection, OperatorDisplay& display,
                                        QWidget* parent = nullptr);

} // namespace vek::enquiry
