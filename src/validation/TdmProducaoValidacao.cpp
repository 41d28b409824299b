#include "validation/TdmProducaoValidacao.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Query.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace vek::validation {

namespace sql {
const char* const kSetor = "select COD_SE, NOME_SE, SETORANT_SE, RETORNO_EXTERNO_SE, \n"
                           "ORDEM_SE, SETOR_AGRUP_SE, SETOR_SAIDA_EXTERNO_SE,\n"
                           "TIPO_ATU_PRODUCAO_SETOR_SE, TIPO_OPERACAO_SE\n"
                           "from SETOR\n"
                           "where SEQPROD_SE='S'\n"
                           "order by ORDEM_SE";
const char* const kProdutoSetor = "SELECT PS.CODIGO_SETOR_PS FROM PRODUTO_SETOR PS\n"
                                  "INNER JOIN SETOR SE ON SE.COD_SE = PS.CODIGO_SETOR_PS\n"
                                  "WHERE PS.CODIGO_PRODUTO_PS = :PROD AND SE.SEQPROD_SE = 'S'";
const char* const kSetorAgrupamento = "SELECT COD_SE\n"
                                      "FROM SETOR S\n"
                                      "WHERE S.SETOR_AGRUP_SE = :SETOR";
const char* const kMembrosAgrupamento = "SELECT cod_se FROM SETOR S WHERE S.setor_agrup_se = :SETOR_AGRUP";
const char* const kFichaBaixadaNoSetor = "select PROG_PS,FICHA_PS,SUBFICHA_PS,SETOR_PS\n"
                                         "From Producao_Setor\n"
                                         "Where PROG_PS =:PROG\n"
                                         "And FICHA_PS = :FICHA\n"
                                         "And ((SUBFICHA_PS = :SUBFICHA) or (SUBFICHA_PS = '0000'))\n"
                                         "And SETOR_PS =  :SETOR";
const char* const kCxUnitBaixadaNoSetor = "select PROG_PU,FICHA_PU,SUBFICHA_PU,SETOR_PU,CODCXUNIT_PU\n"
                                          "From Producao_Setor_CxUnit\n"
                                          "Where CODCXUNIT_PU =:CODCXUNIT\n"
                                          "And SETOR_PU =  :SETOR";
const char* const kProg = "select PROG_PR, FICHA_PR, QTDE_PR\n"
                          "from PRODUCAO\n"
                          "where PROG_PR=:PROG\n"
                          "and FICHA_PR=:FICHA";
const char* const kFichaProdSetor = "select count(*) as NumReg from producao_setor ps where ps.prog_ps = :prog\n"
                                    "and ps.ficha_ps = :ficha and ps.setor_ps = :setor and ps.subficha_ps = '0000'";
const char* const kSubFichaProdSetor = "select count(*) as NumReg from producao_setor ps where ps.prog_ps = :prog\n"
                                       "and ps.ficha_ps = :ficha and ps.setor_ps = :setor and ps.subficha_ps <> '0000'";
const char* const kSubP = "select PROG_PR, FICHA_PR, SUBFICHA_PR, sum(QTDE_PR) as QTDE\n"
                          "from SUBPROD\n"
                          "where PROG_PR=:PROG\n"
                          "and FICHA_PR=:FICHA\n"
                          "and SUBFICHA_PR=:SUBFICHA\n"
                          "group by PROG_PR, FICHA_PR, SUBFICHA_PR";
const char* const kCodCxCol =
    "select CX.PEDIDO_CX, CX.ITEMPED_CX, IT.PROG_IT, IT.FICHA_IT, CX.TALAO_CX, QTDEPAR_CX, IT.PROD_IT, IT.PADRON_IT,\n"
    "       CX.DATA_CANC_CX,\n"
    "       (select DESC_PR\n"
    "        from PRODUTO PR\n"
    "        where PR.COD_PR = IT.PROD_IT) as DESC_PROD,\n"
    "       (select PA.DESC_PP\n"
    "        from PADRONIZ_PRODUTO PA\n"
    "        where PA.PROD_PP = IT.PROD_IT and\n"
    "              PA.PADRONIZ_PP = IT.PADRON_IT) as DESC_PAD\n"
    "from CODCXCOLET CX\n"
    "inner join ITENSPV IT on IT.PEDIDO_IT = CX.PEDIDO_CX and IT.ITEM_IT = CX.ITEMPED_CX\n"
    "where CODIGO_CX = :COD   ";
#define VEK_SUBPROD_HEAD                                                                                               \
    "select * from PRODUCAO_SETOR p where p.PROG_PS = :PROG\n"                                                         \
    "and p.FICHA_PS = :FICHA and p.SUBFICHA_PS = :SUBFICHA and p.SETOR_PS = :SETOR\n"
const char* const kSubProdSubFichaPrincipal = VEK_SUBPROD_HEAD
    "and ((p.ID_SUBPROD_PS = 0) or (p.ID_SUBPROD_PS is null)) and ((p.CODCXCOLET_PS = 0) or "
    "(p.CODCXCOLET_PS is null)) and ((p.SUBPROD_MPRIMA_ID_PS = 0) or (p.SUBPROD_MPRIMA_ID_PS is null))";
const char* const kSubProdCxColet =
    VEK_SUBPROD_HEAD "and ((p.CODCXCOLET_PS = :CODCXCOLET) or (p.ID_SUBPROD_PS > 0) or (p.SUBPROD_MPRIMA_ID_PS > 0))";
#undef VEK_SUBPROD_HEAD
#define VEK_PRODSETOR_HEAD                                                                                             \
    "select PS.*, SE.SETOR_AGRUP_SE as SETOR_AGRUP\n"                                                                  \
    "from PRODUCAO_SETOR PS\n"                                                                                         \
    "left join SETOR SE on SE.COD_SE = PS.SETOR_PS\n"                                                                  \
    "where PROG_PS=:PROG\n"                                                                                            \
    "and FICHA_PS=:FICHA"
const char* const kProdSetorFicha = VEK_PRODSETOR_HEAD;
const char* const kProdSetorSubFicha = VEK_PRODSETOR_HEAD "\nand SUBFICHA_PS=:SUBFICHA";
#undef VEK_PRODSETOR_HEAD
const char* const kProdSetorUnit = "select PU.*, SE.SETOR_AGRUP_SE as SETOR_AGRUP\n"
                                   "from PRODUCAO_SETOR_CXUNIT PU\n"
                                   "left join SETOR SE on SE.COD_SE = PU.SETOR_PU\n"
                                   "where CODCXUNIT_PU=:CXUNIT";
} // namespace sql

