#include "enquiry/AuthorisedUser.h"

#include "db/Connection.h"
#include "db/Query.h"
#include "util/ListText.h"

#include <openssl/evp.h>

#include <QDate>

#include <array>
#include <cctype>
#include <cstdio>
#include <stdexcept>

namespace vek::enquiry {

namespace {

unsigned char upperByte(unsigned char c) {
    // The code page's lower-case letters: ASCII, and the accented ones above 0xDF but the division sign.
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    if (c >= 0xe0 && c != 0xf7 && c != 0xff) return static_cast<unsigned char>(c - 32);
    return c;
}

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upperByte(static_cast<unsigned char>(a[i])) != upperByte(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

// The stored form's characters: which of the padded name (U) and password (P) are added.
struct Pick {
    char textA;
    int a;
    char textB;
    int b;
};
constexpr std::array<Pick, 30> kPicks = {{
    {'P', 1, 'P', 6},  {'U', 2, 'U', 4},  {'P', 2, 'P', 4}, {'U', 1, 'U', 6}, {'P', 3, 'P', 5}, {'U', 3, 'U', 5},
    {'P', 5, 'P', 3},  {'U', 5, 'U', 3},  {'P', 4, 'P', 2}, {'U', 6, 'U', 1}, {'P', 6, 'P', 1}, {'U', 4, 'U', 2},
    {'P', 9, 'P', 10}, {'U', 7, 'U', 10}, {'P', 7, 'P', 8}, {'U', 8, 'U', 9}, {'P', 8, 'P', 7}, {'U', 9, 'U', 8},
    {'P', 10, 'P', 9}, {'U', 10, 'U', 7}, {'U', 1, 'U', 5}, {'P', 2, 'P', 1}, {'U', 2, 'U', 4}, {'P', 1, 'P', 2},
    {'U', 3, 'U', 2},  {'P', 3, 'P', 4},  {'U', 4, 'U', 3}, {'P', 5, 'P', 3}, {'U', 5, 'U', 1}, {'P', 4, 'P', 5},
}};

} // namespace

std::string FormatPassword(const std::string& user, const std::string& password) {
    if (user.empty()) throw std::invalid_argument("Usu\xe1rio inv\xe1lido para formata\xe7\xe3o da senha");
    if (password.empty()) throw std::invalid_argument("Senha inv\xe1lida para formata\xe7\xe3o da senha");
    std::string u = user;
    while (u.size() < 10) u = u + password + u;
    u.resize(10);
    std::string p = password;
    while (p.size() < 10) p = p + u + p;
    p.resize(10);
    std::string out(30, '\0');
    for (std::size_t i = 0; i < kPicks.size(); ++i) {
        const Pick& k = kPicks[i];
        const auto a = static_cast<unsigned char>((k.textA == 'U' ? u : p)[static_cast<std::size_t>(k.a - 1)]);
        const auto b = static_cast<unsigned char>((k.textB == 'U' ? u : p)[static_cast<std::size_t>(k.b - 1)]);
        out[i] = static_cast<char>((a + b) % 256);
    }
    return out;
}

std::string DailyServicePassword(int year, int month, int day) {
    char text[32];
    std::snprintf(text, sizeof text, "@TuRaXe#%04d%02d%02d", year, month, day);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(text, std::char_traits<char>::length(text), digest, &length, EVP_md5(), nullptr) != 1 ||
        length != 16) {
        throw std::runtime_error("MD5 digest failed");
    }
    std::string hex;
    static constexpr char kDigits[] = "0123456789abcdef";
    for (unsigned int i = 0; i < length; ++i) {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 15];
    }
    return hex.substr(0, 5) + hex.substr(hex.size() - 5);
}

std::string DailyServicePassword() {
    const QDate today = QDate::currentDate();
    return DailyServicePassword(today.year(), today.month(), today.day());
}

bool AuthorisedList::add(const std::string& name) {
    if (contains(name)) return false;
    m_names.push_back(name);
    return true;
}

bool AuthorisedList::contains(const std::string& name) const {
    for (const std::string& n : m_names) {
        if (sameIgnoringCase(n, name)) return true;
    }
    return false;
}

std::vector<std::string> SplitGroups(std::string_view groups) {
    return splitList(groups, ",");
}

MembershipPatterns MembershipPatternsOf(const std::string& group) {
    std::string literal;
    for (char c : group) {
        if (c == '\\' || c == '%' || c == '_') literal += '\\';
        literal += c;
    }
    return {literal + "-%", "%-" + literal, "%-" + literal + "-%"};
}

const char* const kSqlMembers = "Select * from USUARIOS U\n"
                                "WHERE (U.grupos_us LIKE :INICIO ESCAPE '\\') or (U.grupos_us LIKE :FIM ESCAPE '\\') "
                                "or (U.grupos_us LIKE :MEIO ESCAPE '\\') or (U.grupos_us = :GRUPO)";

const char* const kSqlUser = "Select * from USUARIOS\n"
                             "where NOME_US=:NOME";

void LoadAuthorisedUsers(const std::string& group, db::Connection& connection, AuthorisedList& list) {
    if (!connection.isOpen()) connection.open();
    db::Query q(connection, "sqlUsuAutorizados");
    q.setSql(kSqlMembers);
    const MembershipPatterns patterns = MembershipPatternsOf(group);
    q.param("INICIO").setString(patterns.begins);
    q.param("FIM").setString(patterns.ends);
    q.param("MEIO").setString(patterns.inside);
    q.param("GRUPO").setString(group);
    q.open();
    for (; !q.eof(); q.next()) list.add(q.field("NOME_US").asString());
}

AuthorisedList BuildAuthorisedList(std::string_view groups, db::Connection& connection) {
    AuthorisedList list;
    for (const std::string& group : SplitGroups(groups)) LoadAuthorisedUsers(group, connection, list);
    return list;
}

Confirmation ConfirmUser(const std::string& user, const std::string& password, const AuthorisedList& list,
                         db::Connection& connection, const std::string& servicePassword) {
    if (user.empty()) return Confirmation::NoUser;
    if (password.empty()) return Confirmation::NoPassword;
    if (!connection.isOpen()) connection.open();
    db::Query q(connection, "sqlUsuario");
    q.setSql(kSqlUser);
    q.param("NOME").setString(user);
    q.open();
    if (q.eof()) return Confirmation::NotRegistered;
    const std::string form = FormatPassword(user, password);
    const bool passwordOk = user == kServiceUser ? password == servicePassword : q.field("SENHA_US").asString() == form;
    if (!passwordOk) return Confirmation::WrongPassword;
    if (!list.contains(user)) return Confirmation::NotAuthorised;
    return Confirmation::Authorised;
}

} // namespace vek::enquiry
