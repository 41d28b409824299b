// The station below its window: start-up and scans through a recording display.
#include "app/Station.h"
#include "db/Query.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"
#include "support/Box.h"
#include "support/RecordingDisplay.h"
#include "support/TestDb.h"
#include "support/Tones.h"
#include "util/Format.h"
#include "util/TextCodec.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <utility>

using namespace vek;
using vek::test::Box;
using vek::test::kAlarm;
using vek::test::RecordingDisplay;
using vek::test::Schema;
using vek::test::TestDb;

namespace {

TEST(StationCore, AStartUpThatStoppedHalfWayFinishesBeforeTheFirstScan) {
    setCurrentFormatSettings(brazilianFormatSettings());
    TestDb source(Schema::Main);
    source.exec(Box(42).prog("000123").ficha("0001").emitted().sql());
    source.exec(Box(41).prog("000123").ficha("0001").emitted().writtenOff().sql());
    for (const char* p : {"ALERTA_SONORO", "MSG_CONLUSAO"}) {
        source.exec(std::string("insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('ATU_CAIXA_UNITARIA', '") +
                    p + "', 'S')");
    }
    // The database is not there at start-up, as when its server is down.
    const std::string late = source.dir() + "/late.fdb";
    const std::string ini = source.dir() + "/s.INI";
    std::ofstream(ini) << "[ESTEIRA]\nBDADOS=" << late << "\nCODESTEIRA=01\nEXIBIR_IMG_PRODUTO=N\n";
    RecordingDisplay display;
    RecordingToneOutput tones;
    RecordingMessageBoxes boxes;
    {
        Station station(display, Platform{&tones, &boxes, [](int) {}}, ini, "/nonexistent");
        station.FormCreate();
        EXPECT_FALSE(station.context().ready);
        EXPECT_EQ(boxes.take().size(), 1u) << "the start-up error";

        // Still down: the scan says why, in red with the alarm although the switches were never read.
        station.ScanCode("42");
        EXPECT_EQ(display.messageColour, MessageColour::Error);
        EXPECT_FALSE(display.text("pnMens").empty());
        EXPECT_EQ(tones.take(), kAlarm);
        EXPECT_TRUE(boxes.take().empty());
        station.ClockTick(); // quiet while it cannot finish
        EXPECT_TRUE(boxes.take().empty());

        // Back: the scan finishes the start-up (parameters, counters) and then runs as usual.
        source.exec(
            "update CODCXUNIT set DTBAIXA_CX = cast('now' as timestamp), ESTEIRA_CX = '01' where CODIGO_CX = 41");
        station.context().sqlCon.close();
        std::filesystem::copy_file(source.path(), late);
        station.ScanCode("42");
        EXPECT_TRUE(station.context().ready);
        EXPECT_EQ(display.text("pnMens"), "Etiqueta Atualizada.");
        EXPECT_EQ(display.messageColour, MessageColour::Success);
        EXPECT_EQ(display.text("pnQtParesDia"), "2") << "counters loaded first (box 41), then this box";
        EXPECT_FALSE(display.text("sbQuilbar.1").empty());
        station.context().sqlCon.close();
    }
    auto c = source.connect();
    db::Query q(*c);
    q.setSql("select count(*) as N from CODCXUNIT where DTBAIXA_CX is not null");
    q.open();
    EXPECT_EQ(q.field("N").asInt(), 1) << "the source itself was never scanned";
}

// Boxes that let something happen while they are open, as a modal box's own event loop lets the
// clock's timer through.
class BoxesWithEvents final : public MessageBoxes {
public:
    std::function<void()> whileOpen;
    int shown = 0;
    void show(Icon, const QString&, const QString&) override {
        ++shown;
        if (whileOpen && shown < 5) whileOpen();
    }
};

// Tones that let something happen while they sound, as a modal box's own event loop lets keys through.
class TonesWithEvents final : public ToneOutput {
public:
    std::function<void()> whilePlaying;
    int play(const std::vector<Tone>&, ToneKind) override {
        if (auto f = std::exchange(whilePlaying, nullptr)) f();
        return 0;
    }
};

TEST(StationCore, CodesEnteredDuringAScanWaitTheirTurnInOrder) {
    TestDb db(Schema::Main);
    db.exec("insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('ATU_CAIXA_UNITARIA', 'ALERTA_SONORO', 'S')");
    const std::string ini = db.dir() + "/s.INI";
    std::ofstream(ini) << "[ESTEIRA]\nBDADOS=" << db.path() << "\nCODESTEIRA=01\nEXIBIR_IMG_PRODUTO=N\n";
    RecordingDisplay display;
    TonesWithEvents tones;
    RecordingMessageBoxes boxes;
    Station station(display, Platform{&tones, &boxes, [](int) {}}, ini, "/nonexistent");
    station.FormCreate();
    ASSERT_TRUE(station.context().ready);
    bool inside = false;
    tones.whilePlaying = [&] {
        inside = true;
        EXPECT_TRUE(station.busy());
        EXPECT_FALSE(station.EnterCode("7002")) << "queued, not scanned inside the scan";
        EXPECT_FALSE(station.EnterCode("7003"));
        EXPECT_FALSE(station.TakeWaitingCode()) << "no turn while the scan runs";
    };
    EXPECT_TRUE(station.EnterCode("999")) << "scanned at once"; // no such box: the alarm sounds with it
    ASSERT_TRUE(inside);
    EXPECT_FALSE(station.busy());
    EXPECT_EQ(station.TakeWaitingCode(), "7002");
    EXPECT_EQ(station.TakeWaitingCode(), "7003");
    EXPECT_FALSE(station.codesWaiting());
    station.context().sqlCon.close();
}

TEST(StationCore, TheClockNeverRunsAStartUpInsideAnother) {
    TestDb db(Schema::Main);
    // A production-stock group without its branch: start-up warns in a box half way.
    db.exec("insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('PRODUCAO_ESTOQUE', 'ATU_CODCXUNIT', 'S')");
    const std::string ini = db.dir() + "/s.INI";
    std::ofstream(ini) << "[ESTEIRA]\nBDADOS=" << db.path() << "\nCODESTEIRA=01\nEXIBIR_IMG_PRODUTO=N\n";
    RecordingDisplay display;
    RecordingToneOutput tones;
    BoxesWithEvents boxes;
    Station station(display, Platform{&tones, &boxes, [](int) {}}, ini, "/nonexistent");
    boxes.whileOpen = [&] { station.ClockTick(); }; // a minute passes while the warning is open
    station.FormCreate();
    EXPECT_EQ(boxes.shown, 1) << "the warning once: no second start-up inside the first";
    EXPECT_TRUE(station.context().ready);
    station.context().sqlCon.close();
}

TEST(StationCore, AStationThatIsNotConfiguredRepeatsWhyWithTheAlarm) {
    TestDb db(Schema::Main);
    const std::string ini = db.dir() + "/s.INI";
    std::ofstream(ini) << "[ESTEIRA]\nBDADOS=" << db.path() << "\nEXIBIR_IMG_PRODUTO=N\n";
    RecordingDisplay display;
    RecordingToneOutput tones;
    RecordingMessageBoxes boxes;
    Station station(display, Platform{&tones, &boxes, [](int) {}}, ini, "/nonexistent");
    station.FormCreate();
    ASSERT_EQ(boxes.take().size(), 1u);
    station.ScanCode("42");
    EXPECT_EQ(display.text("pnMens"), "Esteira nao configurada.");
    EXPECT_EQ(display.messageColour, MessageColour::Error);
    EXPECT_EQ(tones.take(), kAlarm) << "the tone switch was never read";
}

} // namespace
