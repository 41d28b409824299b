#include "monitoring/ProductionCounters.h"
#include "db/MemTable.h"
#include "db/TableModel.h"
#include "monitoring/HourlyTable.h"
#include "util/Format.h"

#include <gtest/gtest.h>

using namespace vek;

namespace {

DateTime at(int d, int h = 10, int m = 0, int month = 5) {
    return DateTime::fromDateTime(2024, month, d, h, m, 0);
}

TEST(ProductionCounters, PreviousDayIsTheLatestEarlierDayWithABoxNotCancelled) {
    const DateTime ref = at(6).datePart();
    {
        const auto f = countProduction({{at(3), false}, {at(5), false}, {at(5, 11), false}, {at(6), false}}, ref);
        EXPECT_EQ(f.prevDayCount, 2);
        EXPECT_EQ(f.prevDayCancelled, 0);
        EXPECT_EQ(f.dayCount, 1);
        EXPECT_EQ(f.monthCount, 4);
    }
    {
        // Every box of the 5th cancelled: the 3rd is the previous day; the 5th still counts in the month.
        const auto f = countProduction({{at(3), false}, {at(3, 12), true}, {at(5), true}, {at(6), false}}, ref);
        EXPECT_EQ(f.prevDayCount, 2);
        EXPECT_EQ(f.prevDayCancelled, 1);
        EXPECT_EQ(f.monthCount, 4);
        EXPECT_EQ(f.monthCancelledCount, 2);
    }
    {
        // Row order does not matter for the previous day.
        const auto f = countProduction({{at(5), false}, {at(2), false}, {at(4), false}}, ref);
        EXPECT_EQ(f.prevDayCount, 1);
    }
}

TEST(ProductionCounters, FirstDayOfTheMonthHasNoPreviousDay) {
    const auto f = countProduction({{at(1, 8), false}, {at(1, 9), true}}, at(1).datePart());
    EXPECT_EQ(f.prevDayCount, 0);
    EXPECT_EQ(f.prevDayCancelled, 0);
    EXPECT_EQ(f.dayCount, 2);
    EXPECT_EQ(f.monthCancelledCount, 1);
    EXPECT_EQ(formatFloat("###,000", f.prevDayCount, brazilianFormatSettings()), "000");
}

TEST(ProductionCounters, CancelledBoxOfTodayCountsInDayHourAndMonth) {
    const auto f = countProduction({{at(6, 10, 20), true}}, at(6).datePart());
    EXPECT_EQ(f.dayCount, 1);
    EXPECT_EQ(f.monthCount, 1);
    EXPECT_EQ(f.monthCancelledCount, 1);
    ASSERT_EQ(f.today.size(), 1u);
    EXPECT_EQ(hourKey(f.today[0].time), "10:00");
}

TEST(ProductionCounters, BoundsCoverTheMonthUpToTheEndOfTheReferenceDay) {
    const DateTime clock = DateTime::fromDateTime(2024, 5, 6, 14, 30, 15, 250);
    DateTime from, to;
    counterBounds(clock, from, to);
    EXPECT_EQ(from, DateTime::fromDateTime(2024, 5, 1, 0, 0, 0, 250));
    EXPECT_EQ(to, DateTime::fromDateTime(2024, 5, 6, 23, 59, 59, 250));
}

TEST(ProductionCounters, HourKeysAndTheirDisplayText) {
    EXPECT_EQ(hourKey(DateTime::fromDateTime(2024, 5, 6, 23, 59, 59)), "23:00");
    EXPECT_EQ(hourKey(DateTime::fromDateTime(2024, 5, 6, 0, 0, 0)), "00:00");
    EXPECT_EQ(hourDisplayText("09:00"), "09:00 as 09:59");
    EXPECT_EQ(hourDisplayText(""), "");
    EXPECT_EQ(clockHeader(DateTime::fromDateTime(2024, 3, 5, 7, 8, 9), "01"), "05/03/24  -  07:08  -  ESTEIRA 01");
}

TEST(HourlyTable, RowsStayInHourOrderAndAddUp) {
    setCurrentFormatSettings(brazilianFormatSettings());
    db::MemTable t("cdsProdHora");
    t.setFieldDefs(hourlyFields());
    t.createEmpty();
    t.setIndexFieldNames("HORA");
    db::TableModel m(t);
    AddHourlyWriteOff(t, at(6, 14));
    AddHourlyWriteOff(t, at(6, 9, 5));
    AddHourlyWriteOff(t, at(6, 9, 59));
    AddHourlyWriteOff(t, at(6, 11));
    ASSERT_EQ(m.rowCount(), 3);
    EXPECT_EQ(m.data(m.index(0, 0), Qt::DisplayRole).toString(), QStringLiteral("09:00 as 09:59"));
    EXPECT_EQ(m.data(m.index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("002"));
    EXPECT_EQ(m.data(m.index(1, 0), Qt::DisplayRole).toString(), QStringLiteral("11:00 as 11:59"));
    EXPECT_EQ(m.data(m.index(2, 0), Qt::DisplayRole).toString(), QStringLiteral("14:00 as 14:59"));
    EXPECT_EQ(m.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Hora"));
    EXPECT_EQ(m.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString::fromUtf8("Produção"));
    for (int i = 0; i < 1233; ++i) AddHourlyWriteOff(t, at(6, 11));
    EXPECT_EQ(m.data(m.index(1, 1), Qt::DisplayRole).toString(), QStringLiteral("1.234"));
    EXPECT_EQ(t.recordCount(), 3);
}

} // namespace
