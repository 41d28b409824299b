#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vek::db {
class Connection;
}

namespace vek::enquiry {

/// The name of the service user, whose password changes every day.
inline constexpr const char* kServiceUser = "QUERVA";

/// The 30-byte stored password form of a user's name and password (8-bit texts). Raises
/// std::invalid_argument for an empty name or password.
std::string FormatPassword(const std::string& user, const std::string& password);

/// The service user's password of the given calendar day: 10 lower-case hexadecimal digits.
std::string DailyServicePassword(int year, int month, int day);
/// The same for today's local date.
std::string DailyServicePassword();

/// User names without repetition (letter case ignored), in the order they were found.
class AuthorisedList {
public:
    /// False when the name was already there.
    bool add(const std::string& name);
    bool contains(const std::string& name) const;
    const std::vector<std::string>& names() const { return m_names; }

private:
    std::vector<std::string> m_names;
};

/// The group names of a comma-separated parameter, trimmed; items that are empty once trimmed are
/// dropped (they would match users without a group).
std::vector<std::string> SplitGroups(std::string_view groups);

/// The LIKE patterns of membership, with the group's own "%", "_" and the escape character made
/// literal: begins with the group and "-", ends with "-" and the group, holds "-" group "-".
struct MembershipPatterns {
    std::string begins;
    std::string ends;
    std::string inside;
};
MembershipPatterns MembershipPatternsOf(const std::string& group);

/// The statement that lists the members of one group (parameters GRUPO, INICIO, FIM, MEIO).
extern const char* const kSqlMembers;
/// The user's row by name (parameter NOME).
extern const char* const kSqlUser;

/// Adds the names of the group's members to the list; opens the connection when closed.
void LoadAuthorisedUsers(const std::string& group, db::Connection& connection, AuthorisedList& list);

/// The list of every group named in the parameter text.
AuthorisedList BuildAuthorisedList(std::string_view groups, db::Connection& connection);

/// The outcome of one confirmation of the dialog.
enum class Confirmation { Authorised, NoUser, NoPassword, NotRegistered, WrongPassword, NotAuthorised };

/// Checks name and password against USUARIOS and the list; the service user's password is the one
/// of `servicePassword`. Database errors pass through.
Confirmation ConfirmUser(const std::string& user, const std::string& password, const AuthorisedList& list,
                         db::Connection& connection, const std::string& servicePassword);

} // namespace vek::enquiry
