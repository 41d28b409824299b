// The sector-sequence validation against a test database with the route of a small shoe factory.
#include "validation/TdmProducaoValidacao.h"

#include "db/DbError.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>

using namespace vek;
using validation::TdmProducaoValidacao;
using Strings = std::vector<std::string>;

namespace {

const char* const kProg = "000123";
const std::string kPassed = "passed";

/// Windows-1252 of a UTF-8 text of Latin-1 letters, decoded here so that the module's bytes are checked.
std::string refused(const char* utf8) {
    std::string out = "refused: ";
    for (auto p = reinterpret_cast<const unsigned char*>(utf8); *p; ++p) {
        if ((*p == 0xC2 || *p == 0xC3) && (p[1] & 0xC0) == 0x80) {
            out += static_cast<char>(((p[0] & 0x1F) << 6) | (p[1] & 0x3F));
            ++p;
        } else {
            out += static_cast<char>(*p);
        }
    }
    return out;
}

std::string outcome(const validation::TRetorno& r) {
    return r.Valido ? (r.Mensagem.empty() ? kPassed : "passed with " + r.Mensagem) : "refused: " + r.Mensagem;
}

std::string lit(const std::string& v) { // an SQL string literal
    std::string out = "'";
    for (char c : v) out += c == '\'' ? "''" : std::string(1, c);
    return out + "'";
}

/// Route: 10 cutting; 20 sewing, grouping the lines 21 and 22; 30 assembly after the sewing group;
/// 40 dispatch (tickets only). Kind sectors 41 "U", 42 none, 43 "S"; 50 outside the sequence (kind
/// "U", its row naming group 20). PRD1 passes 10 to 43, PRD2 has no sector rows, PRD3 passes 10 and
/// 30, PRD4 passes 10, 20, 21 and 30. Ticket 000123/0001 has a PRODUCAO row.
class Validation : public ::testing::Test {
protected:
    void SetUp() override {
        for (auto [code, previous, group, kind, seq] : {std::tuple{"10", "", "", "N", "S"},
                                                        {"20", "10", "", "N", "S"},
                                                        {"21", "10", "20", "N", "S"},
                                                        {"22", "10", "20", "N", "S"},
                                                        {"30", "20", "", "N", "S"},
                                                        {"40", "30", "", "F", "S"},
                                                        {"41", "", "", "U", "S"},
                                                        {"42", "", "", "", "S"},
                                                        {"43", "", "", "S", "S"},
                                                        {"50", "", "20", "U", "N"},
                                                        {"1'", "", "", "N", "S"}}) {
            m_previous[code] = previous;
            seed("insert into SETOR (COD_SE, SETORANT_SE, ORDEM_SE, SETOR_AGRUP_SE, TIPO_ATU_PRODUCAO_SETOR_SE, "
                 "SEQPROD_SE) values (" +
                 lit(code) + ", " + lit(previous) + ", " + std::to_string(++m_order) + ", " +
                 (*group ? lit(group) : "null") + ", " + (*kind ? lit(kind) : "null") + ", '" + seq + "')");
        }
        for (auto [prod, sectors] : {std::pair{"PRD1", Strings{"10", "20", "21", "22", "30", "40", "41", "42", "43"}},
                                     {"PRD3", {"10", "30"}},
                                     {"PRD4", {"10", "20", "21", "30"}}}) {
            for (const auto& s : sectors)
                seed("insert into PRODUTO_SETOR values ('" + std::string(prod) + "', '" + s + "')");
        }
        seed("insert into PRODUCAO values ('000123', '0001', 12)");
    }
    void seed(const std::string& sql) { m_seed += sql + ";\n"; }
    /// One row of the ticket: "sector[/sub-ticket[/COLUMN=value]]"; with `box`, a row of the box
    /// instead (in PRODUCAO_SETOR_CXUNIT).
    void row(const std::string& where, const std::string& ficha, std::optional<std::int32_t> box = {}) {
        Strings part{""};
        for (char c : where) {
            if (c == '/')
                part.emplace_back();
            else
                part.back().push_back(c);
        }
        part.resize(3);
        if (box) {
            seed("insert into PRODUCAO_SETOR_CXUNIT (ID_PU, SETOR_PU, CODCXUNIT_PU) values (" +
                 std::to_string(++m_boxRows) + ", " + lit(part[0]) + ", " + std::to_string(*box) + ")");
            return;
        }
        const auto eq = part[2].find('=');
        seed("insert into PRODUCAO_SETOR (ID_PS, PROG_PS, FICHA_PS, SUBFICHA_PS, SETOR_PS" +
             (part[2].empty() ? "" : ", " + part[2].substr(0, eq)) + ") values (0, '000123', " + lit(ficha) + ", " +
             lit(part[1].empty() ? "0000" : part[1]) + ", " + lit(part[0]) +
             (part[2].empty() ? "" : ", " + part[2].substr(eq + 1)) + ")");
    }

