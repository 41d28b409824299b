// vek-mkdb --check: the indexes of the reference schema that an installation's database lacks.
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sys/wait.h>

using vek::test::Schema;
using vek::test::TestDb;

namespace {

struct CheckRun {
    int exitCode = -1;
    std::vector<std::string> lines;
};

CheckRun check(const TestDb& d) {
    const std::string command = std::string("'") + VEK_MKDB_EXE + "' --check '" + d.path() + "' '" +
                                vek::test::sourceDir() + "/schema/main.sql'";
    CheckRun r;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return r;
    std::array<char, 512> buf{};
    while (std::fgets(buf.data(), static_cast<int>(buf.size()), p)) {
        std::string line(buf.data());
        if (!line.empty() && line.back() == '\n') line.pop_back();
        r.lines.push_back(line);
    }
    const int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::vector<std::string> missingLines(const CheckRun& r) {
    std::vector<std::string> out;
    for (const std::string& l : r.lines) {
        if (l.rfind("missing ", 0) == 0) out.push_back(l);
    }
    return out;
}

TEST(IndexCheck, ADatabaseMadeFromTheReferenceSchemaLacksNothing) {
    TestDb d(Schema::Main);
    const CheckRun r = check(d);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(missingLines(r).empty());
}

TEST(IndexCheck, NamesWhatIsDroppedInactiveOrLedByOtherColumnsAndItsStatementsMendIt) {
    TestDb d(Schema::Main);
    d.exec("DROP INDEX IX_PROD_SETOR_CXUNIT_SETOR_DT;"
           // the same name over other leading columns: the suggestion must take another name
           "DROP INDEX IX_CODCXUNIT_PEDIDO_BAIXA;"
           "CREATE INDEX IX_CODCXUNIT_PEDIDO_BAIXA ON CODCXUNIT (ITEM_CX, PEDIDO_CX, DTBAIXA_CX);"
           "ALTER INDEX IX_SUBPROD_PROG_FICHA INACTIVE;"
           // a wider index that starts with the needed columns serves, whatever its name
           "DROP INDEX IX_ITENSPV_PROG_FICHA;"
           "CREATE INDEX ITENSPV_OWN ON ITENSPV (PROG_IT, FICHA_IT, ITEM_IT);"
           "COMMIT;");
    const CheckRun r = check(d);
    EXPECT_EQ(r.exitCode, 1);
    const std::vector<std::string> missing = missingLines(r);
    ASSERT_EQ(missing.size(), 3u) << ::testing::PrintToString(r.lines);
    EXPECT_EQ(missing[0],
              "missing SUBPROD (PROG_PR, FICHA_PR, SUBFICHA_PR): ALTER INDEX IX_SUBPROD_PROG_FICHA ACTIVE;");
    EXPECT_EQ(missing[1].rfind("missing CODCXUNIT (PEDIDO_CX, ITEM_CX, DTBAIXA_CX): CREATE INDEX ", 0), 0u)
        << missing[1];
    EXPECT_EQ(missing[2].rfind("missing PRODUCAO_SETOR_CXUNIT (SETOR_PU, DTSAIDA_PU): CREATE INDEX ", 0), 0u)
        << missing[2];

    std::string mend;
    for (const std::string& l : missing) mend += l.substr(l.find(": ") + 2) + "\n";
    d.exec(mend + "COMMIT;");
    EXPECT_EQ(check(d).exitCode, 0);
}

} // namespace
