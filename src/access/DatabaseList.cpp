#include "access/DatabaseList.h"

#include "json/TJSONArray.h"
#include "json/TJSONObject.h"

#include <array>

namespace vek::access {

namespace {

constexpr std::array<std::string_view, 6> kLetters = {"G", "A", "O", "C", "F", "X"};

std::unique_ptr<TDatabaseInfo> readDatabase(const json::TJSONObject& object, const TCompanyInfo& company) {
    auto database = std::make_unique<TDatabaseInfo>();
    database->company = &company;
    database->id = object.requireInteger("id");
    database->host = object.requireText("host");
    database->password = object.requireText("password");
    database->kind = databaseKindOf(object.requireText("type"));
    database->description = object.requireText("description");
    database->parent = object.requireInteger("parent");
    return database;
}

std::unique_ptr<TCompanyInfo> readCompany(const json::TJSONObject& object) {
    auto company = std::make_unique<TCompanyInfo>();
    company->code = object.requireInteger("codigo");
    company->name = object.requireText("nome");
    const json::TJSONArray& databases = object.requireArray("bancos");
    for (int i = 0; i < databases.count(); ++i) {
        company->databases.push_back(readDatabase(databases.objectAt(i), *company));
    }
    return company;
}

} // namespace

TDatabaseKind databaseKindOf(std::string_view letter) {
    for (std::size_t i = 0; i < kLetters.size(); ++i) {
        if (letter == kLetters[i]) return static_cast<TDatabaseKind>(i);
    }
    return TDatabaseKind::G;
}

std::string_view letterOf(TDatabaseKind kind) {
    return kLetters.at(static_cast<std::size_t>(kind));
}

CompanyList ParseDatabaseList(const std::string& text) {
    const json::TJSONArray list(text);
    CompanyList companies;
    for (int i = 0; i < list.count(); ++i) {
        companies.push_back(readCompany(list.objectAt(i)));
    }
    return companies;
}

std::vector<const TDatabaseInfo*> FilterDatabases(const TCompanyInfo& company, TDatabaseKind kind,
                                                  std::int32_t parent) {
    std::vector<const TDatabaseInfo*> found;
    for (const auto& database : company.databases) {
        if (database->kind == kind && (parent <= 0 || database->parent == parent)) {
            found.push_back(database.get());
        }
    }
    return found;
}

const TDatabaseInfo* FindDatabase(const TCompanyInfo& company, TDatabaseKind kind, std::int32_t parent, bool fallback) {
    std::vector<const TDatabaseInfo*> found = FilterDatabases(company, kind, parent);
    if (found.empty() && fallback) found = FilterDatabases(company, kind, -1);
    return found.empty() ? nullptr : found.front();
}

} // namespace vek::access
