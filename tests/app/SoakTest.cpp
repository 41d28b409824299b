// Four stations on one server for about a minute, round after round, their scripts made to collide:
// two conveyors (ticket completion in sector 50, production stock on) and the sector stations 21 and
// 22 of group 20, which record boxes but never write them off. Afterwards the server's rows must tell
// one story with what each operator was shown.
#include "StationsTogether.h"
#include "support/Box.h"

#include <QString>

#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <set>

using namespace vek::test;

namespace {

constexpr int kTickets = 30, kBoxesPerTicket = 6; // unit boxes, programme 1RRRRR
constexpr int kSubTickets = 8, kQuantity = 4;     // tickets of three sub-tickets each, programme 2RRRRR
constexpr auto kBudget = std::chrono::seconds(50);
const char* const kStations[4] = {"01", "02", "21", "22"}; // conveyors, then sectors

QString digits(int v, int width) {
    return QStringLiteral("%1").arg(v, width, 10, QChar('0'));
}

struct Tally {
    int scans = 0, successes = 0, refusals = 0;
    std::vector<std::string> boxes;
};

class Soak : public ::testing::Test {
protected:
    void exec(const std::string& sql) const { m_db.connectRemote()->executeImmediate(sql); }
    std::string ini(int s) const {
        const std::string extra = s < 2 ? "SETOR_ATU_PRODUCAO_SETOR=50\r\n"
                                        : "ATU_PRODUCAO_SETOR_CXUNIT=S\r\nFUNCIONARIO=7\r\nULTIMO_SETOR_ATU_CXUNIT=40"
                                          "\r\nSETOR=" +
                                              std::string(kStations[s]) + "\r\n";
        return "[ESTEIRA]\r\nBDADOS=" + m_db.remoteLocation() + "\r\nCODESTEIRA=" + kStations[s] +
               "\r\nEXIBIR_IMG_PRODUTO=N\r\n" + extra;
    }

    void SetUp() override {
        for (const char* sql :
             {"insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('ATU_CAIXA_UNITARIA', 'MSG_CONLUSAO', 'S')",
              "insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('PRODUCAO_ESTOQUE', 'FILIAL_ESTOQUE', '5')",
              "insert into PRODUTO (COD_PR, GRUPO_PR) values ('P100', '20')",
              "insert into SETOR (COD_SE, NOME_SE, SETORANT_SE, ORDEM_SE, SETOR_AGRUP_SE, TIPO_ATU_PRODUCAO_SETOR_SE, "
              "TIPO_OPERACAO_SE, SEQPROD_SE) select '20', 'COSTURA', '', 1, '', 'N', 'P', 'S' from RDB$DATABASE union "
              "all select '21', 'LINHA 1', '', 2, '20', 'N', 'P', 'S' from RDB$DATABASE union all select '22', "
              "'LINHA 2', '', 2, '20', 'N', 'P', 'S' from RDB$DATABASE union all select '50', 'EXPEDICAO', '', 3, '', "
              "'F', 'P', 'S' from RDB$DATABASE",
              "insert into PRODUTO_SETOR (CODIGO_PRODUTO_PS, CODIGO_SETOR_PS) select 'P100', COD_SE from SETOR"})
            exec(sql);
    }

