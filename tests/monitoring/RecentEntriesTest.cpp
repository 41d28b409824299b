// The recent entries handler against test databases, without a window or a socket.
#include "monitoring/RecentEntries.h"
#include "db/Query.h"
#include "monitoring/ProductPictures.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"
#include "station/StationContext.h"
#include "support/RecordingDisplay.h"
#include "support/TestDb.h"
#include "util/Format.h"

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

#include <optional>

using namespace vek;
using vek::test::RecordingDisplay;
using vek::test::Schema;
using vek::test::TestDb;

namespace {

std::string pictureBytes(int width, int height, Qt::GlobalColor colour, const char* format) {
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(colour);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format);
    return bytes.toStdString();
}

// A station context on a main and a catalogue database holding three announced tickets:
// 000123/0001 (P100, medium and small thumbnails), 000123/0002 (P200, small only) and
// 000124/0001 (P300, no catalogue row).
class FeedRig {
public:
    FeedRig() {
        setCurrentFormatSettings(brazilianFormatSettings());
        display.setOutputs(Platform{&tones, &boxes, {}}, &ctx.params);
        ctx.sqlCon.setDatabase(db.path());
        ctx.sqlConCat.setDatabase(cat.path());
        db.exec("insert into PRODUTO (COD_PR, DESC_PR) values ('P100', 'TENIS CORRIDA')");
        db.exec("insert into PRODUTO (COD_PR, DESC_PR) values ('P200', 'SANDALIA')");
        db.exec("insert into PADRONIZ_PRODUTO (PROD_PP, PADRONIZ_PP, DESC_PP) values ('P100', '00001', 'AZUL')");
        db.exec("insert into PADRONIZ_PRODUTO (PROD_PP, PADRONIZ_PP, DESC_PP) values ('P200', '00002', 'PRETO')");
        db.exec("insert into TABELA (NUM_TA, COD_TA, DESC_TA) values ('70', 'M1', 'MARCA UM')");
        item("001", "P100", "00001", "M1", "000123", "0001", "COSTURA DUPLA");
        item("002", "P200", "00002", "M1", "000123", "0002", "");
        item("003", "P300", "00003", "", "000124", "0001", "");
        production(1, "000123", "0001", 1234);
        production(2, "000123", "0001", 5); // a second row of the ticket: only the first is used
        production(3, "000123", "0002", 12);
        production(4, "000124", "0001", 7);
        thumbnails("P100", "00001", medium, small);
        thumbnails("P200", "00002", std::nullopt, small);
        entries.Start(5);
    }
    ~FeedRig() {
        ctx.sqlCon.close();
        ctx.sqlConCat.close();
    }

    void item(const char* no, const char* prod, const char* pad, const char* marca, const char* prog, const char* ficha,
              const char* obs) {
        db.exec(std::string("insert into ITENSPV (PEDIDO_IT, ITEM_IT, PROD_IT, PADRON_IT, MARCA_IT, PROG_IT, ") +
                "FICHA_IT, OBSPROD_IT) values ('00000001', '" + no + "', '" + prod + "', '" + pad + "', '" + marca +
                "', '" + prog + "', '" + ficha + "', '" + obs + "')");
    }
    void production(int id, const char* prog, const char* ficha, int pairs) {
        db.exec("insert into PRODUCAO_SETOR (ID_PS, PROG_PS, FICHA_PS, SUBFICHA_PS, SETOR_PS, QTDE_PS) values (" +
                std::to_string(id) + ", '" + prog + "', '" + ficha + "', '0000', '10', " + std::to_string(pairs) + ")");
    }
    void thumbnails(const char* prod, const char* pad, std::optional<std::string> m, std::optional<std::string> s) {
        auto c = cat.connect();
        db::Query q(*c);
        q.setSql("insert into PADRONIZ_PRODUTO (PRODUTO_PP, PADRONIZ_PP, THUMBM_PP, THUMB_PP) values (:P, :D, :M, :S)");
        q.param("P").setString(prod);
        q.param("D").setString(pad);
        m ? q.param("M").setBlob(*m) : q.param("M").setNull();
        s ? q.param("S").setBlob(*s) : q.param("S").setNull();
        q.execSql();
    }

