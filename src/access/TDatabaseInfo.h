#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vek::access {

class TCompanyInfo;

/// The kinds in the order of their internal values. The station asks only for G (a company's
/// main database) and C (the catalogue with the product pictures).
enum class TDatabaseKind { G, A, O, C, F, X };

/// The kind named by the letter, compared exactly; any other text is the first kind, G.
TDatabaseKind databaseKindOf(std::string_view letter);
/// The letter of a kind, as the server writes it.
std::string_view letterOf(TDatabaseKind kind);

/// One database of a company, as the access server lists it.
class TDatabaseInfo {
public:
    std::int32_t id = 0;
    std::string host; // the location, in the form the settings key BDADOS takes
    std::string password;
    TDatabaseKind kind = TDatabaseKind::G;
    std::string description;
    const TCompanyInfo* company = nullptr;
    std::int32_t parent = 0; // 0 or less: no parent
};

} // namespace vek::access