    struct Case {
        const char* what;
        const char* setor;
        Strings rows; // of the case's ticket, or of its box for ValidarCxUnit ("T:" a ticket row there)
        std::string result;
        const char* produto = "PRD1";
        const char* previous = nullptr; // the sector's SETORANT_SE when not given
        const char* prog = kProg;
        const char* ficha = nullptr; // a ticket of the case's own when not given
    };
    /// The context the station would build; each case gets a ticket (with a PRODUCAO row unless
    /// `production` is false) and a box code of its own.
    validation::TDadosValidacao context(const Case& c, const char* kind, const char* sub, std::int32_t colet,
                                        bool production = true) {
        const std::string ficha = c.ficha ? c.ficha : std::to_string(++m_ticket);
        if (!c.ficha && production) seed("insert into PRODUCAO values ('000123', '" + ficha + "', 1)");
        ++m_box;
        for (const std::string& r : c.rows) {
            r.rfind("T:", 0) == 0 ? row(r.substr(2), ficha)
                                  : row(r, ficha, *kind == 'U' ? std::optional(m_box) : std::nullopt);
        }
        if (!m_seed.empty()) m_db.exec(m_seed);
        m_seed.clear();
        return validation::TDadosValidacao(c.produto, c.setor, c.prog, ficha, sub,
                                           c.previous ? c.previous : m_previous[c.setor], kind, colet, *m_conn);
    }
    std::string ficha(const Case& c, const char* kind = "F", const char* sub = "0000", std::int32_t colet = 0,
                      bool production = true) {
        const auto dados = context(c, kind, sub, colet, production);
        return outcome(TdmProducaoValidacao(dados).ValidarFicha());
    }
    std::string cxUnit(const Case& c, bool checkPrevious = true, std::optional<std::int32_t> code = {}) {
        const auto dados = context(c, "U", "0000", 0);
        return outcome(TdmProducaoValidacao(dados).ValidarCxUnit(code.value_or(m_box), checkPrevious));
    }

