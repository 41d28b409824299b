#include "db/MemTable.h"
#include "db/DbError.h"

#include <gtest/gtest.h>

using namespace vek;
using namespace vek::db;

namespace {

std::vector<FieldDef> sectorFields() {
    return {FieldDef::text("SETOR", 3), FieldDef::text("DESC_SETOR", 50), FieldDef::integer("QTDE_ATUALIZADA"),
            FieldDef::integer("QTDE_PENDENTE")};
}

void addSector(MemTable& t, const char* code, int done) {
    t.append();
    t.setValue("SETOR", code);
    t.setValue("QTDE_ATUALIZADA", done);
    t.post();
}

std::vector<std::string> column(MemTable& t, const char* field) {
    std::vector<std::string> out;
    for (t.first(); !t.eof(); t.next()) {
        out.push_back(t.value(field).asString());
    }
    return out;
}

using Strings = std::vector<std::string>;

TEST(MemTableFields, ValuesTakeTheFieldsType) {
    const FieldDef text = FieldDef::text("T", 6);
    const FieldDef dec = FieldDef::decimal("D", 2);
    struct Case {
        const char* what;
        FieldDef field;
        Value in;
        Value out;
    } cases[] = {
        {"text cut to its size", text, Value("12345678"), Value("123456")},
        {"number as text", text, Value(42), Value("42")},
        {"integer from text", FieldDef::integer("I"), Value(" 12 "), Value(12)},
        {"large integer", FieldDef::largeInt("L"), Value(7), Value(std::int64_t{7})},
        {"real from decimal", FieldDef::real("R"), Value(Decimal{15, 1}), Value(1.5)},
        {"decimal rounded half away from zero", dec, Value(Decimal{12345, 3}), Value(Decimal{1235, 2})},
        {"negative decimal rounded", dec, Value(Decimal{-12345, 3}), Value(Decimal{-1235, 2})},
        {"decimal from exact text", dec, Value("2.675"), Value(Decimal{268, 2})},
        {"decimal from integer", dec, Value(3), Value(Decimal{300, 2})},
        {"decimal from real", dec, Value(0.125), Value(Decimal{13, 2})},
        {"null stays null", dec, Value(), Value()},
        {"blob from text", FieldDef::blob("B"), Value("xy"), Value(Blob{"xy"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(coerceToField(c.field, c.in), c.out);
    }
    EXPECT_THROW(coerceToField(FieldDef::integer("I"), Value("x1")), DbError);
    EXPECT_THROW(coerceToField(FieldDef::integer("I"), Value(std::int64_t{1} << 40)), DbError);
    EXPECT_THROW(coerceToField(FieldDef::decimal("D", 18), Value(1e6)), DbError) << "beyond 64-bit mantissa";
    EXPECT_THROW(coerceToField(FieldDef::nested("N", {}), Value(1)), DbError);
}

TEST(MemTableFields, OrderingAcrossNumberKinds) {
    EXPECT_LT(compareValues(Value(), Value(0)), 0) << "null first";
    EXPECT_EQ(compareValues(Value(Decimal{150, 2}), Value(Decimal{15, 1})), 0);
    EXPECT_LT(compareValues(Value(1), Value(Decimal{101, 2})), 0);
    EXPECT_GT(compareValues(Value("\xC9"), Value("Z")), 0) << "bytes compare unsigned";
    EXPECT_EQ(splitFieldNames(" A; ;B "), (Strings{"A", "B"}));
}

TEST(MemTableCursor, AppendInsertEditCancelDelete) {
    MemTable t("cdsSetoresConsulta");
    EXPECT_THROW(t.createEmpty(), DbError) << "no field definitions";
    t.setFieldDefs(sectorFields());
    t.createEmpty();
    EXPECT_TRUE(t.eof());
    EXPECT_TRUE(t.value("setor").isNull()) << "no record reads as null";
    EXPECT_THROW(t.setValue("SETOR", "10"), DbError) << "not editing";
    EXPECT_THROW(t.edit(), DbError) << "no record";

    addSector(t, "10", 1);
    addSector(t, "30", 3);
    t.first();
    t.next(); // on 30
    t.insert();
    t.setValue("setor", "20"); // field names in any case
    t.post();
    EXPECT_EQ(column(t, "SETOR"), (Strings{"10", "20", "30"})) << "inserted before the current record";
    EXPECT_EQ(t.recordCount(), 3);

    t.first();
    t.edit();
    t.setValue("SETOR", "99");
    EXPECT_EQ(t.value("SETOR").asString(), "99") << "the edit shows while editing";
    t.cancel();
    EXPECT_EQ(t.value("SETOR").asString(), "10");

    t.edit();
    t.setValue("QTDE_ATUALIZADA", t.value("QTDE_ATUALIZADA").asInt() - 1);
    t.next(); // moving posts the edit
    t.first();
    EXPECT_EQ(t.value("QTDE_ATUALIZADA").asInt(), 0);

    t.next();
    t.deleteRecord(); // 20 goes, 30 becomes current
    EXPECT_EQ(t.value("SETOR").asString(), "30");
    EXPECT_FALSE(t.eof());
    t.deleteRecord(); // the last goes, 10 before it becomes current
    EXPECT_EQ(t.value("SETOR").asString(), "10");
    EXPECT_TRUE(t.eof());

    t.append();
    t.deleteRecord(); // deleting a record being inserted drops it
    EXPECT_EQ(t.recordCount(), 1);

    addSector(t, "123", 0);
    EXPECT_FALSE(t.locate("SETOR", {Value("1234")})) << "no match by a text the field would cut";
    EXPECT_TRUE(t.locate("SETOR", {Value("10")}));
    EXPECT_FALSE(t.locate("SETOR;QTDE_ATUALIZADA", {Value("10"), Value(5)}));
    EXPECT_THROW(t.locate("SETOR", {}), DbError);
    EXPECT_THROW(t.value("NOPE"), DbError);

    t.close();
    EXPECT_EQ(t.recordCount(), 0);
    EXPECT_FALSE(t.isActive());
    t.createEmpty();
    EXPECT_EQ(t.recordCount(), 0) << "reopening discards the rows";
}

TEST(MemTableIndex, RowsInKeyOrderAndFoundByKey) {
    MemTable hours("cdsProdHora");
    hours.setFieldDefs({FieldDef::text("HORA", 9), FieldDef::integer("QTDE")});
    hours.setIndexFieldNames("HORA");
    hours.createEmpty();
    for (const char* h : {"10:00", "09:00", "23:00", "00:00"}) {
        hours.append();
        hours.setValue("HORA", h);
        hours.setValue("QTDE", 1);
        hours.post();
        EXPECT_EQ(hours.value("HORA").asString(), h) << "the posted record stays current";
    }
    EXPECT_EQ(column(hours, "HORA"), (Strings{"00:00", "09:00", "10:00", "23:00"}));

    ASSERT_TRUE(hours.seekKey({Value("10:00")}));
    hours.edit();
    hours.setValue("QTDE", hours.value("QTDE").asInt() + 1);
    hours.post();
    EXPECT_TRUE(hours.seekKey({Value("10:00")}));
    EXPECT_EQ(hours.value("QTDE").asInt(), 2);
    EXPECT_FALSE(hours.seekKey({Value("11:00")}));
    EXPECT_EQ(hours.value("HORA").asString(), "10:00") << "a failed look-up leaves the cursor";

    hours.seekNearest({Value("09:30")});
    EXPECT_EQ(hours.value("HORA").asString(), "10:00");
    hours.seekNearest({Value("23:30")});
    EXPECT_TRUE(hours.eof());

    hours.first();
    hours.edit();
    hours.setValue("HORA", "12:00"); // a changed key moves the record
    hours.post();
    EXPECT_EQ(hours.value("HORA").asString(), "12:00");
    EXPECT_EQ(column(hours, "HORA"), (Strings{"09:00", "10:00", "12:00", "23:00"}));

    EXPECT_THROW(hours.setIndexFieldNames("NOPE"), DbError);
    EXPECT_EQ(hours.indexFieldNames(), "HORA") << "a bad index leaves the old one";

    hours.setIndexFieldNames("QTDE;HORA");
    EXPECT_EQ(column(hours, "HORA"), (Strings{"09:00", "12:00", "23:00", "10:00"}));
    hours.setIndexFieldNames("");
    EXPECT_THROW(hours.seekKey({Value(1)}), DbError) << "no index";
}

TEST(MemTableIndex, EqualKeysKeepTheirOrder) {
    MemTable t;
    t.setFieldDefs({FieldDef::text("TAM_IT", 2), FieldDef::integer("N")});
    t.createEmpty();
    const std::pair<const char*, int> rows[] = {{"35", 1}, {"34", 2}, {"35", 3}, {"34", 4}};
    for (const auto& [size, n] : rows) {
        t.append();
        t.setValue("TAM_IT", size);
        t.setValue("N", n);
        t.post();
    }
    EXPECT_EQ(column(t, "N"), (Strings{"1", "2", "3", "4"})) << "no index: insertion order";
    t.setIndexFieldNames("TAM_IT");
    EXPECT_EQ(column(t, "N"), (Strings{"2", "4", "1", "3"}));
    t.seekNearest({Value("35")});
    EXPECT_EQ(t.value("N").asInt(), 1) << "the first of the equal keys";
}

class MemTableLog : public ::testing::Test {
protected:
    void SetUp() override {
        t.setFieldDefs({FieldDef::integer("ID"), FieldDef::text("TXT", 10), FieldDef::integer("N")});
        t.createEmpty();
        t.setLogChanges(false); // rows as if read
        for (int id = 1; id <= 3; ++id) {
            t.append();
            t.setValue("ID", id);
            t.setValue("TXT", "AB");
            t.setValue("N", 5);
            t.post();
        }
        t.setLogChanges(true);
    }
    MemTable t;
};

TEST_F(MemTableLog, DeltaListsChangesInOrder) {
    EXPECT_EQ(t.changeCount(), 0);
    EXPECT_TRUE(t.delta().empty());

    t.locate("ID", {Value(2)});
    t.edit();
    t.setValue("TXT", "CD");
    t.setValue("N", 5); // assigned its old value
    t.post();
    EXPECT_EQ(t.rowStatus(), RowStatus::Changed);
    EXPECT_TRUE(t.isAssigned("TXT"));
    EXPECT_FALSE(t.isAssigned("ID"));

    t.locate("ID", {Value(3)});
    t.edit();
    t.setValue("TXT", "XY");
    t.post();
    t.deleteRecord(); // deleted after a change: its values as read count

    t.append();
    t.setValue("ID", 0);
    t.setValue("TXT", Value()); // explicitly null
    t.post();
    EXPECT_EQ(t.rowStatus(), RowStatus::Inserted);

    const Delta d = t.delta();
    ASSERT_EQ(d.rows.size(), 4u);
    const int txt = d.fieldIndex("txt");
    const int n = d.fieldIndex("N");
    const int id = d.fieldIndex("ID");

    EXPECT_EQ(d.rows[0].status, RowStatus::Unchanged);
    EXPECT_EQ(d.rows[0].values[txt], Value("AB"));
    EXPECT_EQ(d.rows[0].values[id], Value(2));
    EXPECT_EQ(d.rows[1].status, RowStatus::Changed);
    EXPECT_EQ(d.rows[1].values[txt], Value("CD"));
    EXPECT_TRUE(d.rows[1].assigned[n]);
    EXPECT_FALSE(d.rows[1].assigned[id]);
    EXPECT_TRUE(d.rows[1].values[id].isNull()) << "an unassigned field carries no value";

    EXPECT_EQ(d.rows[2].status, RowStatus::Deleted);
    EXPECT_EQ(d.rows[2].values[id], Value(3));
    EXPECT_EQ(d.rows[2].values[txt], Value("AB")) << "values as read, not as changed";

    EXPECT_EQ(d.rows[3].status, RowStatus::Inserted);
    EXPECT_EQ(d.rows[3].values[id], Value(0));
    EXPECT_TRUE(d.rows[3].assigned[txt]);
    EXPECT_FALSE(d.rows[3].assigned[n]);

    EXPECT_EQ(t.changeCount(), 3) << "reading the delta leaves the changes pending";
    EXPECT_EQ(t.delta().rows.size(), 4u);
}

TEST_F(MemTableLog, RepeatedEditsKeepTheFirstValuesAndDroppedInsertsVanish) {
    t.first();
    for (const char* v : {"X", "Y"}) {
        t.edit();
        t.setValue("TXT", v);
        t.post();
    }
    t.append();
    t.setValue("ID", 9);
    t.post();
    t.deleteRecord(); // inserted and deleted before applying: nothing to write

    const Delta d = t.delta();
    ASSERT_EQ(d.rows.size(), 2u);
    EXPECT_EQ(d.rows[0].values[1], Value("AB"));
    EXPECT_EQ(d.rows[1].values[1], Value("Y"));

    t.setLogChanges(false);
    EXPECT_EQ(t.changeCount(), 0) << "switching the log off accepts the changes";
    t.first();
    EXPECT_EQ(t.value("TXT").asString(), "Y");
    t.edit();
    t.setValue("TXT", "Z");
    t.post();
    EXPECT_EQ(t.changeCount(), 0);
    EXPECT_THROW(t.applyChanges(), DbError) << "no provider";
}

TEST(MemTableView, FilterMasterLinkAndNestedTables) {
    MemTable master("cdsSetor"), detail("cdsItens");
    master.setFieldDefs({FieldDef::text("COD", 2)});
    master.createEmpty();
    detail.setFieldDefs(
        {FieldDef::text("SETOR", 2), FieldDef::integer("N"), FieldDef::nested("ITENS", {FieldDef::integer("X")})});
    detail.createEmpty();
    for (const char* c : {"10", "20"}) {
        master.append();
        master.setValue("COD", c);
        master.post();
    }
    const std::pair<const char*, int> rows[] = {{"10", 1}, {"20", 2}, {"10", 3}};
    for (const auto& [s, n] : rows) {
        detail.append();
        detail.setValue("SETOR", s);
        detail.setValue("N", n);
        detail.nested("ITENS").append();
        detail.nested("ITENS").setValue("X", n * 10);
        detail.nested("ITENS").post();
        detail.post();
    }
    detail.setFilter([](const RowRef& r) { return r.value("N").asInt() != 3; });
    detail.setFiltered(true);
    EXPECT_EQ(column(detail, "N"), (Strings{"1", "2"}));
    detail.setFiltered(false);

    detail.setMasterFields("COD", "SETOR");
    detail.setMasterSource(&master);
    master.first();
    EXPECT_EQ(column(detail, "N"), (Strings{"1", "3"}));
    master.next();
    EXPECT_EQ(column(detail, "N"), (Strings{"2"})) << "the detail follows the master";
    EXPECT_EQ(detail.nested("ITENS").value("X").asInt(), 20) << "each record has its own nested table";
    EXPECT_THROW(detail.setMasterSource(&detail), DbError);
    {
        MemTable gone("gone");
        gone.setFieldDefs({FieldDef::text("COD", 2)});
        gone.createEmpty();
        detail.setMasterSource(&gone);
        EXPECT_EQ(detail.recordCount(), 0);
    }
    EXPECT_EQ(detail.masterSource(), nullptr) << "a destroyed master detaches itself";
    EXPECT_EQ(detail.recordCount(), 3);
}

struct Recorder : MemTableListener {
    int resets = 0, rows = 0, currents = 0, destroyed = 0;
    void tableReset() override { ++resets; }
    void rowChanged(int) override { ++rows; }
    void currentChanged(int) override { ++currents; }
    void tableDestroyed() override { ++destroyed; }
};

TEST(MemTableListeners, SuspendedUpdatesEndInOneReset) {
    Recorder rec;
    {
        MemTable t;
        t.setFieldDefs(sectorFields());
        t.createEmpty();
        t.addListener(&rec);
        addSector(t, "10", 1);
        EXPECT_EQ(rec.resets, 1);
        t.edit();
        t.setValue("QTDE_PENDENTE", 1);
        t.post();
        EXPECT_EQ(rec.rows, 1) << "an edit in place changes one row";

        rec = Recorder{};
        {
            UpdatesSuspended quiet(t);
            UpdatesSuspended nested(t);
            for (int i = 0; i < 5; ++i) {
                addSector(t, "20", i);
            }
        }
        EXPECT_EQ(rec.resets, 1);
        EXPECT_EQ(rec.rows, 0);
        EXPECT_FALSE(t.updatesSuspended());
    }
    EXPECT_EQ(rec.destroyed, 1);
}

} // namespace
