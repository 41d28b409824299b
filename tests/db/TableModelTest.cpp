#include "db/TableModel.h"
#include "db/MemTable.h"
#include "util/Format.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

using namespace vek;
using namespace vek::db;

namespace {

// The hourly grid's table: "09:00" reads "09:00 as 09:59", quantities with at least three digits.
std::unique_ptr<MemTable> hourlyTable() {
    auto t = std::make_unique<MemTable>("cdsProdHora");
    FieldDef hora = FieldDef::text("HORA", 9).withLabel("Hora");
    hora.displayText = [](const Value& v) {
        const std::string h = v.asString();
        return h.empty() ? h : h + " as " + h.substr(0, 3) + "59";
    };
    t->setFieldDefs({hora, FieldDef::integer("QTDE").withLabel("Produ\xE7\xE3o").withFormat("###,000"),
                     FieldDef::real("QTDE_PAR").withFormat("#,###,##0").withAlignment(FieldAlign::Left),
                     FieldDef::nested("ITENS", {FieldDef::integer("X")})});
    t->setIndexFieldNames("HORA");
    t->createEmpty();
    return t;
}

void addHour(MemTable& t, const char* hora, int qtde) {
    t.append();
    t.setValue("HORA", hora);
    t.setValue("QTDE", qtde);
    t.setValue("QTDE_PAR", qtde * 1000.0);
    t.post();
}

class TableModelTest : public ::testing::Test {
protected:
    void SetUp() override { setCurrentFormatSettings(brazilianFormatSettings()); }
};

TEST_F(TableModelTest, ColumnsCaptionsTextsAndAlignment) {
    auto t = hourlyTable();
    TableModel model(*t);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    addHour(*t, "10:00", 1234);
    addHour(*t, "09:00", 7);

    ASSERT_EQ(model.columnCount(), 3) << "nested fields are not columns";
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Hora");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QString::fromUtf8("Produção"));
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "QTDE_PAR");
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), "09:00 as 09:59");
    EXPECT_EQ(model.data(model.index(0, 1)).toString(), "007");
    EXPECT_EQ(model.data(model.index(1, 1)).toString(), "1.234");
    EXPECT_EQ(model.data(model.index(1, 2)).toString(), "1.234.000");
    EXPECT_EQ(model.data(model.index(0, 1), Qt::TextAlignmentRole).toInt(),
              static_cast<int>(Qt::AlignRight | Qt::AlignVCenter));
    EXPECT_EQ(model.data(model.index(0, 2), Qt::TextAlignmentRole).toInt(),
              static_cast<int>(Qt::AlignLeft | Qt::AlignVCenter));
    EXPECT_EQ(model.data(model.index(0, 0), Qt::TextAlignmentRole).toInt(),
              static_cast<int>(Qt::AlignLeft | Qt::AlignVCenter));
    EXPECT_FALSE(model.data(model.index(5, 0)).isValid());

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    ASSERT_TRUE(t->seekKey({Value("10:00")}));
    t->edit();
    t->setValue("QTDE", 1235);
    t->post();
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).value<QModelIndex>().row(), 1);
    EXPECT_EQ(model.data(model.index(1, 1)).toString(), "1.235");
}

TEST_F(TableModelTest, SuspendedUpdatesAndTheCurrentRow) {
    auto t = hourlyTable();
    TableModel model(*t);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy current(&model, &TableModel::currentRowChanged);
    {
        UpdatesSuspended quiet(*t);
        for (const char* h : {"08:00", "07:00", "09:00"}) {
            addHour(*t, h, 1);
        }
        EXPECT_EQ(resets.count(), 0) << "nothing reaches the grid while suspended";
        EXPECT_EQ(current.count(), 0);
    }
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(model.rowCount(), 3);
    ASSERT_GE(current.count(), 1);
    EXPECT_EQ(current.last().at(0).toInt(), 2) << "09:00 was posted last and sorts last";

    model.setCurrentRow(0);
    EXPECT_EQ(t->value("HORA").asString(), "07:00");
    EXPECT_EQ(model.currentRow(), 0);
    model.setCurrentRow(7); // out of range: ignored
    EXPECT_EQ(model.currentRow(), 0);

    t.reset();
    EXPECT_EQ(model.table(), nullptr);
    EXPECT_EQ(model.rowCount(), 0) << "the table went first";
    EXPECT_EQ(model.columnCount(), 0);
}

} // namespace