    test::TestDb m_db;
    std::unique_ptr<db::Connection> m_conn = m_db.connect();
    std::map<std::string, std::string> m_previous;
    std::string m_seed;
    int m_order = 0, m_ticket = 1000, m_boxRows = 0;
    std::int32_t m_box = 900000;
};

TEST(ValidationText, PreviousSectorListSplitsAsTheSectorTableWritesIt) {
    const std::pair<const char*, Strings> cases[] = {
        {"", {}},
        {"   ", {}},
        {"01,02", {"01", "02"}},
        {"01, 02", {"01", "02"}},
        {"01 ,02", {"01", "02"}},
        {"01 02", {"01", "02"}},
        {" \t01\r\n,02 ", {"01", "02"}},
        {"01,,02", {"01", "", "02"}},
        {"01 ,, 02", {"01", "", "02"}},
        {"01,", {"01", ""}},
        {"01, ", {"01"}},
        {",01", {"", "01"}},
        {", ,", {"", "", ""}},
        {"\"0 1\",02", {"0 1", "02"}},
        {"\"01,02\"", {"01,02"}},
        {"\"\",01", {"", "01"}},
        {"\"a\"\"b\" c", {"a\"b", "c"}},
        {"\"01", {"01"}},
        {"\"01\"x,02", {"01", "x", "02"}},
        {"01\"02", {"01\"02"}},
        {"1',2", {"1'", "2"}},
        {"\xC9X,02", {"\xC9X", "02"}},
    };
    for (const auto& [text, items] : cases) {
        EXPECT_EQ(TdmProducaoValidacao::ItensSetorAnterior(text), items) << "text [" << text << "]";
    }
}

TEST_F(Validation, PreviousSectorsAskedInListOrder) {
    // ValidarSetorAnterior with a test that answers from `done` and notes what it is asked.
    const struct {
        const char* what;
        const char* produto;
        const char* list;
        std::set<std::string> done;
        std::string result;
        Strings asked;
    } cases[] = {
        {"no item", "PRD1", ", ,", {}, kPassed, {}},
        {"empty items skipped", "PRD1", "10,,30", {"10", "30"}, kPassed, {"10", "30"}},
        {"blanks and quotes", "PRD1", " \"10\" 30 ", {"10", "30"}, kPassed, {"10", "30"}},
        {"filtered by the product's sectors", "PRD3", "10, 20 21,30,", {"10", "30"}, kPassed, {"10", "30"}},
        {"duplicates stay", "PRD3", "30,10,30", {"10", "30"}, kPassed, {"30", "10", "30"}},
        {"no product sectors: the list stays", "PRD2", "10,99", {"10", "99"}, kPassed, {"10", "99"}},
        {"the first not done refuses and ends",
         "PRD1",
         "10,30,40",
         {"30"},
         refused("Setor anterior 10 não foi baixado!"),
         {"10"}},
        {"group done in itself", "PRD1", "20", {"20"}, kPassed, {"20"}},
        {"group done in its second member", "PRD1", "20", {"22"}, kPassed, {"20", "21", "22"}},
        {"group done nowhere", "PRD1", "20", {}, refused("Setor anterior 20 não foi baixado!"), {"20", "21", "22"}},
        {"a later item does not overwrite the group",
         "PRD1",
         "20,10",
         {"10"},
         refused("Setor anterior 20 não foi baixado!"),
         {"20", "21", "22"}},
        {"a member the product does not pass through",
         "PRD4",
         "10,20",
         {"10", "22"},
         refused("Setor anterior 20 não foi baixado!"),
         {"10", "20", "21"}},
    };
    for (const auto& c : cases) {
        const auto dados = context({c.what, "30", {}, "", c.produto, c.list}, "F", "0000", 0);
        Strings asked;
        const auto r = TdmProducaoValidacao(dados).ValidarSetorAnterior([&](const std::string& s) {
            asked.push_back(s);
            return c.done.count(s) > 0;
        });
        EXPECT_EQ(outcome(r), c.result) << c.what;
        EXPECT_EQ(asked, c.asked) << c.what;
    }
}

TEST_F(Validation, SharedStepsAlone) {
    const auto dados = context({"", "10", {}, ""}, "F", "0000", 0);
    TdmProducaoValidacao v(dados);
    const std::string notHere = refused("Produto não atualiza neste setor."),
                      kind = refused("Tipo de Atualização Inválida para o Setor.");
    EXPECT_EQ(outcome(v.ValidarProdutoSetor("PRD1", "21")), kPassed);
    EXPECT_EQ(outcome(v.ValidarProdutoSetor("PRD3", "21")), notHere);
    EXPECT_EQ(outcome(v.ValidarProdutoSetor("PRD3", "1")), notHere) << "exact match";
    EXPECT_EQ(outcome(v.ValidarProdutoSetor("PRD1", "50")), notHere) << "outside the sequence";
    EXPECT_EQ(outcome(v.ValidarProdutoSetor("PRD2", "21")), kPassed) << "no sector rows: every sector";
    // "<sector> <kind> <+ passes | - refused>"
    for (std::string k :
         {"10 U +", "40 F +", "40 U -", "41 U +", "41 F -", "42 F -", "43 S +", "43 T -", "50 F +", "99 F +"}) {
        EXPECT_EQ(outcome(v.TipoAtualizacaoValido(k.substr(0, 2), k.substr(3, 1))), k[5] == '+' ? kPassed : kind) << k;
    }
    EXPECT_EQ(v.GrupoDoSetor("21"), "20");
    EXPECT_EQ(v.GrupoDoSetor("20"), "");
    EXPECT_EQ(v.GrupoDoSetor("50"), "") << "outside the sequence";
}

TEST_F(Validation, WholeTicket) {
    const Case cases[] = {
        {"after the sewing group", "30", {"10", "21"}, kPassed},
        {"the previous group done in its second member only", "30", {"22"}, kPassed},
        {"the previous group done nowhere", "30", {"10", "22/0001"}, refused("Setor anterior 20 não foi baixado!")},
        {"the previous sectors come before the product check",
         "21",
         {},
         refused("Setor anterior 10 não foi baixado!"),
         "PRD3"},
        {"a product that does not pass through the sector",
         "21",
         {"10"},
         refused("Produto não atualiza neste setor."),
         "PRD3"},
        {"a sector of another kind", "41", {}, refused("Tipo de Atualização Inválida para o Setor.")},
        {"a sub-ticket already in the sector", "10", {"10/0001"}, refused("Prog./Ficha possui subfichas baixadas.")},
        {"already in the sector", "10", {"10"}, refused("Ficha já atualizada neste setor.")},
        {"in another member of the group",
         "21",
         {"10", "22"},
         refused("Ficha já atualizada em outro setor do mesmo grupo.")},
        {"in the grouping sector", "21", {"10", "20"}, refused("Ficha já atualizada no setor de Agrupamento.")},
        {"the grouping sector, a member holding it",
         "20",
         {"10", "22", "20"},
         refused("Ficha atualizada no setor \"22\" desse Agrupamento")},
        {"no group: other sectors do not matter", "40", {"10", "21", "30"}, kPassed},
        {"outside the sequence: no kind rule, no group", "50", {"21"}, kPassed, "PRD2"},
        {"outside the sequence, already there", "50", {"50"}, refused("Ficha já atualizada neste setor."), "PRD2"},
        // Quotes are values, not statement text; too long for their column, they match no row.
        {"a previous sector with a quote",
         "30",
         {"21"},
         refused("Setor anterior 2' não foi baixado!"),
         "PRD2",
         "\"2'\""},
        {"a previous sector with a quote, done", "30", {"1'"}, kPassed, "PRD2", "1'"},
        {"a previous sector that would match any row",
         "30",
         {"21"},
         refused("Setor anterior x' or ''=' não foi baixado!"),
         "PRD2",
         "\"x' or ''='\""},
        {"a sector with a quote", "1'", {"1'"}, refused("Ficha já atualizada neste setor."), "PRD2"},
        {"a sector that would match any row", "x' or ''='", {"21"}, kPassed, "PRD2"},
        {"a programme with a quote",
         "30",
         {"21"},
         refused("Setor anterior 20 não foi baixado!"),
         "PRD2",
         nullptr,
         "0'0123"},
        {"a programme that would match any row",
         "30",
         {"21"},
         refused("Setor anterior 20 não foi baixado!"),
         "PRD2",
         nullptr,
         "' or ''='"},
        {"a ticket with a quote",
         "30",
         {},
         refused("Setor anterior 20 não foi baixado!"),
         "PRD2",
         nullptr,
         kProg,
         "0'01"},
    };
    for (const Case& c : cases) EXPECT_EQ(ficha(c), c.result) << c.what;
    EXPECT_EQ(ficha({"", "10", {}, ""}, "F", "0000", 0, false), refused("Prog./Ficha não encontrada."));
    EXPECT_EQ(ficha({"", "10", {"10/0001"}, ""}, "F", "0000", 0, false), refused("Prog./Ficha não encontrada."));
}

TEST_F(Validation, SubTicket) {
    const Case cases[] = {
        {"a first sector", "10", {}, kPassed},
        {"the whole ticket in the sector", "10", {"10"}, refused("A ficha principal já foi baixada")},
        {"another sub-ticket in the sector", "10", {"10/0002"}, kPassed},
        {"this sub-ticket in the sector", "10", {"10/0001"}, refused("Ficha já atualizada neste setor.")},
        {"the whole ticket in the previous group", "30", {"21"}, kPassed},
        {"this sub-ticket in the previous group", "30", {"22/0001"}, kPassed},
        {"only another sub-ticket in the previous group",
         "30",
         {"21/0002"},
         refused("Setor anterior 20 não foi baixado!")},
        {"a sector for sub-tickets", "43", {}, kPassed},
        {"a sector for unit boxes", "41", {}, refused("Tipo de Atualização Inválida para o Setor.")},
    };
    for (const Case& c : cases) {
        seed("insert into SUBPROD values (" + std::to_string(m_ticket + 1) + ", '000123', '" +
             std::to_string(m_ticket + 1) + "', '0001', '38', 6, null)");
        EXPECT_EQ(ficha(c, "S", "0001"), c.result) << c.what;
    }
    EXPECT_EQ(ficha({"", "10", {}, ""}, "S", "0001"), refused("SubFicha não encontrada."));
}

TEST_F(Validation, CollectiveBox) {
    seed("insert into ITENSPV (PEDIDO_IT, ITEM_IT, PROD_IT) values ('PED00001', '001', 'PRD1')");
    seed("insert into ITENSPV (PEDIDO_IT, ITEM_IT, PROD_IT) values ('', '001', 'PRD1')"); // a blank order: cancelled
    for (const char* box :
         {"5001, 'PED00001', 'T5001', null", "5002, 'PED00009', 'T', null", "5003, '', '  ', '2024-03-05 14:07:33'",
          "5004, '', 'T5004', '2024-03-05 14:07:33'", "5005, 'PED00001', null, null"}) {
        seed(std::string("insert into CODCXCOLET (CODIGO_CX, PEDIDO_CX, TALAO_CX, DATA_CANC_CX, ITEMPED_CX) values (") +
             box + ", '001')");
    }
    const std::pair<std::int32_t, Case> cases[] = {
        {5001, {"a box of the sub-ticket", "10", {"30/0001/CODCXCOLET_PS=5001"}, kPassed}},
        {4321, {"a code that does not exist", "10", {}, refused("Cód. Cx Colet. \"4321\" não localizado.")}},
        {-7, {"a negative code", "10", {}, refused("Cód. Cx Colet. \"-7\" não localizado.")}},
        {5002, {"without its order item", "10", {}, refused("Cód. Cx Colet. \"5002\" não localizado.")}},
        {5003, {"a blank ticket label, before the cancellation", "10", {}, refused("Talão inválido ou não gerado.")}},
        {5005, {"no ticket label", "10", {}, refused("Talão inválido ou não gerado.")}},
        {5004, {"cancelled", "10", {}, refused("Cx Colet. CANCELADA em 05/03 14:07.")}},
        {5001, {"the whole ticket in the sector", "10", {"10"}, refused("A ficha principal já foi baixada")}},
        {5001, {"the sub-ticket as a whole", "10", {"10/0001"}, refused("SubFicha Principal já baixada.")}},
        {5001,
         {"the same, zeros written out",
          "10",
          {"10/0001/ID_SUBPROD_PS, CODCXCOLET_PS=0, 0"},
          refused("SubFicha Principal já baixada.")}},
        {5001,
         {"this box in the sector",
          "10",
          {"10/0001/CODCXCOLET_PS=5001"},
          refused("Cód. Cx Colet. ou Cód. SubFicha já baixado.")}},
        {5001,
         {"a sub-production part",
          "10",
          {"10/0001/ID_SUBPROD_PS=7"},
          refused("Cód. Cx Colet. ou Cód. SubFicha já baixado.")}},
        {5001,
         {"a raw-material part",
          "10",
          {"10/0001/SUBPROD_MPRIMA_ID_PS=3"},
          refused("Cód. Cx Colet. ou Cód. SubFicha já baixado.")}},
    };
    for (const auto& [code, c] : cases) EXPECT_EQ(ficha(c, "T", "0001", code), c.result) << c.what;
}

TEST_F(Validation, UnitBox) {
    const Case cases[] = {
        {"no row at all", "10", {}, kPassed},
        {"the previous group done nowhere", "30", {}, refused("Setor anterior 20 não foi baixado!")},
        {"the ticket, not the box, in the previous group",
         "30",
         {"T:21", "T:22", "T:20"},
         refused("Setor anterior 20 não foi baixado!")},
        {"in the second member of the previous group", "30", {"22"}, kPassed},
        {"in the previous grouping sector", "30", {"20"}, kPassed},
        {"already in the sector", "21", {"10", "21"}, refused("Ficha já atualizada neste setor.")},
        {"in another member of the group",
         "21",
         {"10", "22"},
         refused("Ficha já atualizada em outro setor do mesmo grupo.")},
        {"in the grouping sector", "22", {"10", "20"}, refused("Ficha já atualizada no setor de Agrupamento.")},
        {"the grouping sector, a member holding it",
         "20",
         {"10", "21"},
         refused("Ficha atualizada no setor \"21\" desse Agrupamento")},
        {"no group: other sectors do not matter", "30", {"10", "21", "40"}, kPassed},
        {"a sector for tickets", "40", {"30"}, refused("Tipo de Atualização Inválida para o Setor.")},
        {"a sector for unit boxes", "41", {}, kPassed},
        {"a sector without a kind", "42", {}, refused("Tipo de Atualização Inválida para o Setor.")},
        {"outside the sequence", "50", {"21"}, kPassed, "PRD2"},
        {"a previous sector the product does not pass through", "30", {}, kPassed, "PRD3"},
        {"a previous sector with a quote", "10", {"1'"}, kPassed, "PRD2", "1'"},
        {"a previous sector that would match any row",
         "10",
         {"21"},
         refused("Setor anterior x' or ''=' não foi baixado!"),
         "PRD2",
         "\"x' or ''='\""},
    };
    for (const Case& c : cases) EXPECT_EQ(cxUnit(c), c.result) << c.what;
    // Switch off: no previous sector is asked for; the other rules stay.
    EXPECT_EQ(cxUnit({"", "30", {}, ""}, false), kPassed);
    EXPECT_EQ(cxUnit({"", "21", {"21"}, ""}, false), refused("Ficha já atualizada neste setor."));
    EXPECT_EQ(cxUnit({"", "21", {}, "", "PRD3"}, false), refused("Produto não atualiza neste setor."));
    EXPECT_EQ(cxUnit({"", "30", {"22"}, ""}, true, m_box + 2), refused("Setor anterior 20 não foi baixado!"))
        << "another box's row";
}

TEST(ValidationErrors, DatabaseErrorsPropagate) {
    test::TestDb empty(test::Schema::Empty);
    auto c = empty.connect();
    const validation::TDadosValidacao dados("PRD1", "10", "000123", "0001", "0000", "", "F", 0, *c);
    EXPECT_THROW(TdmProducaoValidacao(dados).ValidarFicha(), db::DbError);
    EXPECT_THROW(TdmProducaoValidacao(dados).ValidarCxUnit(1, false), db::DbError);
}

/// Box codes are whole 32-bit numbers, whatever numeric type an installation gives the box column.
class UnitBoxCodeColumn : public Validation, public ::testing::WithParamInterface<const char*> {};

TEST_P(UnitBoxCodeColumn, EveryThirtyTwoBitCodeFindsOnlyItsOwnRows) {
    m_db.exec("drop table PRODUCAO_SETOR_CXUNIT");
    m_db.exec(std::string("create table PRODUCAO_SETOR_CXUNIT (ID_PU integer not null primary key, PROG_PU char(6), "
                          "FICHA_PU char(4), SUBFICHA_PU char(4), SETOR_PU char(2), CODCXUNIT_PU ") +
              GetParam() + ")");
    // Each code with a neighbour that a narrower type would take for the same box.
    const std::pair<std::int32_t, std::int32_t> codes[] = {
        {2147483647, 2147483646}, {-2147483647 - 1, -2147483647}, {16777217, 16777216}, {-1, 0}};
    for (const auto& [code, neighbour] : codes) {
        row("22", "", code);      // the previous group, for the code only
        row("30", "", neighbour); // this sector, for the neighbour only
    }
    for (const auto& [code, neighbour] : codes) {
        EXPECT_EQ(cxUnit({"", "30", {}, ""}, true, code), kPassed) << code;
        EXPECT_EQ(cxUnit({"", "30", {}, ""}, true, neighbour), refused("Setor anterior 20 não foi baixado!")) << code;
        EXPECT_EQ(cxUnit({"", "30", {}, ""}, false, neighbour), refused("Ficha já atualizada neste setor.")) << code;
    }
}

INSTANTIATE_TEST_SUITE_P(Types, UnitBoxCodeColumn,
                         ::testing::Values("integer", "bigint", "double precision", "numeric(18,0)"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

} // namespace