namespace {

// Operator messages, Windows-1252. A literal is split where a hex escape would run into a letter.
const char* const kProdutoNaoAtualiza = "Produto n\xE3o atualiza neste setor.";
const char* const kTipoInvalido = "Tipo de Atualiza\xE7\xE3o Inv\xE1lida para o Setor.";
const char* const kFichaJaNesteSetor = "Ficha j\xE1 atualizada neste setor.";
const char* const kFichaOutroSetorGrupo = "Ficha j\xE1 atualizada em outro setor do mesmo grupo.";
const char* const kFichaSetorAgrupamento = "Ficha j\xE1 atualizada no setor de Agrupamento.";
const char* const kProgFichaNaoEncontrada = "Prog./Ficha n\xE3o encontrada.";
const char* const kSubfichasBaixadas = "Prog./Ficha possui subfichas baixadas.";
const char* const kFichaPrincipalBaixada = "A ficha principal j\xE1 foi baixada";
const char* const kTalaoInvalido = "Tal\xE3o inv\xE1lido ou n\xE3o gerado.";
const char* const kSubFichaPrincipalBaixada = "SubFicha Principal j\xE1 baixada.";
const char* const kCxColetOuSubFichaBaixado = "C\xF3"
                                              "d. Cx Colet. ou C\xF3"
                                              "d. SubFicha j\xE1 baixado.";
const char* const kSubFichaNaoEncontrada = "SubFicha n\xE3o encontrada.";

std::string setorAnteriorNaoBaixado(const std::string& setor) {
    return "Setor anterior " + setor + " n\xE3o foi baixado!";
}
std::string fichaNoSetorDoAgrupamento(const std::string& membro) {
    return "Ficha atualizada no setor \"" + membro + "\" desse Agrupamento";
}
std::string cxColetNaoLocalizada(std::int32_t cod) {
    return "C\xF3"
           "d. Cx Colet. \"" +
           std::to_string(cod) + "\" n\xE3o localizado.";
}
std::string cxColetCancelada(const DateTime& quando) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d/%02d %02d:%02d", quando.day(), quando.month(), quando.hour(), quando.minute());
    return std::string("Cx Colet. CANCELADA em ") + buf + ".";
}

