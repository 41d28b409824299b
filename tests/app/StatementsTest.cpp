// Every statement the station sends must be accepted by the reference schema, so that schema and
// code cannot drift apart. The texts come from the code itself: the queries the station's modules
// hold, asked on their connections; the texts of queries made for one call, by their names in the
// code; and the statements built at run time, built by the code that builds them.
#include "app/ParameterLoader.h"
#include "app/Station.h"
#include "auditlog/TdmLog.h"
#include "db/Query.h"
#include "enquiry/AuthorisedUser.h"
#include "enquiry/LabelEnquiry.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"
#include "scan/StoreAndForward.h"
#include "stock/TdmEstoqueProducao.h"
#include "support/Box.h"
#include "support/RecordingDisplay.h"
#include "support/TestDb.h"
#include "validation/TdmProducaoValidacao.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>

using namespace vek;
using vek::test::Box;
using vek::test::Schema;
using vek::test::TestDb;

namespace {

class StatementCheck {
public:
    /// Every text the queries on `c` hold now.
    void held(db::Connection& c) {
        for (const db::Query* q : c.queries()) {
            if (!q->sql().empty()) add(c, q->name(), q->sql());
        }
    }
    /// The text of a query that `file` makes for one call only.
    void oneCall(db::Connection& c, const std::string& file, const std::string& name, const std::string& sql) {
        m_oneCall.emplace(file, name);
        add(c, name, sql);
    }
    /// A query made for one call that is run here rather than listed.
    void ran(const std::string& file, const std::string& name) { m_oneCall.emplace(file, name); }
    /// A text the code builds at run time, or sets on a held query when it runs.
    void built(db::Connection& c, const std::string& name, const std::string& sql) { add(c, name, sql); }
    const std::set<std::pair<std::string, std::string>>& oneCallQueries() const { return m_oneCall; }

    /// Prepares each text once on its connection; returns how many there were.
    std::size_t prepareAll() {
        for (const auto& [c, name, sql] : m_statements) {
            SCOPED_TRACE(name + "\n" + sql);
            db::Query q(*c, name);
            q.setSql(sql);
            EXPECT_NO_THROW(q.prepare());
        }
        return m_statements.size();
    }

private:
    void add(db::Connection& c, const std::string& name, const std::string& sql) {
        for (const auto& [oc, on, os] : m_statements) {
            if (oc == &c && os == sql) return;
        }
        m_statements.emplace_back(&c, name, sql);
    }
    std::vector<std::tuple<db::Connection*, std::string, std::string>> m_statements;
    std::set<std::pair<std::string, std::string>> m_oneCall;
};

/// The queries made for one call in the station's sources, as file and name: `Query q(con, "name")`.
/// The database layer's and the tools' own statements are not the station's and are left out.
std::set<std::pair<std::string, std::string>> oneCallQueriesInTheSources() {
    const std::filesystem::path src = vek::test::sourceDir() + "/src";
    const std::regex local(R"(\bQuery\s+\w+\s*\(\s*[^,;()]+(?:\(\))?\s*,\s*\"([^\"]+)\"\s*\))");
    std::set<std::pair<std::string, std::string>> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(src)) {
        const std::string file = entry.path().lexically_relative(src).generic_string();
        if (entry.path().extension() != ".cpp" || file.rfind("db/", 0) == 0 || file.rfind("tools/", 0) == 0) continue;
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        const std::string s = text.str();
        for (std::sregex_iterator m(s.begin(), s.end(), local), end; m != end; ++m) {
            found.emplace(file, (*m)[1].str());
        }
    }
    return found;
}

