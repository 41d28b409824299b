// The counter load through its real statements: the server's counts by day and hour give the
// figures the station's row-by-row pass gave.
#include "db/MemTable.h"
#include "db/Query.h"
#include "monitoring/ProductionMonitor.h"
#include "station/StationContext.h"
#include "support/RecordingDisplay.h"
#include "support/TestDb.h"
#include "util/Format.h"
#include "util/TextCodec.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

using namespace vek;

namespace {

DateTime at(int day, int h, int m, int s = 0, int ticks = 0, int month = 3) {
    return DateTime::fromDateTime(2025, month, day, h, m, s).addTicks(ticks);
}

class CounterRig {
public:
    CounterRig() {
        setCurrentFormatSettings(brazilianFormatSettings());
        ctx.settings.BDADOS = db.path();
        ctx.settings.CODESTEIRA = "E1";
        ctx.settings.SETOR = "30";
        ctx.sqlCon.setDatabase(db.path());
        ctx.configured = true;
        // Half a second past the minute: the bounds carry it.
        monitor.setClockTime(at(12, 15, 20, 30, 5000));
    }
    ~CounterRig() { ctx.sqlCon.close(); }

    void box(int code, std::optional<std::string> conveyor, DateTime writtenOff, bool cancelled = false) {
        db::Query q(ctx.sqlCon);
        q.setSql("insert into CODCXUNIT (CODIGO_CX, ESTEIRA_CX, DTBAIXA_CX, DATA_CANC_CX) "
                 "values (:COD, :ESTEIRA, :BAIXA, :CANC)");
        q.param("COD").setInt(code);
        if (conveyor) q.param("ESTEIRA").setString(*conveyor);
        q.param("BAIXA").setDateTime(writtenOff);
        if (cancelled) q.param("CANC").setDateTime(writtenOff);
        q.execSql();
    }
    void record(int id, const std::string& sector, DateTime out, int box) {
        db::Query q(ctx.sqlCon);
        q.setSql("insert into PRODUCAO_SETOR_CXUNIT (ID_PU, SETOR_PU, DTSAIDA_PU, CODCXUNIT_PU) "
                 "values (:ID, :SETOR, :SAIDA, :COD)");
        q.param("ID").setInt(id);
        q.param("SETOR").setString(sector);
        q.param("SAIDA").setDateTime(out);
        q.param("COD").setInt(box);
        q.execSql();
    }

    std::map<std::string, int> hourly() {
        std::map<std::string, int> out;
        for (monitor.cdsProdHora.first(); !monitor.cdsProdHora.eof(); monitor.cdsProdHora.next())
            out[monitor.cdsProdHora.value("HORA").asString()] = monitor.cdsProdHora.value("QTDE").asInt();
        return out;
    }
    void expectFigures(int day, int month, int monthCancelled, const std::map<std::string, int>& byHour) {
        EXPECT_EQ(monitor.dayCount(), day);
        EXPECT_EQ(monitor.monthCount(), month);
        EXPECT_EQ(monitor.monthCancelledCount(), monthCancelled);
        EXPECT_EQ(hourly(), byHour);
    }
    void expectPreviousDay(const std::string& count, const std::string& cancelled) {
        EXPECT_EQ(display.text("pnQtParesDiaAnt"), cp1252("Produção dia Ant: ") + count);
        EXPECT_EQ(display.text("pnQtParCancDiaAnt"), "Cancelados dia Ant: " + cancelled);
    }

    test::TestDb db;
    test::RecordingDisplay display;
    StationContext ctx{display};
    ProductionMonitor monitor{ctx};
};

TEST(CounterLoad, CountsThisConveyorsAndThisSectorsRowsAsTheRowByRowPassDid) {
    CounterRig rig;
    // Today, the 12th: an hour with a cancelled box a tick before its end, a row exactly at the
    // upper bound (23:59:59.5) and one a tick past it.
    rig.box(1, "E1", at(12, 9, 10));
    rig.box(2, "E1", at(12, 9, 59, 59, 9999), true);
    rig.box(3, "E1", at(12, 14, 0));
    rig.box(4, "E1", at(12, 23, 59, 59, 5000));
    rig.box(5, "E1", at(12, 23, 59, 59, 5001));
    // The 11th: this conveyor's boxes all cancelled, so it is no working day of this conveyor,
    // whatever boxes of other conveyors, padded or in other letters, or of none, say.
    rig.box(10, "E1", at(11, 8, 0), true);
    rig.box(11, "E1", at(11, 9, 0), true);
    rig.box(12, "E2", at(11, 10, 0));
    rig.box(13, "e1", at(11, 10, 0));
    rig.box(14, "E1 ", at(11, 10, 0));
    rig.box(15, std::nullopt, at(11, 10, 0));
    // The 10th: the previous working day, counted with its cancelled box.
    rig.box(16, "E1", at(10, 8, 0));
    rig.box(17, "E1", at(10, 16, 30));
    rig.box(18, "E1", at(10, 16, 45), true);
    // The month begins at 00:00:00.5 on the 1st.
    rig.box(19, "E1", at(1, 0, 0, 0, 5000));
    rig.box(20, "E1", at(1, 0, 0, 0, 4999));

    rig.monitor.LoadConveyorCounters();
    rig.expectFigures(4, 10, 4, {{"09:00", 2}, {"14:00", 1}, {"23:00", 1}});
    rig.expectPreviousDay("003", "001");

    // An empty code counts the boxes without a conveyor, as the empty text it read them as.
    rig.ctx.settings.CODESTEIRA.clear();
    rig.monitor.LoadConveyorCounters();
    EXPECT_EQ(rig.monitor.dayCount(), 0);
    EXPECT_EQ(rig.monitor.monthCount(), 1);
    rig.expectPreviousDay("001", "000");

    // Sector 30: a record whose box has no row is not cancelled.
    rig.record(1, "30", at(12, 8, 5), 1);
    rig.record(2, "30", at(12, 8, 30), 2);
    rig.record(3, "30", at(12, 16, 0), 999);
    rig.record(4, "30", at(12, 23, 59, 59, 5000), 3);
    rig.record(5, "30", at(12, 23, 59, 59, 5001), 3);
    rig.record(6, "40", at(12, 10, 0), 1);
    rig.record(7, "30", at(11, 9, 0), 2);
    rig.record(8, "30", at(11, 9, 30), 10);
    rig.record(9, "40", at(11, 10, 0), 1);
    rig.record(10, "30", at(10, 8, 0), 1);
    rig.record(11, "30", at(10, 9, 0), 2);
    rig.record(12, "30", at(1, 0, 0, 0, 5000), 1);
    rig.record(13, "30", at(1, 0, 0, 0, 4999), 1);

    rig.monitor.LoadSectorCounters();
    rig.expectFigures(4, 9, 4, {{"08:00", 2}, {"16:00", 1}, {"23:00", 1}});
    rig.expectPreviousDay("002", "001");
}

} // namespace
