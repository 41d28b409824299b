#include "stock/StockTestSupport.h"

#include "db/Query.h"
#include "support/Box.h"
#include "util/TextCodec.h"

#include <QString>

namespace vek::stock::test {

std::string cp1252(const char* utf8) {
    return fromQString(QString::fromUtf8(utf8));
}

StockDbTest::StockDbTest() : m_con(m_db.connect()) {
    m_dm.DefinirConexao(*m_con);
}

TRegEntradaEstoqueProd StockDbTest::pedido(TTipoLancProducaoEstoque tipo) {
    TRegEntradaEstoqueProd r;
    r.Filial = 1;
    r.Usuario = "QUILBAR";
    r.DataLanc = DateTime::fromDateTime(2024, 5, 6, 17, 45, 10);
    r.TipoLancProducaoEstoque = tipo;
    return r;
}

TRegEntradaEstoqueProd StockDbTest::cxUnit(std::int32_t codigo) {
    TRegEntradaEstoqueProd r = pedido(TTipoLancProducaoEstoque::tlCxUnit);
    r.CodigoCxUnit = codigo;
    return r;
}

namespace {
std::string lit(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        q += c;
        if (c == '\'') q += '\'';
    }
    return q + "'";
}
} // namespace

void StockDbTest::itemPedido(const std::string& ped, const std::string& item, const std::string& prod,
                             const std::string& padron, const std::vector<std::pair<std::string, int>>& grade,
                             const std::string& prog, const std::string& ficha, const std::string& sit) {
    std::string sql =
        "insert into ITENSPV (PEDIDO_IT, ITEM_IT, PROD_IT, PADRON_IT, PROG_IT, FICHA_IT, SIT_IT) values (" + lit(ped) +
        ", " + lit(item) + ", " + lit(prod) + ", " + lit(padron) + ", " + lit(prog) + ", " + lit(ficha) + ", " +
        lit(sit) + ");\n";
    for (const auto& [tam, qt] : grade) {
        sql += "insert into ITENSPVGRADE (PEDIDO_IT, ITEM_IT, TAM_IT, QTPED_IT) values (" + lit(ped) + ", " +
               lit(item) + ", " + lit(tam) + ", " + std::to_string(qt) + ");\n";
    }
    m_db.exec(sql);
}

void StockDbTest::caixaUnit(std::int32_t codigo, const std::string& ped, const std::string& item,
                            const std::string& tam) {
    m_db.exec(vek::test::Box(codigo).pedido(ped).item(item).tam(tam).sql());
}

void StockDbTest::parametro(const std::string& nome, const std::string& valor) {
    m_db.exec("update or insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('PRODUCAO_ESTOQUE', " + lit(nome) +
              ", " + lit(valor) + ") matching (GRUPO_PA, PARAM_PA)");
}

db::Value StockDbTest::valor(const std::string& sql) const {
    // A connection of its own: sees only what was committed.
    auto c = m_db.connect();
    db::Query q(*c);
    q.setSql(sql);
    q.open();
    return q.eof() ? db::Value() : q.fieldAt(0);
}

int StockDbTest::contar(const std::string& sqlFromWhere) const {
    return valor("select count(*) " + sqlFromWhere).asInt();
}

std::vector<std::vector<std::string>> StockDbTest::linhas(const std::string& sql) const {
    auto c = m_db.connect();
    db::Query q(*c);
    q.setSql(sql);
    q.open();
    std::vector<std::vector<std::string>> out;
    for (; !q.eof(); q.next()) {
        std::vector<std::string> row;
        for (std::size_t i = 0; i < q.columns().size(); ++i) {
            const db::Value& v = q.fieldAt(i);
            row.push_back(v.isNull() ? "<null>" : v.asString());
        }
        out.push_back(std::move(row));
    }
    return out;
}

} // namespace vek::stock::test
