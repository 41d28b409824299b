#include "access/DatabaseList.h"

#include "json/JSONExceptions.h"

#include <gtest/gtest.h>

#include <string>

using namespace vek::access;

namespace {

std::string database(const std::string& members) {
    return "{" + members + "}";
}

const std::string kFullDatabase =
    R"("id":4,"host":"h:/d.fdb","password":"p","type":"G","description":"Principal","parent":0)";

std::string companyWith(const std::string& databases) {
    return R"([{"codigo":9,"nome":"Empresa","bancos":[)" + databases + "]}]";
}

} // namespace

TEST(ParseDatabaseList, BuildsCompaniesInOrderWithTheirDatabases) {
    const CompanyList companies = ParseDatabaseList(
        R"([{"codigo":7,"nome":"Cal\u00E7ados","bancos":[
              {"id":1,"host":"a:/a.fdb","password":"pa","type":"C","description":"Cat","parent":3},
              {"id":2,"host":"b:/b.fdb","password":"pb","type":"X","description":"Outro","parent":-1}]},
            {"codigo":0,"nome":"Vazia","bancos":[]}])");
    ASSERT_EQ(companies.size(), 2u);
    const TCompanyInfo& first = *companies[0];
    EXPECT_EQ(first.code, 7);
    EXPECT_EQ(first.name, "Cal\xE7"
                          "ados");
    ASSERT_EQ(first.databases.size(), 2u);
    const TDatabaseInfo& catalogue = *first.databases[0];
    EXPECT_EQ(catalogue.id, 1);
    EXPECT_EQ(catalogue.host, "a:/a.fdb");
    EXPECT_EQ(catalogue.password, "pa");
    EXPECT_EQ(catalogue.kind, TDatabaseKind::C);
    EXPECT_EQ(catalogue.description, "Cat");
    EXPECT_EQ(catalogue.parent, 3);
    EXPECT_EQ(catalogue.company, &first);
    EXPECT_EQ(first.databases[1]->kind, TDatabaseKind::X);
    EXPECT_EQ(first.databases[1]->parent, -1);
    EXPECT_EQ(companies[1]->code, 0);
    EXPECT_TRUE(companies[1]->databases.empty());
}

TEST(ParseDatabaseList, EmptyArrayIsNoCompanies) {
    EXPECT_TRUE(ParseDatabaseList("[]").empty());
    EXPECT_TRUE(ParseDatabaseList(" [ ] ").empty());
}

TEST(ParseDatabaseList, KindIsTheExactLetterOrElseMain) {
    const struct {
        const char* type;
        TDatabaseKind kind;
    } cases[] = {
        {"G", TDatabaseKind::G}, {"A", TDatabaseKind::A}, {"O", TDatabaseKind::O},  {"C", TDatabaseKind::C},
        {"F", TDatabaseKind::F}, {"X", TDatabaseKind::X}, {"g", TDatabaseKind::G},  {"Z", TDatabaseKind::G},
        {"c", TDatabaseKind::G}, {"", TDatabaseKind::G},  {"CC", TDatabaseKind::G},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        const std::string members =
            R"("id":1,"host":"h","password":"p","type":")" + std::string(c.type) + R"(","description":"d","parent":0)";
        const CompanyList companies = ParseDatabaseList(companyWith(database(members)));
        EXPECT_EQ(companies.at(0)->databases.at(0)->kind, c.kind);
    }
}