    // Round r's rows: its own programmes, order and pattern, so each round also creates new stock items.
    void addRound(int r) const {
        const std::string unitBox = Box("{BASE} + :t * 10 + :k")
                                        .prod("P100")
                                        .padron("{PAD}")
                                        .set("TAM_CX", "37 + mod(:k, 3)")
                                        .prog("{UNIT}")
                                        .set("FICHA_CX", ":f")
                                        .pedido("{PED}")
                                        .set("ITEM_CX", ":it")
                                        .emitted()
                                        .sql();
        const std::string subTicketBox = Box("{BASE} + 5000 + :t * 100 + :j * 10 + :k")
                                             .prod("P100")
                                             .padron("{PAD}")
                                             .set("TAM_CX", "39 + :j")
                                             .prog("{SUB}")
                                             .set("FICHA_CX", ":f")
                                             .pedido("{PED}")
                                             .set("ITEM_CX", ":it")
                                             .emitted()
                                             .sql();
        QString psql =
            QString::fromStdString(
                "execute block as declare t integer = 1; declare j integer; declare k integer; declare f char(4); "
                "declare it char(3); begin "
                "while (t <= %1 + %2) do begin f = lpad(cast(t as varchar(4)), 4, '0'); "
                "it = lpad(cast(t as varchar(3)), 3, '0'); "
                "insert into ITENSPV (PEDIDO_IT, ITEM_IT, PROD_IT, PADRON_IT, PROG_IT, FICHA_IT, SIT_IT) "
                "values ('{PED}', :it, 'P100', '{PAD}', iif(:t <= %1, '{UNIT}', '{SUB}'), :f, 'P'); "
                "k = 37; while (k <= 42) do begin insert into ITENSPVGRADE (PEDIDO_IT, ITEM_IT, TAM_IT, QTPED_IT) "
                "values ('{PED}', :it, :k, 1000); k = k + 1; end "
                "if (t <= %1) then begin "
                "insert into PRODUCAO (PROG_PR, FICHA_PR, QTDE_PR) values ('{UNIT}', :f, %3); "
                "k = 1; while (k <= %3) do begin " +
                unitBox +
                "; k = k + 1; end "
                "end else begin "
                // Sub-ticket j of size 39 + j, with 2 to 6 pending boxes for its quantity.
                "j = 1; while (j <= 3) do begin insert into SUBPROD (ID_PR, PROG_PR, FICHA_PR, SUBFICHA_PR, TAMA_PR, "
                "QTDE_PR) values ({BASE} + :t * 10 + :j, '{SUB}', :f, lpad(cast(:j as varchar(4)), 4, '0'), 39 + :j, "
                "%4); k = 1; while (k <= 2 + mod(t + j, 5)) do begin " +
                subTicketBox +
                "; k = k + 1; end j = j + 1; end "
                "end t = t + 1; end end")
                .arg(kTickets)
                .arg(kSubTickets)
                .arg(kBoxesPerTicket)
                .arg(kQuantity);
        const QString ped = digits(r, 8);
        psql.replace("{PED}", ped)
            .replace("{PAD}", "0" + digits(r, 4))
            .replace("{UNIT}", "1" + digits(r, 5))
            .replace("{SUB}", "2" + digits(r, 5))
            .replace("{BASE}", QString::number(r * 10000));
        exec("insert into PEDVENDA (NUM_PV, TIPO_PV, FILIAL_PV) values ('" + ped.toStdString() + "', 'EX', 0)");
        exec(psql.toStdString());
    }

    // One base order of every code, a ticket's boxes together; each station takes its share of it in
    // that order, shifted a little, so that the stations reach the same codes about the same time.
    std::vector<QStringList> scripts(int r) const {
        std::mt19937 random(20240611u + static_cast<unsigned>(r));
        std::vector<std::vector<QString>> groups;
        for (int t = 1; t <= kTickets; ++t) {
            std::vector<QString> boxes;
            for (int k = 1; k <= kBoxesPerTicket; ++k) boxes.push_back(QString::number(r * 10000 + t * 10 + k));
            std::shuffle(boxes.begin(), boxes.end(), random);
            groups.push_back(boxes);
        }
        for (int t = kTickets + 1; t <= kTickets + kSubTickets; ++t)
            for (int j = 1; j <= 3; ++j) groups.push_back({"22" + digits(r, 5) + digits(t, 4) + digits(j, 4)});
        std::shuffle(groups.begin(), groups.end(), random);
        const QString first = QString::number(r * 10000 + 11); // where all four meet first
        std::vector<std::vector<std::pair<double, QString>>> picks(4);
        std::uniform_real_distribution<double> jitter(0, 6), chance(0, 1);
        double at = 0;
        for (const auto& g : groups)
            for (const QString& code : g) {
                at += 1;
                if (code == first) continue;
                const bool subTicket = code.size() == 15;
                // A unit box goes to one conveyor or, half the time, to both, and to each sector station half
                // the time; a sub-ticket mostly to both conveyors, to no sector station.
                const double c = chance(random), both = subTicket ? 0.8 : 0.5;
                for (int s = 0; s < 2; ++s)
                    if (c < both || (c < (1 + both) / 2) == (s == 0)) picks[s].emplace_back(at + jitter(random), code);
                for (int s = 2; s < 4 && !subTicket; ++s)
                    if (chance(random) < 0.5) picks[s].emplace_back(at + jitter(random), code);
            }
        std::vector<QStringList> out(4);
        for (int s = 0; s < 4; ++s) {
            std::sort(picks[s].begin(), picks[s].end());
            out[s] << first;
            for (const auto& p : picks[s]) out[s] << p.second;
        }
        return out;
    }

