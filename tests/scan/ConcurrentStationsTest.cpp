// Two stations scanning the same labels at the same moment: each box is written off, or recorded in a
// group of sectors, by exactly one of them, and only that one reports a success.
#include "db/Query.h"
#include "monitoring/ProductPictures.h"
#include "monitoring/ProductionMonitor.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"
#include "scan/UnitBoxScan.h"
#include "station/StationContext.h"
#include "support/Box.h"
#include "support/ScanStation.h"
#include "support/TestDb.h"
#include "util/Format.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>

using namespace vek;
using vek::test::Box;
using vek::test::RecordingDisplay;
using vek::test::Schema;
using vek::test::TestDb;

namespace {

constexpr int kBoxes = 200;

class Station : public vek::test::ScanStation {
public:
    // In sector mode the box is written off in `lastSector` (this station's own sector when empty).
    Station(const std::string& db, const std::string& conveyor, const std::string& sector,
            const std::string& lastSector = {})
        : ScanStation(db) {
        StationSettings settings;
        settings.BDADOS = db;
        settings.CODESTEIRA = conveyor;
        settings.FUNCIONARIO = std::string(1, '7');
        settings.EXIBIR_IMG_PRODUTO = std::string(1, 'N');
        if (!sector.empty()) {
            settings.ATU_PRODUCAO_SETOR_CXUNIT = std::string(1, 'S');
            settings.SETOR = sector;
            settings.ULTIMO_SETOR_ATU_CXUNIT = lastSector.empty() ? sector : lastSector;
        }
        ctx.settings = settings;
    }

    // Scans every code; returns the codes this station reported as a success.
    std::vector<int> scanAll() {
        std::vector<int> ok;
        for (int code = 1; code <= kBoxes; ++code) {
            display.ClearMessage();
            try {
                scan.ProcessScan(std::to_string(code));
            } catch (const std::exception& e) {
                errors.push_back(e.what());
                continue;
            }
            if (display.text("pnMens") == "Etiqueta Atualizada.") ok.push_back(code);
        }
        return ok;
    }

    std::vector<std::string> errors;
};

void addBoxes(const TestDb& db) {
    db.exec("insert into PRODUCAO (PROG_PR, FICHA_PR, QTDE_PR) values ('000123', '0001', " + std::to_string(kBoxes) +
            ")");
    auto c = db.connect();
    c->executeImmediate("execute block as declare i integer = 1; begin while (i <= " + std::to_string(kBoxes) +
                        ") do begin " + Box::usual(":i").sql() + "; i = i + 1; end end");
    c->close();
}

// Runs both stations at once and returns, per station, the codes it reported.
std::pair<std::vector<int>, std::vector<int>> race(Station& a, Station& b) {
    std::vector<int> okA, okB;
    std::thread ta([&] { okA = a.scanAll(); });
    std::thread tb([&] { okB = b.scanAll(); });
    ta.join();
    tb.join();
    return {okA, okB};
}

TEST(TwoStations, EveryBoxIsWrittenOffOnceAndOnlyItsStationSaysSo) {
    setCurrentFormatSettings(brazilianFormatSettings());
    TestDb db(Schema::Main);
    addBoxes(db);
    Station a(db.path(), "01", ""), b(db.path(), "02", "");
    const auto [okA, okB] = race(a, b);
    EXPECT_TRUE(a.errors.empty() && b.errors.empty()) << (a.errors.empty() ? b.errors : a.errors).front();
    EXPECT_EQ(okA.size() + okB.size(), static_cast<std::size_t>(kBoxes));
    EXPECT_EQ(a.monitor.dayCount() + b.monitor.dayCount(), kBoxes)
        << "no counter moves for a box the other station took";

    auto c = db.connect();
    db::Query q(*c);
    q.setSql("select CODIGO_CX, ESTEIRA_CX from CODCXUNIT where DTBAIXA_CX is not null");
    q.open();
    std::map<int, std::string> by;
    for (; !q.eof(); q.next()) by[q.field("CODIGO_CX").asInt()] = q.field("ESTEIRA_CX").asString();
    EXPECT_EQ(by.size(), static_cast<std::size_t>(kBoxes));
    for (int code : okA) EXPECT_EQ(by[code], "01") << code;
    for (int code : okB) EXPECT_EQ(by[code], "02") << code;
}

TEST(TwoStations, TwoSectorsOfOneGroupRecordEachBoxOnce) {
    setCurrentFormatSettings(brazilianFormatSettings());
    // When both are the last sector, the write-off's own condition already keeps them apart; when
    // neither is, only the box's lock and the validation run again under it do.
    for (const std::string last : {"", "40"}) {
        SCOPED_TRACE(last.empty() ? "both are the last sector" : "the box is written off later, in 40");
        TestDb db(Schema::Main);
        addBoxes(db);
        // Sewing (20) groups the lines 21 and 22: a box is sewn on one line only.
        db.exec("insert into SETOR (COD_SE, NOME_SE, SETORANT_SE, ORDEM_SE, SETOR_AGRUP_SE, "
                "TIPO_ATU_PRODUCAO_SETOR_SE, SEQPROD_SE) values ('20', 'COSTURA', '', 1, '', 'N', 'S')");
        db.exec("insert into SETOR (COD_SE, NOME_SE, SETORANT_SE, ORDEM_SE, SETOR_AGRUP_SE, "
                "TIPO_ATU_PRODUCAO_SETOR_SE, SEQPROD_SE) select '21', 'LINHA', '', 2, '20', 'N', 'S' from "
                "RDB$DATABASE union all select '22', 'LINHA', '', 2, '20', 'N', 'S' from RDB$DATABASE");
        db.exec("insert into PRODUTO_SETOR select 'P100', COD_SE from SETOR");
        Station a(db.path(), "01", "21", last), b(db.path(), "02", "22", last);
        const auto [okA, okB] = race(a, b);
        EXPECT_TRUE(a.errors.empty() && b.errors.empty()) << (a.errors.empty() ? b.errors : a.errors).front();
        EXPECT_EQ(okA.size() + okB.size(), static_cast<std::size_t>(kBoxes));

        auto c = db.connect();
        db::Query q(*c);
        q.setSql("select CODCXUNIT_PU, SETOR_PU, count(*) as N from PRODUCAO_SETOR_CXUNIT group by 1, 2");
        q.open();
        std::map<int, std::string> by;
        for (; !q.eof(); q.next()) {
            const int code = q.field("CODCXUNIT_PU").asInt();
            EXPECT_EQ(q.field("N").asInt(), 1);
            EXPECT_TRUE(by.emplace(code, q.field("SETOR_PU").asString()).second) << code << " recorded in two lines";
        }
        EXPECT_EQ(by.size(), static_cast<std::size_t>(kBoxes));
        for (int code : okA) EXPECT_EQ(by[code], "21") << code;
        for (int code : okB) EXPECT_EQ(by[code], "22") << code;
        db::Query off(*c);
        off.setSql("select count(*) as N from CODCXUNIT where DTBAIXA_CX is not null");
        off.open();
        EXPECT_EQ(off.field("N").asInt(), last.empty() ? kBoxes : 0);
    }
}

} // namespace