    int count() { return entries.cdsUltEnt.recordCount(); }
    std::string at(int row, const char* field) {
        const int f = entries.cdsUltEnt.fieldIndex(field);
        return entries.cdsUltEnt.displayText(row, f);
    }
    std::string pictureAt(int row) {
        return entries.cdsUltEnt.valueAt(row, entries.cdsUltEnt.fieldIndex("IMAGEM_CATALOGO")).asBlob();
    }

    const std::string medium = pictureBytes(40, 20, Qt::red, "PNG");
    const std::string small = pictureBytes(10, 5, Qt::blue, "PNG");
    TestDb db{Schema::Main};
    TestDb cat{Schema::Catalogue};
    RecordingDisplay display;
    RecordingToneOutput tones;
    RecordingMessageBoxes boxes;
    StationContext ctx{display};
    ProductPictures pictures{ctx.sqlConCat};
    RecentEntries entries{ctx, pictures};
};

struct DatagramCase {
    const char* name;
    std::string datagram;
    bool added;
    const char* prog = "";
    const char* ficha = "";
    const char* produto = "";
    const char* pares = "";
};

TEST(RecentEntries, DatagramsAreAcceptedOrIgnoredWithoutAWord) {
    const DatagramCase cases[] = {
        {"a matching ticket", R"({"prog":"000123","ficha":"0001"})", true, "000123", "0001", "P100", "1.234"},
        {"no matching row", R"({"prog":"123456","ficha":"0007"})", true, "123456", "0007", "", "0"},
        // Numbers read as their two-decimal text between double quotes: cut, and no row matches.
        {"JSON numbers", R"({"prog":123456,"ficha":7})", true, "\"12345", "\"7.0", "", "0"},
        {"number texts as strings", R"({"prog":"\"123456.00\"","ficha":"\"7.00\""})", true, "\"12345", "\"7.0", "",
         "0"},
        // Cut to 6 it would read 000123, a programme that exists: the look-up must still find nothing.
        {"an 8-character programme", R"({"prog":"00012399","ficha":"0001"})", true, "000123", "0001", "", "0"},
        {"a 5-character ticket", R"({"prog":"000123","ficha":"00011"})", true, "000123", "0001", "", "0"},
        {"keys in another case", R"({"PROG":"000123","Ficha":"0002"})", true, "000123", "0002", "P200", "12"},
        {"other members ignored", R"({"x":[1,{"y":2}],"prog":"000123","ficha":"0002","z":null})", true, "000123",
         "0002", "P200", "12"},
        {"a blank before the brace", R"( {"prog":"000123","ficha":"0001"})", false},
        {"an array", R"([{"prog":"000123","ficha":"0001"}])", false},
        {"an empty ficha", R"({"prog":"000123","ficha":""})", false},
        {"an empty prog", R"({"prog":"","ficha":"0001"})", false},
        {"no ficha", R"({"prog":"000123"})", false},
        // Their text could be hundreds of megabytes: a repeated key writes its first value again.
        {"an object as ficha", R"({"prog":"000123","ficha":{"a":[1e308,1e308],"a":0,"a":0}})", false},
        {"an array as prog", R"({"prog":["000123"],"ficha":"0001"})", false},
        {"no prog", R"({"ficha":"0001"})", false},
        {"an empty datagram", "", false},
        {"not JSON", "{prog", false},
        {"an unclosed object", R"({"prog":"000123","ficha":"0001")", false},
        {"an unclosed comment", R"({"prog":"000123", /* "ficha":"0001"})", false},
        {"a NUL first", std::string("\0{\"prog\":\"000123\",\"ficha\":\"0001\"}", 34), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FeedRig rig;
        rig.entries.HandleDatagram(c.datagram);
        ASSERT_EQ(rig.count(), c.added ? 1 : 0);
        EXPECT_TRUE(rig.display.messages.empty());
        EXPECT_TRUE(rig.boxes.take().empty());
        if (!c.added) {
            continue;
        }
        EXPECT_EQ(rig.at(0, "PROG"), c.prog);
        EXPECT_EQ(rig.at(0, "FICHA"), c.ficha);
        EXPECT_EQ(rig.at(0, "PRODUTO"), c.produto);
        EXPECT_EQ(rig.at(0, "QTDE_PAR"), c.pares);
        if (std::string(c.produto).empty()) {
            for (const char* f : {"PRODUTO_DESC", "PADRON", "PADRON_DESC", "MARCA", "MARCA_DESC", "OBS_PRODUCAO"}) {
                EXPECT_EQ(rig.at(0, f), "") << f;
            }
        }
    }
}