    TestDb m_db{Schema::Main};
};

TEST_F(Soak, FourStationsForAMinute) {
    const auto start = std::chrono::steady_clock::now();
    Tally tally[4];
    std::map<std::string, std::vector<std::string>> boxWins;     // unit box -> conveyors that showed success
    std::multiset<std::pair<std::string, std::string>> recorded; // (box, sector) shown as a success
    std::map<std::string, std::vector<std::string>> subWins;     // "prog/ticket/sub" -> conveyors
    int rounds = 0;
    while (std::chrono::steady_clock::now() - start < kBudget) {
        const int r = ++rounds;
        addRound(r);
        const auto script = scripts(r);
        std::vector<StationSetup> setups;
        for (int s = 0; s < 4; ++s) setups.push_back({std::to_string(r) + "-" + kStations[s], ini(s), script[s]});
        const auto runs = runTogether(
            m_db, "update CODCXUNIT set TAM_CX = TAM_CX where CODIGO_CX = " + std::to_string(r * 10000 + 11), 4,
            setups);
        for (int s = 0; s < 4; ++s) {
            const auto shown = messagesOf(runs[s]);
            EXPECT_EQ(shown.size(), static_cast<std::size_t>(script[s].size())) << runs[s].errors.toStdString();
            for (std::string& b : boxesOf(runs[s])) tally[s].boxes.push_back(std::move(b));
            for (const auto& [input, message] : shown) {
                ++tally[s].scans;
                if (message != kUpdated) {
                    ++tally[s].refusals;
                    continue;
                }
                ++tally[s].successes;
                const std::string& code = input;
                if (code.size() == 15)
                    subWins[code.substr(1, 6) + "/" + code.substr(7, 4) + "/" + code.substr(11, 4)].push_back(
                        kStations[s]);
                else if (s < 2)
                    boxWins[code].push_back(kStations[s]);
                else
                    recorded.emplace(code, kStations[s]);
            }
        }
    }

    // Unit boxes: every one was given to a conveyor, so every one is written off, by the one
    // conveyor that showed its success.
    int wrongOwner = 0, unitWrittenOff = 0;
    for (const auto& row : serverRows(m_db, "select CODIGO_CX, ESTEIRA_CX from CODCXUNIT where DTBAIXA_CX is not "
                                            "null and PROG_CX starting with '1'")) {
        ++unitWrittenOff;
        const auto w = boxWins.find(row[0]);
        if (w == boxWins.end() || w->second != std::vector<std::string>{row[1]}) {
            if (++wrongOwner <= 5)
                std::printf("box %s written off by %s, success shown by %zu conveyor(s)\n", row[0].c_str(),
                            row[1].c_str(), w == boxWins.end() ? 0 : w->second.size());
        }
    }
    EXPECT_EQ(wrongOwner, 0);
    EXPECT_EQ(unitWrittenOff, rounds * kTickets * kBoxesPerTicket);
    EXPECT_EQ(boxWins.size(), static_cast<std::size_t>(unitWrittenOff)) << "a success for each box written off";

    // Sub-tickets: each scanned one marked; its boxes (its own ticket and size) written off up to its
    // quantity, all by the one station that showed its success.
    int wrongSub = 0;
    const Rows subs = serverRows(
        m_db, "select S.PROG_PR || '/' || S.FICHA_PR || '/' || S.SUBFICHA_PR, iif(S.DTBAIXA_PR is null, 0, 1), "
              "S.QTDE_PR, (select count(*) from CODCXUNIT C where C.PROG_CX = S.PROG_PR and C.FICHA_CX = "
              "S.FICHA_PR and C.TAM_CX = S.TAMA_PR), (select list(distinct ESTEIRA_CX) || ':' || count(*) from "
              "CODCXUNIT C where C.PROG_CX = S.PROG_PR and C.FICHA_CX = S.FICHA_PR and C.TAM_CX = S.TAMA_PR and "
              "C.DTBAIXA_CX is not null) from SUBPROD S");
    for (const auto& s : subs) {
        const auto w = subWins.find(s[0]);
        const int expected = std::min(std::stoi(s[2]), std::stoi(s[3]));
        const bool right = s[1] == "1" && w != subWins.end() && w->second.size() == 1 &&
                           s[4] == w->second[0] + ":" + std::to_string(expected);
        if (!right && ++wrongSub <= 5)
            std::printf("sub-ticket %s: marked %s, %zu success(es), written off %s of %d\n", s[0].c_str(), s[1].c_str(),
                        w == subWins.end() ? 0 : w->second.size(), s[4].c_str(), expected);
    }
    EXPECT_EQ(wrongSub, 0);
    EXPECT_EQ(subs.size(), static_cast<std::size_t>(rounds * kSubTickets * 3));

    // One completion row per ticket in sector 50, and its audit row.
    std::map<int, int> ticketsWith; // completion rows -> tickets
    const Rows completions = serverRows(m_db, "select (select count(*) from PRODUCAO_SETOR S where S.PROG_PS = "
                                              "P.PROG_PR and S.FICHA_PS = P.FICHA_PR and S.SETOR_PS = '50' and "
                                              "S.TIPO_ATUALIZACAO_PS = 'F') from PRODUCAO P");
    for (const auto& c : completions) ++ticketsWith[std::stoi(c[0])];
    EXPECT_EQ(ticketsWith, (std::map<int, int>{{1, rounds * kTickets}}));
    const int completionRows = serverCount(m_db, "PRODUCAO_SETOR where TIPO_ATUALIZACAO_PS = 'F'");
    EXPECT_EQ(serverCount(m_db, "LOG where ARQ_LG = 'PRODUCAO_SETOR'"), completionRows);
    EXPECT_EQ(serverCount(m_db, "LOG"), completionRows) << "no audit row without its change";

    // Sector rows: one per box in the group, each one a success its station showed.
    std::multiset<std::pair<std::string, std::string>> boxRows, productionRows;
    for (const auto& r : serverRows(m_db, "select CODCXUNIT_PU, SETOR_PU from PRODUCAO_SETOR_CXUNIT"))
        boxRows.emplace(r[0], r[1]);
    for (const auto& r : serverRows(m_db, "select CODCXUNIT_PS, SETOR_PS from PRODUCAO_SETOR where CODCXUNIT_PS > 0"))
        productionRows.emplace(r[0], r[1]);
    EXPECT_TRUE(boxRows == recorded) << boxRows.size() << " box rows, " << recorded.size() << " successes shown";
    EXPECT_TRUE(productionRows == recorded) << productionRows.size() << " production rows";
    EXPECT_EQ(serverCount(m_db, "(select CODCXUNIT_PU from PRODUCAO_SETOR_CXUNIT group by 1 having count(*) > 1)"), 0)
        << "boxes recorded twice in the group";

    // Production stock: one entry for each accepted scan (a box, or a sub-ticket's last box).
    int successes = 0;
    for (const Tally& t : tally) successes += t.successes;
    const int entries = serverCount(m_db, "PRODUCAO_ESTOQUE where STATUS_ES = 'A'");
    EXPECT_EQ(entries, successes);
    EXPECT_EQ(serverCount(m_db, "ENTRADAMP"), entries);
    EXPECT_EQ(serverCount(m_db, "ENTRADAMP E where not exists (select 1 from PROD_ITEM_ESTOQUE I where I.ID_PI = "
                                "E.ID_PROD_ITEM_ESTOQUE_EMP)"),
              0);

    std::printf("%d rounds in %.1f s\n", rounds,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    for (int s = 0; s < 4; ++s) {
        std::printf("station %s: %d scans, %d successes, %d refusals, %zu message boxes\n", kStations[s],
                    tally[s].scans, tally[s].successes, tally[s].refusals, tally[s].boxes.size());
        for (std::size_t b = 0; b < tally[s].boxes.size() && b < 5; ++b)
            std::printf("  %s\n", tally[s].boxes[b].c_str());
        EXPECT_EQ(tally[s].boxes.size(), 0u);
    }
    std::printf("rows: %d unit boxes written off, %d sub-tickets marked, %d completion rows for %zu tickets "
                "(%d without, %d twice or more), %zu sector box rows, %d stock entries for %d successes, %d stock "
                "items\n",
                unitWrittenOff, serverCount(m_db, "SUBPROD where DTBAIXA_PR is not null"), completionRows,
                completions.size(), ticketsWith[0],
                static_cast<int>(completions.size()) - ticketsWith[0] - ticketsWith[1], boxRows.size(), entries,
                successes, serverCount(m_db, "PROD_ITEM_ESTOQUE"));
}

} // namespace