TEST(Statements, EveryStatementTheStationSendsPreparesOnTheReferenceSchema) {
    TestDb main(Schema::Main), catalogue(Schema::Catalogue), access(Schema::Access);
    main.exec(Box(1).pedido("00000001").item("001").tam("38").sql()); // a unit box to book, for its order line
    test::RecordingDisplay display;
    RecordingToneOutput tones;
    RecordingMessageBoxes boxes;
    Station station(display, Platform{&tones, &boxes, [](int) {}}, "/nonexistent/s.INI", "/nonexistent");
    StationContext& ctx = station.context();
    ctx.sqlCon.setDatabase(main.path());
    ctx.sqlConCat.setDatabase(catalogue.path());
    ctx.sqlConAcesso.setDatabase(access.path());
    db::Connection& con = ctx.sqlCon;

    // The modules made for one operation, on the connection they are given.
    auditlog::TdmLog log("QUILBAR", con);
    const validation::TDadosValidacao dados("P100", "10", "000123", "0001", "0000", "", "F", 0, con);
    validation::TdmProducaoValidacao validation(dados);
    stock::TdmEstoqueProducao stock;
    stock.DefinirConexao(con);

    StatementCheck check;
    for (db::Connection* c : {&ctx.sqlCon, &ctx.sqlConCat, &ctx.sqlConAcesso}) check.held(*c);

    check.oneCall(con, "app/ParameterLoader.cpp", "sqlReadParam", sql::kReadParam);
    check.oneCall(con, "app/ParameterLoader.cpp", "sqlParam", sql::kParam);
    check.oneCall(con, "app/Station.cpp", "sqlEmpresa", sql::kEmpresa);
    check.oneCall(con, "app/Station.cpp", "sqlFunc", sql::kFunc);
    check.oneCall(con, "app/Station.cpp", "sqlSetor", sql::kSetor);
    check.oneCall(con, "scan/StoreAndForward.cpp", "sqlConfSubFicha", sql::kConfSubFicha);
    check.oneCall(con, "scan/StoreAndForward.cpp", "sqlConfCxSubFicha", sql::kConfCxSubFicha);
    check.oneCall(con, "scan/StoreAndForward.cpp", "sqlConfProdSetorCxUnit", sql::kConfProdSetorCxUnit);
    check.oneCall(con, "scan/StoreAndForward.cpp", "sqlConfBaixa", sql::kConfBaixa);
    check.oneCall(ctx.sqlConAcesso, "enquiry/AuthorisedUser.cpp", "sqlUsuAutorizados", enquiry::kSqlMembers);
    check.oneCall(ctx.sqlConAcesso, "enquiry/AuthorisedUser.cpp", "sqlUsuario", enquiry::kSqlUser);
    {
        namespace v = validation::sql;
        const std::string file = "validation/TdmProducaoValidacao.cpp";
        check.oneCall(con, file, "ValidarProdutoSetor", v::kProdutoSetor);
        check.oneCall(con, file, "ValidarSetorAnterior.SetoresAgrupamento", v::kMembrosAgrupamento);
        check.oneCall(con, file, "ValidarFicha.FichaBaixadaNoSetor", v::kFichaBaixadaNoSetor);
        check.oneCall(con, file, "ValidarCxUnit.CxUnitBaixadaNoSetor", v::kCxUnitBaixadaNoSetor);
        check.built(con, "sqlSubProd", v::kSubProdSubFichaPrincipal);
        check.built(con, "sqlSubProd", v::kSubProdCxColet);
        check.built(con, "sqlProdSetor", v::kProdSetorFicha);
        check.built(con, "sqlProdSetor", v::kProdSetorSubFicha);
        check.built(con, "sqlProdSetorUnit", v::kProdSetorUnit);
    }

    // The enquiry's sector list, with the configured filter and without one, for a product with a quote.
    check.built(con, "sqlSetoresConsulta",
                enquiry::EnquirySectorsSql("P'1", enquiry::EnquirySectorFilter("10,20,30", "30", "")));
    check.built(con, "sqlSetoresConsulta", enquiry::EnquirySectorsSql("P'1", enquiry::EnquirySectorFilter("", "", "")));

    // The stock module sets its line selections per kind: it is asked for each kind once (on an
    // empty database nothing is booked or cancelled) and its queries are read after each.
    using T = stock::TTipoLancProducaoEstoque;
    auto request = [](T kind) {
        stock::TRegEntradaEstoqueProd r;
        r.TipoLancProducaoEstoque = kind;
        r.Filial = 1;
        r.Usuario = "QUILBAR";
        r.DataLanc = DateTime::fromDate(2024, 5, 6);
        r.CodigoCxUnit = 1;
        r.CodigoCxColet = 1;
        r.Programacao = "000123";
        r.Ficha = "0001";
        r.Subficha = "0001";
        r.Pedido = "00000001";
        r.ItemPed = "001";
        r.IdProducaoEstoque = 1;
        r.IdMovEstInterno = 1;
        r.Produto = "P100";
        r.Padronizacao = "00001";
        r.Tamanho = "38";
        return r;
    };
    for (T kind : {T::tlCxUnit, T::tlFicha, T::tlPedidoItem}) {
        SCOPED_TRACE(static_cast<int>(kind));
        EXPECT_NO_THROW({
            try {
                stock.LancarEntrada(request(kind));
            } catch (const stock::ELancProducaoEstoqueException&) {
                // a refusal: what matters here is the statement it set
            }
        });
        check.held(con);
    }
    for (T kind :
         {T::tlCxUnit, T::tlCxColet, T::tlFicha, T::tlSubficha, T::tlPedidoItem, T::tlAvulso, T::tlMovInterno}) {
        SCOPED_TRACE(static_cast<int>(kind));
        EXPECT_NO_THROW(stock.CancelarEntrada(request(kind)));
        check.held(con);
    }
    // Run rather than listed: the generators taken by name.
    for (const char* generator : {"ID_PRODUCAO_SETOR_CXUNIT", "ID_PRODUCAO_ESTOQUE", "ID_PROD_ITEM_ESTOQUE"}) {
        EXPECT_NO_THROW(con.nextId(generator)) << generator;
    }

    EXPECT_GE(check.prepareAll(), 80u) << "fewer statements than the station sends: the enumeration lost some";

    // A query made for one call is only found by its name in the code: each must be listed above.
    for (const auto& q : oneCallQueriesInTheSources()) {
        EXPECT_TRUE(check.oneCallQueries().count(q)) << q.first << ": query " << q.second << " is not checked";
    }
}

} // namespace