TEST(RecentEntries, AnEntryCarriesTheLookedUpFields) {
    FeedRig rig;
    rig.entries.AddRecentEntry("000123", "0001");
    ASSERT_EQ(rig.count(), 1);
    const std::pair<const char*, const char*> expected[] = {
        {"PROG", "000123"},    {"FICHA", "0001"},
        {"PRODUTO", "P100"},   {"PRODUTO_DESC", "TENIS CORRIDA"},
        {"PADRON", "00001"},   {"PADRON_DESC", "AZUL"},
        {"MARCA", "M1"},       {"MARCA_DESC", "MARCA UM"},
        {"QTDE_PAR", "1.234"}, {"OBS_PRODUCAO", "COSTURA DUPLA"},
    };
    for (const auto& [field, value] : expected) {
        EXPECT_EQ(rig.at(0, field), value) << field;
    }
    // Pictures are off: nothing was looked up.
    EXPECT_EQ(rig.pictureAt(0), "");
}

TEST(RecentEntries, TheListKeepsTheNewestUpToItsCapacity) {
    for (int capacity : {5, 1, 0}) {
        SCOPED_TRACE(capacity);
        FeedRig rig;
        rig.entries.Start(capacity);
        std::vector<std::string> sent;
        for (int i = 1; i <= 6; ++i) {
            const std::string ficha = "000" + std::to_string(i);
            sent.push_back(ficha);
            rig.entries.HandleDatagram(R"({"prog":"000999","ficha":")" + ficha + "\"}");
            EXPECT_EQ(rig.count(), std::min(i, capacity));
        }
        // Newest first: the sixth on top, the first gone.
        for (int row = 0; row < rig.count(); ++row) {
            EXPECT_EQ(rig.at(row, "FICHA"), sent[sent.size() - 1 - static_cast<std::size_t>(row)]);
        }
    }
}

TEST(RecentEntries, TheSameTicketTwiceAppearsTwice) {
    FeedRig rig;
    rig.entries.HandleDatagram(R"({"prog":"000123","ficha":"0002"})");
    rig.entries.HandleDatagram(R"({"prog":"000123","ficha":"0002"})");
    ASSERT_EQ(rig.count(), 2);
    EXPECT_EQ(rig.at(0, "PRODUTO"), "P200");
    EXPECT_EQ(rig.at(1, "PRODUTO"), "P200");
}

TEST(RecentEntries, PicturesComeFromTheCatalogueWhenOn) {
    struct Case {
        const char* ficha;
        const char* prog;
        bool imagesOn;
        const std::string FeedRig::*picture; // null: none
    } cases[] = {
        {"0001", "000123", true, &FeedRig::medium}, // medium and small: the medium one
        {"0002", "000123", true, &FeedRig::small},  // small only
        {"0001", "000124", true, nullptr},          // no catalogue row
        {"0007", "123456", true, nullptr},          // no ticket at all
        {"0001", "000123", false, nullptr},         // pictures off
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.prog) + "/" + c.ficha + (c.imagesOn ? " on" : " off"));
        FeedRig rig;
        rig.ctx.ImagesOn = c.imagesOn;
        if (!c.imagesOn) {
            rig.ctx.sqlConCat.setDatabase(rig.db.dir() + "/no-catalogue.fdb"); // must not be opened
        }
        rig.entries.AddRecentEntry(c.prog, c.ficha);
        ASSERT_EQ(rig.count(), 1);
        EXPECT_EQ(rig.pictureAt(0), c.picture ? rig.*(c.picture) : std::string());
    }
}

