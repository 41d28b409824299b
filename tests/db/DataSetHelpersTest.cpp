#include "db/DataSetHelpers.h"
#include "db/Connection.h"
#include "db/MemTable.h"
#include "db/Query.h"
#include "db/SqlTrace.h"
#include "util/DateTime.h"
#include "util/Format.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

using namespace vek;
using namespace vek::db;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<MemTable> sectors(int rows) {
    auto t = std::make_unique<MemTable>("cdsSetoresConsulta");
    t->setFieldDefs(
        {FieldDef::text("SETOR", 3), FieldDef::integer("QTDE"), FieldDef::nested("ITENS", {FieldDef::integer("X")})});
    t->createEmpty();
    for (int i = 0; i < rows; ++i) {
        t->append();
        t->setValue("SETOR", std::to_string(10 * (i + 1)));
        t->setValue("QTDE", i);
        t->post();
        for (int k = 0; k < 3; ++k) {
            t->nested("ITENS").append();
            t->nested("ITENS").setValue("X", k);
            t->nested("ITENS").post();
        }
    }
    return t;
}

TEST(DataSetHelpers, RecordCountIfActive) {
    auto t = sectors(2);
    EXPECT_EQ(RecordCountIfActive(*t), 2);
    t->close();
    EXPECT_EQ(RecordCountIfActive(*t), 0);
    EXPECT_FALSE(t->isActive()) << "not opened by asking";
}

// Notes how many records a nested table still held when its record took it away.
struct CountAtEnd : MemTableListener {
    MemTable* table = nullptr;
    int count = -1;
    void tableReset() override {}
    void rowChanged(int) override {}
    void currentChanged(int) override {}
    void tableDestroyed() override { count = table->recordCount(); }
};

TEST(DataSetHelpers, ClearDataSetEmptiesNestedTablesFirst) {
    auto t = sectors(3);
    std::vector<CountAtEnd> nested(3);
    int i = 0;
    for (t->first(); !t->eof(); t->next(), ++i) {
        nested[i].table = &t->nested("ITENS");
        EXPECT_EQ(nested[i].table->recordCount(), 3);
        nested[i].table->addListener(&nested[i]);
    }
    ClearDataSet(*t);
    EXPECT_EQ(t->recordCount(), 0);
    EXPECT_TRUE(t->eof());
    EXPECT_FALSE(t->updatesSuspended()) << "updates resumed";
    for (const CountAtEnd& n : nested) {
        EXPECT_EQ(n.count, 0) << "emptied before its record was deleted";
    }

    auto closed = sectors(0);
    closed->close();
    EXPECT_NO_THROW(ClearDataSet(*closed));
}