TRetorno passa() {
    return TRetorno{true, {}};
}
TRetorno recusa(std::string mensagem) {
    return TRetorno{false, std::move(mensagem)};
}

bool branco(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

/// Blanks and control characters removed at both ends.
std::string aparado(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && branco(s[b])) ++b;
    while (e > b && branco(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// isc_string_truncation: the server would not convert a parameter to its column's type.
constexpr std::intptr_t kStringTruncation = 335544914;

/// Opens a select of the module. A text parameter longer than the column it is compared with
/// cannot equal any value of it, but the server refuses to convert it instead of finding nothing:
/// for these selects, which only compare, that refusal means no row (the query stays closed and
/// empty). Every other error propagates.
void abrir(db::Query& q) {
    try {
        q.open();
    } catch (const db::DbError& e) {
        if (!e.hasCode(kStringTruncation)) {
            throw;
        }
        q.close();
    }
}

std::size_t coluna(const db::Query& q, std::string_view nome) {
    const int i = q.fieldIndex(nome);
    if (i < 0) {
        throw db::DbError("Field '" + std::string(nome) + "' not found in query '" + q.name() + "'");
    }
    return static_cast<std::size_t>(i);
}

/// The first fetched row whose column holds exactly `valor`; null when there is none.
const std::vector<db::Value>* linhaCom(const db::Query& q, std::string_view nomeColuna, const std::string& valor) {
    if (q.isEmpty()) {
        return nullptr;
    }
    const std::size_t c = coluna(q, nomeColuna);
    for (const std::vector<db::Value>& linha : q.rows()) {
        if (!linha[c].isNull() && linha[c].asString() == valor) {
            return &linha;
        }
    }
    return nullptr;
}

/// The texts of the first column of every fetched row, in the server's order.
std::vector<std::string> primeiraColuna(const db::Query& q) {
    std::vector<std::string> out;
    for (const std::vector<db::Value>& linha : q.rows()) {
        out.push_back(linha.at(0).asString());
    }
    return out;
}

} // namespace

struct TdmProducaoValidacao::Componentes {
    explicit Componentes(db::Connection& c)
        : sqlSetor(c, "sqlSetor"), sqlSetorAgrupamento(c, "sqlSetorAgrupamento"),
          sqlFichaProdSetor(c, "sqlFichaProdSetor"), sqlSubFichaProdSetor(c, "sqlSubFichaProdSetor"),
          sqlProg(c, "sqlProg"), sqlSubP(c, "sqlSubP"), sqlSubProd(c, "sqlSubProd"), sqlCodCxCol(c, "sqlCodCxCol"),
          sqlProdSetor(c, "sqlProdSetor"), sqlProdSetorUnit(c, "sqlProdSetorUnit") {
        sqlSetor.setSql(sql::kSetor);
        sqlSetorAgrupamento.setSql(sql::kSetorAgrupamento);
        sqlFichaProdSetor.setSql(sql::kFichaProdSetor);
        sqlSubFichaProdSetor.setSql(sql::kSubFichaProdSetor);
        sqlProg.setSql(sql::kProg);
        sqlSubP.setSql(sql::kSubP);
        sqlCodCxCol.setSql(sql::kCodCxCol);
    }
    // A select keeps every row it fetched: sqlSetor, sqlProdSetor and sqlProdSetorUnit, once open,
    // are the in-memory sets (cdsSetor, cdsProdSetor, cdsProdSetorUnit) the rules look rows up in.
    db::Query sqlSetor;
    db::Query sqlSetorAgrupamento;
    db::Query sqlFichaProdSetor;
    db::Query sqlSubFichaProdSetor;
    db::Query sqlProg;
    db::Query sqlSubP;
    db::Query sqlSubProd;
    db::Query sqlCodCxCol;
    db::Query sqlProdSetor;
    db::Query sqlProdSetorUnit;
    // The sectors of each product asked about, as kProdutoSetor gives them: every rule that asks
    // reads the same rows, so one validation reads them once.
    std::map<std::string, std::vector<std::vector<db::Value>>> setoresDoProduto;
};

TdmProducaoValidacao::TdmProducaoValidacao(const TDadosValidacao& dados)
    : m_dados(dados), m_c(std::make_unique<Componentes>(dados.Conexao)) {}

TdmProducaoValidacao::~TdmProducaoValidacao() = default;

// ----------------------------------------------------------------------------------- shared steps

void TdmProducaoValidacao::AbrirSetores() {
    if (!m_c->sqlSetor.isActive()) {
        m_c->sqlSetor.open();
    }
}

const std::vector<std::vector<db::Value>>& TdmProducaoValidacao::SetoresDoProduto(const std::string& produto) {
    auto it = m_c->setoresDoProduto.find(produto);
    if (it == m_c->setoresDoProduto.end()) {
        db::Query q(m_dados.Conexao, "ValidarProdutoSetor");
        q.setSql(sql::kProdutoSetor);
        q.param("PROD").setString(produto);
        abrir(q);
        it = m_c->setoresDoProduto.emplace(produto, q.isActive() ? q.rows() : std::vector<std::vector<db::Value>>{})
                 .first;
    }
    return it->second;
}

TRetorno TdmProducaoValidacao::ValidarProdutoSetor(const std::string& produto, const std::string& setor) {
    const auto& setores = SetoresDoProduto(produto);
    const bool noRoteiro = std::any_of(setores.begin(), setores.end(), [&setor](const std::vector<db::Value>& linha) {
        return !linha.at(0).isNull() && linha.at(0).asString() == setor;
    });
    if (setores.empty() || noRoteiro) {
        return passa();
    }
    return recusa(kProdutoNaoAtualiza);
}

TRetorno TdmProducaoValidacao::TipoAtualizacaoValido(const std::string& setor, const std::string& tipoAtualizacao) {
    AbrirSetores();
    const auto* linha = linhaCom(m_c->sqlSetor, "COD_SE", setor);
    if (!linha) {
        return passa();
    }
    const std::string tipo = (*linha)[coluna(m_c->sqlSetor, "TIPO_ATU_PRODUCAO_SETOR_SE")].asString();
    if (tipo == "N" || tipo == tipoAtualizacao) {
        return passa();
    }
    return recusa(kTipoInvalido);
}

std::string TdmProducaoValidacao::GrupoDoSetor(const std::string& setor) {
    AbrirSetores();
    const auto* linha = linhaCom(m_c->sqlSetor, "COD_SE", setor);
    return linha ? (*linha)[coluna(m_c->sqlSetor, "SETOR_AGRUP_SE")].asString() : std::string();
}

std::vector<std::string> TdmProducaoValidacao::ItensSetorAnterior(std::string_view texto) {
    // A NUL ends the text, as it would a C string.
    texto = texto.substr(0, std::min(texto.find('\0'), texto.size()));
    std::vector<std::string> itens;
    std::size_t p = 0;
    const std::size_t n = texto.size();
    auto pularBrancos = [&] {
        while (p < n && branco(texto[p])) ++p;
    };
    pularBrancos();
    while (p < n) {
        std::string item;
        if (texto[p] == '"') {
            // Up to the closing quote (a doubled quote is one quote), or to the end of the text.
            ++p;
            while (p < n) {
                if (texto[p] == '"') {
                    if (p + 1 < n && texto[p + 1] == '"') {
                        item += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += texto[p++];
            }
        } else {
            const std::size_t inicio = p;
            while (p < n && !branco(texto[p]) && texto[p] != ',') ++p;
            item.assign(texto.substr(inicio, p - inicio));
        }
        itens.push_back(std::move(item));
        pularBrancos();
        if (p < n && texto[p] == ',') {
            if (p + 1 == n) {
                itens.emplace_back(); // a trailing comma
            }
            ++p;
            pularBrancos();
        }
    }
    return itens;
}

TRetorno TdmProducaoValidacao::ValidarSetorAnterior(const TesteBaixado& registrado) {
    // A sector the product does not pass through counts as not done.
    auto baixado = [&](const std::string& setor) {
        return ValidarProdutoSetor(m_dados.Produto, setor).Valido && registrado(setor);
    };
    std::vector<std::string> itens = ItensSetorAnterior(m_dados.SetorAnterior);
    if (std::all_of(itens.begin(), itens.end(), [](const std::string& s) { return s.empty(); })) {
        return passa();
    }

    if (const auto& setores = SetoresDoProduto(m_dados.Produto); !setores.empty()) {
        std::vector<std::string> doProduto;
        for (const std::vector<db::Value>& linha : setores) {
            doProduto.push_back(linha.at(0).asString());
        }
        std::erase_if(itens, [&](const std::string& item) {
            return std::find(doProduto.begin(), doProduto.end(), item) == doProduto.end();
        });
    }

    db::Query membrosDe(m_dados.Conexao, "ValidarSetorAnterior.SetoresAgrupamento");
    membrosDe.setSql(sql::kMembrosAgrupamento);
    for (const std::string& item : itens) {
        if (item.empty()) {
            continue;
        }
        membrosDe.close();
        membrosDe.param("SETOR_AGRUP").setString(item);
        abrir(membrosDe);
        const std::vector<std::string> membros = primeiraColuna(membrosDe);
        membrosDe.close();
        // A grouping sector is done when the ticket or box is recorded in it or in any one of its
        // members: the group's rules allow it in one of them only.
        const bool feito = baixado(item) || std::any_of(membros.begin(), membros.end(), baixado);
        if (!feito) {
            return recusa(setorAnteriorNaoBaixado(item));
        }
    }
    return passa();
}

TRetorno TdmProducaoValidacao::ExclusividadeNoGrupo(const db::Query& linhas, std::string_view colunaSetor,
                                                    const std::string& grupo) {
    const std::string& setor = m_dados.Setor;
    db::Query& membrosDe = m_c->sqlSetorAgrupamento;
    membrosDe.close();
    membrosDe.param("SETOR").setString(setor);
    abrir(membrosDe);
    const std::vector<std::string> membros = primeiraColuna(membrosDe);
    membrosDe.close();
    for (const std::string& membro : membros) {
        if (linhaCom(linhas, colunaSetor, membro)) {
            return recusa(fichaNoSetorDoAgrupamento(membro));
        }
    }
    if (linhaCom(linhas, colunaSetor, setor)) {
        return recusa(kFichaJaNesteSetor);
    }
    if (grupo.empty()) {
        return passa();
    }
    if (linhaCom(linhas, "SETOR_AGRUP", grupo)) {
        return recusa(kFichaOutroSetorGrupo);
    }
    if (linhaCom(linhas, colunaSetor, grupo)) {
        return recusa(kFichaSetorAgrupamento);
    }
    return passa();
}

// ------------------------------------------------------------------------------------------ ticket

TRetorno TdmProducaoValidacao::ValidarFicha() {
    TRetorno r = ValidarSetorAnterior([this](const std::string& setor) { return FichaBaixadaNoSetor(setor); });
    if (!r.Valido) {
        return r;
    }
    r = ValidarProdutoSetor(m_dados.Produto, m_dados.Setor);
    if (!r.Valido) {
        return r;
    }
    return RegrasSetorFicha();
}

bool TdmProducaoValidacao::FichaBaixadaNoSetor(const std::string& setor) {
    db::Query q(m_dados.Conexao, "ValidarFicha.FichaBaixadaNoSetor");
    q.setSql(sql::kFichaBaixadaNoSetor);
    q.param("PROG").setString(m_dados.Prog);
    q.param("FICHA").setString(m_dados.Ficha);
    q.param("SUBFICHA").setString(m_dados.SubFicha);
    q.param("SETOR").setString(setor);
    abrir(q);
    return !q.isEmpty();
}

TRetorno TdmProducaoValidacao::RegrasSetorFicha() {
    AbrirSetores();
    TRetorno r = TipoAtualizacaoValido(m_dados.Setor, m_dados.TipoAtualizacao);
    if (!r.Valido) {
        return r;
    }
    r = RegrasTipoFicha();
    if (!r.Valido) {
        return r;
    }
    const std::string grupo = GrupoDoSetor(m_dados.Setor);

    db::Query& linhas = m_c->sqlProdSetor;
    const bool subFicha = m_dados.SubFicha != "0000";
    linhas.setSql(subFicha ? sql::kProdSetorSubFicha : sql::kProdSetorFicha);
    linhas.param("PROG").setString(m_dados.Prog);
    linhas.param("FICHA").setString(m_dados.Ficha);
    if (subFicha) {
        linhas.param("SUBFICHA").setString(m_dados.SubFicha);
    }
    abrir(linhas);
    return ExclusividadeNoGrupo(linhas, "SETOR_PS", grupo);
}

TRetorno TdmProducaoValidacao::RegrasTipoFicha() {
    Componentes& c = *m_c;
    auto contar = [&](db::Query& q) {
        q.close();
        q.param("prog").setString(m_dados.Prog);
        q.param("ficha").setString(m_dados.Ficha);
        q.param("setor").setString(m_dados.Setor);
        abrir(q);
        const std::int64_t n = q.isEmpty() ? 0 : q.field("NumReg").asInt64();
        q.close();
        return n;
    };

    if (m_dados.TipoAtualizacao == "F") {
        c.sqlProg.close();
        c.sqlProg.param("PROG").setString(m_dados.Prog);
        c.sqlProg.param("FICHA").setString(m_dados.Ficha);
        abrir(c.sqlProg);
        const bool existe = !c.sqlProg.isEmpty();
        c.sqlProg.close();
        if (!existe) {
            return recusa(kProgFichaNaoEncontrada);
        }
        if (contar(c.sqlSubFichaProdSetor) > 0) {
            return recusa(kSubfichasBaixadas);
        }
        return passa();
    }

    if (contar(c.sqlFichaProdSetor) > 0) {
        return recusa(kFichaPrincipalBaixada);
    }
    if (m_dados.TipoAtualizacao == "T") {
        return RegrasCxColet();
    }
    if (m_dados.TipoAtualizacao == "S") {
        c.sqlSubP.close();
        c.sqlSubP.param("PROG").setString(m_dados.Prog);
        c.sqlSubP.param("FICHA").setString(m_dados.Ficha);
        c.sqlSubP.param("SUBFICHA").setString(m_dados.SubFicha);
        abrir(c.sqlSubP);
        const bool existe = !c.sqlSubP.isEmpty();
        c.sqlSubP.close();
        if (!existe) {
            return recusa(kSubFichaNaoEncontrada);
        }
    }
    return passa();
}

TRetorno TdmProducaoValidacao::RegrasCxColet() {
    Componentes& c = *m_c;
    db::Query& cx = c.sqlCodCxCol;
    cx.close();
    cx.param("COD").setInt(m_dados.CodCxColet);
    abrir(cx);
    if (cx.isEmpty()) {
        return recusa(cxColetNaoLocalizada(m_dados.CodCxColet));
    }
    if (aparado(cx.field("TALAO_CX").asString()).empty()) {
        return recusa(kTalaoInvalido);
    }
    if (aparado(cx.field("PEDIDO_CX").asString()).empty()) {
        return recusa(cxColetCancelada(cx.field("DATA_CANC_CX").asDateTime()));
    }
    cx.close();

    auto algumaLinha = [&](const char* texto, bool comCxColet) {
        db::Query& q = c.sqlSubProd;
        q.setSql(texto);
        q.param("PROG").setString(m_dados.Prog);
        q.param("FICHA").setString(m_dados.Ficha);
        q.param("SUBFICHA").setString(m_dados.SubFicha);
        q.param("SETOR").setString(m_dados.Setor);
        if (comCxColet) {
            q.param("CODCXCOLET").setInt(m_dados.CodCxColet);
        }
        abrir(q);
        const bool alguma = !q.isEmpty();
        q.close();
        return alguma;
    };
    if (algumaLinha(sql::kSubProdSubFichaPrincipal, false)) {
        return recusa(kSubFichaPrincipalBaixada);
    }
    if (algumaLinha(sql::kSubProdCxColet, true)) {
        return recusa(kCxColetOuSubFichaBaixado);
    }
    return passa();
}

// ---------------------------------------------------------------------------------------- unit box

TRetorno TdmProducaoValidacao::ValidarCxUnit(std::int32_t codCxUnit, bool validarSetorAnterior) {
    TRetorno r = passa();
    if (validarSetorAnterior) {
        r = ValidarSetorAnterior(
            [this, codCxUnit](const std::string& setor) { return CxUnitBaixadaNoSetor(codCxUnit, setor); });
        if (!r.Valido) {
            return r;
        }
    }
    r = ValidarProdutoSetor(m_dados.Produto, m_dados.Setor);
    if (!r.Valido) {
        return r;
    }
    return RegrasSetorCxUnit(codCxUnit);
}

bool TdmProducaoValidacao::CxUnitBaixadaNoSetor(std::int32_t codCxUnit, const std::string& setor) {
    db::Query q(m_dados.Conexao, "ValidarCxUnit.CxUnitBaixadaNoSetor");
    q.setSql(sql::kCxUnitBaixadaNoSetor);
    q.param("CODCXUNIT").setInt(codCxUnit);
    q.param("SETOR").setString(setor);
    abrir(q);
    return !q.isEmpty();
}

TRetorno TdmProducaoValidacao::RegrasSetorCxUnit(std::int32_t codCxUnit) {
    AbrirSetores();
    TRetorno r = TipoAtualizacaoValido(m_dados.Setor, m_dados.TipoAtualizacao);
    if (!r.Valido) {
        return r;
    }
    const std::string grupo = GrupoDoSetor(m_dados.Setor);
    db::Query& linhas = m_c->sqlProdSetorUnit;
    linhas.setSql(sql::kProdSetorUnit);
    linhas.param("CXUNIT").setInt(codCxUnit);
    abrir(linhas);
    return ExclusividadeNoGrupo(linhas, "SETOR_PU", grupo);
}

} // namespace vek::validation