TEST(ParseDatabaseList, AnyMissingOrMistypedMemberFailsTheWholeList) {
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"no codigo", R"([{"nome":"E","bancos":[]}])"},
        {"no nome", R"([{"codigo":1,"bancos":[]}])"},
        {"no bancos", R"([{"codigo":1,"nome":"E"}])"},
        {"bancos not an array", R"([{"codigo":1,"nome":"E","bancos":{"id":1}}])"},
        {"codigo not a number", R"([{"codigo":"um","nome":"E","bancos":[]}])"},
        {"no id", companyWith(database(R"("host":"h","password":"p","type":"G","description":"d","parent":0)"))},
        {"no host", companyWith(database(R"("id":1,"password":"p","type":"G","description":"d","parent":0)"))},
        {"no password", companyWith(database(R"("id":1,"host":"h","type":"G","description":"d","parent":0)"))},
        {"no type", companyWith(database(R"("id":1,"host":"h","password":"p","description":"d","parent":0)"))},
        {"no description", companyWith(database(R"("id":1,"host":"h","password":"p","type":"G","parent":0)"))},
        {"no parent", companyWith(database(R"("id":1,"host":"h","password":"p","type":"G","description":"d")"))},
        {"a database that is no object", companyWith(database(kFullDatabase) + ",\"x\"")},
        {"an absent database", companyWith(database(kFullDatabase) + ",," + database(kFullDatabase))},
        {"a company that is no object", R"([{"codigo":1,"nome":"E","bancos":[]}, 5])"},
        {"an object instead of the array", R"({"codigo":1})"},
        {"not JSON", "<html>"},
        {"empty text", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_ANY_THROW(ParseDatabaseList(c.text));
    }
    // The same list with every member present does build: the cases above fail for their one fault.
    EXPECT_EQ(ParseDatabaseList(companyWith(database(kFullDatabase))).at(0)->databases.size(), 1u);
}

TEST(FindDatabase, FiltersByKindAndParent) {
    const CompanyList companies = ParseDatabaseList(companyWith(R"(
        {"id":1,"host":"g3a","password":"","type":"G","description":"","parent":3},
        {"id":2,"host":"c0","password":"","type":"C","description":"","parent":0},
        {"id":3,"host":"g3b","password":"","type":"G","description":"","parent":3},
        {"id":4,"host":"g5","password":"","type":"G","description":"","parent":5})"));
    const TCompanyInfo& company = *companies.at(0);
    const auto hosts = [](const std::vector<const TDatabaseInfo*>& found) {
        std::string joined;
        for (const TDatabaseInfo* d : found) joined += d->host + " ";
        return joined;
    };
    EXPECT_EQ(hosts(FilterDatabases(company, TDatabaseKind::G, 0)), "g3a g3b g5 ");
    EXPECT_EQ(hosts(FilterDatabases(company, TDatabaseKind::G, -4)), "g3a g3b g5 ");
    EXPECT_EQ(hosts(FilterDatabases(company, TDatabaseKind::G, 3)), "g3a g3b ");
    EXPECT_EQ(hosts(FilterDatabases(company, TDatabaseKind::G, 7)), "");
    EXPECT_EQ(hosts(FilterDatabases(company, TDatabaseKind::F, 0)), "");

    const struct {
        const char* name;
        TDatabaseKind kind;
        int parent;
        bool fallback;
        const char* host; // nullptr: none
    } cases[] = {
        {"first of the kind", TDatabaseKind::G, 0, false, "g3a"},
        {"under a parent", TDatabaseKind::G, 5, false, "g5"},
        {"no such parent, no fallback", TDatabaseKind::G, 7, false, nullptr},
        {"no such parent, fallback to any", TDatabaseKind::G, 7, true, "g3a"},
        {"catalogue", TDatabaseKind::C, 0, false, "c0"},
        {"no such kind, even with fallback", TDatabaseKind::A, 0, true, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TDatabaseInfo* found = FindDatabase(company, c.kind, c.parent, c.fallback);
        if (c.host) {
            ASSERT_NE(found, nullptr);
            EXPECT_EQ(found->host, c.host);
        } else {
            EXPECT_EQ(found, nullptr);
        }
    }
}

TEST(FindDatabase, NoCatalogueInACompanyWithoutOne) {
    const CompanyList companies = ParseDatabaseList(companyWith(database(kFullDatabase)));
    EXPECT_EQ(FindDatabase(*companies.at(0), TDatabaseKind::C, 0, false), nullptr);
}