TEST(DataSetHelpers, ResetClientDataSet) {
    MemTable closed("cdsSetoresConsulta");
    closed.setFieldDefs({FieldDef::text("SETOR", 3), FieldDef::integer("QTDE")});
    ResetClientDataSet(closed, "", false);
    EXPECT_TRUE(closed.isActive()) << "created from its field definitions";
    EXPECT_EQ(closed.recordCount(), 0);
    EXPECT_FALSE(closed.logChanges());

    MemTable master("cdsMaster");
    master.setFieldDefs({FieldDef::integer("QTDE")});
    master.createEmpty();
    master.append();
    master.setValue("QTDE", 1);
    master.post();

    auto open = sectors(5);
    open->setFilter([](const RowRef& r) { return r.value("QTDE").asInt() < 3; });
    open->setFiltered(true);
    open->setMasterFields("QTDE", "QTDE");
    open->setMasterSource(&master);
    EXPECT_EQ(open->recordCount(), 1);

    ResetClientDataSet(*open, "SETOR", true);
    EXPECT_TRUE(open->filtered()) << "the filter is on again";
    EXPECT_EQ(open->masterSource(), &master) << "and the master reattached";
    EXPECT_EQ(open->indexFieldNames(), "SETOR");
    EXPECT_TRUE(open->logChanges());
    open->setMasterSource(nullptr);
    open->setFiltered(false);
    EXPECT_EQ(open->recordCount(), 0) << "hidden records went too";

    ResetClientDataSet(*open, "", false);
    EXPECT_EQ(open->indexFieldNames(), "SETOR") << "an empty text leaves the index";
    EXPECT_THROW(ResetClientDataSet(*open, "NOPE", false), std::exception);
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(DataSetHelpers, WriteSqlTrace) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const fs::path base = tmp.path().toStdString() + "/a/b"; // missing parents are made
    Connection conn;                                         // never opened: the trace only reads the statement
    Query q(conn, "sqlX");
    q.setSql("select * from T\nwhere A = :A\r\nand B = :B\n");
    q.param("A").setInt(1);
    q.param("B").setString("x");

    WriteSqlTrace(q, "", base);
    EXPECT_EQ(readFile(base / "SQL" / "sqlX.sql"), "select * from T\r\nwhere A = :A\r\nand B = :B\r\n"
                                                   "\r\n\r\n\r\n"
                                                   "--Parametros usados na consulta: \r\n"
                                                   "--A: 1\r\n--B: x\r\n");

    Query plain(conn, "sqlY");
    plain.setSql("select 1 from RDB$DATABASE");
    WriteSqlTrace(plain, "sqlX", base); // the file name given replaces the earlier file
    EXPECT_EQ(readFile(base / "SQL" / "sqlX.sql"), "select 1 from RDB$DATABASE\r\n\r\n");

    Query dup(conn, "sqlZ");
    dup.setSql("select * from T where D = :D and A = :a\n--A: 1");
    dup.param("D").setDateTime(DateTime::fromDateTime(2024, 3, 5, 17, 45, 12));
    dup.param("A").setInt(1);
    setCurrentFormatSettings(brazilianFormatSettings());
    WriteSqlTrace(dup, "", base);
    EXPECT_EQ(readFile(base / "SQL" / "sqlZ.sql"), "select * from T where D = :D and A = :a\r\n--A: 1\r\n"
                                                   "\r\n\r\n\r\n"
                                                   "--Parametros usados na consulta: \r\n"
                                                   "--D: 05/03/2024 17:45:12\r\n")
        << "a parameter line already present in another case is left out";

    // A folder that cannot be made: no file and no error.
    const fs::path blocker = tmp.path().toStdString() + "/file";
    std::ofstream(blocker) << "x";
    EXPECT_NO_THROW(WriteSqlTrace(q, "", blocker));
    EXPECT_FALSE(fs::exists(blocker / "SQL"));

    // Beside the executable by default.
    const fs::path exeDir = fs::read_symlink("/proc/self/exe").parent_path();
    const fs::path beside = exeDir / "SQL" / "sqlTraceTestDefault.sql";
    WriteSqlTrace(plain, "sqlTraceTestDefault");
    EXPECT_TRUE(fs::exists(beside));
    std::error_code ec;
    fs::remove(beside, ec);
    fs::remove(exeDir / "SQL", ec); // only when nothing else is in it
}

TEST(DataSetHelpers, QuotedList) {
    const std::pair<const char*, const char*> cases[] = {
        {"10, 20 , 30", "'10','20','30'"},
        {"10, 20 ,,30", "'10','20','30'"},
        {"1,,2", "'1','2'"},
        {"   ", ""},
        {"", ""},
        {"40\r\n30\n", "'40','30'"},
        {"\"a,b\",c", "'\"a,b\"','c'"},
        // A quote inside an item is doubled: the item cannot end its literal and add SQL of its own.
        {"'a,b',c", "'''a,b''','c'"},
        {"x') or ('1'='1", "'x'') or (''1''=''1'"},
    };
    for (const auto& [in, out] : cases) {
        SCOPED_TRACE(in);
        EXPECT_EQ(QuotedList(in), out);
    }
}

TEST(DataSetHelpers, SqlTimeStampAt) {
    const DateTime d = DateTime::fromDateTime(2024, 3, 5, 17, 45, 12, 340);
    EXPECT_EQ(SqlTimeStampAt(d, 0, 0, 0), DateTime::fromDate(2024, 3, 5));
    EXPECT_EQ(SqlTimeStampAt(d, 8, 30, 15), DateTime::fromDateTime(2024, 3, 5, 8, 30, 15));
    EXPECT_EQ(SqlTimeStampAt(d, 25, 0, 0), DateTime::fromDateTime(2024, 3, 6, 1, 0, 0)) << "carries into the next day";
    EXPECT_NO_THROW(SqlTimeStampAt(d, 65535, 65535, 65535));
    EXPECT_THROW(SqlTimeStampAt(d, 65536, 0, 0), std::out_of_range);
    EXPECT_THROW(SqlTimeStampAt(d, 0, -1, 0), std::out_of_range);
    EXPECT_THROW(SqlTimeStampAt(d, 0, 0, 70000), std::out_of_range);
}

} // namespace