TEST(RecentEntries, ADatabaseErrorAddsNoHalfFilledEntryAndACatalogueAwayOnlyItsPicture) {
    FeedRig rig;
    rig.entries.HandleDatagram(R"({"prog":"000123","ficha":"0002"})");
    ASSERT_EQ(rig.count(), 1);
    // The ticket cannot be read (a main database without its tables): nothing is added.
    TestDb empty{Schema::Empty};
    rig.ctx.sqlCon.close();
    rig.ctx.sqlCon.setDatabase(empty.path());
    EXPECT_ANY_THROW(rig.entries.AddRecentEntry("000123", "0001"));
    rig.entries.HandleDatagram(R"({"prog":"000123","ficha":"0001"})");
    ASSERT_EQ(rig.count(), 1);
    EXPECT_EQ(rig.at(0, "FICHA"), "0002");
    EXPECT_EQ(rig.entries.cdsUltEnt.state(), db::MemTable::State::Browse);
    EXPECT_TRUE(rig.display.messages.empty());
    EXPECT_TRUE(rig.boxes.take().empty());
    rig.ctx.sqlCon.close();
    rig.ctx.sqlCon.setDatabase(rig.db.path());
    // The picture look-up fails (a catalogue without its table): the entry comes without its picture.
    rig.ctx.sqlConCat.close();
    rig.ctx.sqlConCat.setDatabase(empty.path());
    rig.ctx.ImagesOn = true;
    rig.entries.HandleDatagram(R"({"prog":"000123","ficha":"0001"})");
    ASSERT_EQ(rig.count(), 2);
    EXPECT_EQ(rig.at(0, "PRODUTO"), "P100");
    EXPECT_EQ(rig.pictureAt(0), "");
    EXPECT_TRUE(rig.boxes.take().empty());
    rig.ctx.sqlConCat.close();
}

TEST(RecentEntries, TextsLongerThanTheirColumnsAreNoDatabaseError) {
    FeedRig rig;
    for (const auto& [prog, ficha] : {std::pair<std::string, std::string>{"\"123456.00\"", "\"7.00\""},
                                      {"0001234", "0001"},
                                      {"000123", "00012"},
                                      {std::string(8000, 'x'), std::string(100, 'y')}}) {
        SCOPED_TRACE(prog.substr(0, 12));
        EXPECT_NO_THROW(rig.entries.AddRecentEntry(prog, ficha));
        EXPECT_EQ(rig.at(0, "PROG"), prog.substr(0, 6));
        EXPECT_EQ(rig.at(0, "FICHA"), ficha.substr(0, 4));
        EXPECT_EQ(rig.at(0, "PRODUTO"), "");
    }
}

TEST(RecentEntries, NothingIsHandledBeforeTheFeedStarts) {
    TestDb db{Schema::Main};
    RecordingDisplay display;
    StationContext ctx{display};
    ctx.sqlCon.setDatabase(db.path());
    ProductPictures pictures{ctx.sqlConCat};
    RecentEntries entries{ctx, pictures};
    EXPECT_FALSE(entries.started());
    entries.HandleDatagram(R"({"prog":"000123","ficha":"0001"})");
    EXPECT_EQ(entries.cdsUltEnt.recordCount(), 0);
    entries.Start(5);
    entries.HandleDatagram(R"({"prog":"000123","ficha":"0001"})");
    EXPECT_EQ(entries.cdsUltEnt.recordCount(), 1);
    // Started again (a new start-up): empty.
    entries.Start(5);
    EXPECT_EQ(entries.cdsUltEnt.recordCount(), 0);
    ctx.sqlCon.close();
}

} // namespace
