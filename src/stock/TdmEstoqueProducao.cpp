#include "stock/TdmEstoqueProducao.h"

#include "auditlog/TdmLog.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/MemTable.h"
#include "db/Provider.h"
#include "db/Query.h"
#include "db/SqlText.h"
#include "db/UnitOfWork.h"
#include "util/Text.h"
#include "util/TextCodec.h"

#include <ibase.h>

#include <QString>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace vek::stock {

using db::Connection;
using db::MemTable;
using db::Query;
using db::Value;

namespace {

std::string txt(const char* utf8) {
    return fromQString(QString::fromUtf8(utf8));
}

ELancProducaoEstoqueException recusa(const char* utf8) {
    return ELancProducaoEstoqueException(txt(utf8));
}

constexpr const char* kMsgTipo = "Parametro TipoLancProducaoEstoque não foi informado corretamente.";
constexpr const char* kGeradorProdEst = "ID_PRODUCAO_ESTOQUE";
constexpr const char* kGeradorProdItem = "ID_PROD_ITEM_ESTOQUE";

// A line of size "*" is written with an empty TAMANHO_EMP, so its bookings are matched by that.
const std::string kCabecalhoProdEst =
    R"(select IT.PEDIDO_IT, IT.ITEM_IT, IT.PROD_IT, IT.PADRON_IT, IT.PROG_IT, IT.FICHA_IT, G.TAM_IT, G.QTPED_IT,
       (SELECT PEDVENDA.FILIAL_PV FROM PEDVENDA WHERE PEDVENDA.NUM_PV = IT.PEDIDO_IT) FILIAL_PEDVENDA,
       (SELECT PROGRAMACAO.FILIAL_PO FROM PROGRAMACAO WHERE PROGRAMACAO.NUM_PO = IT.PROG_IT) FILIAL_PROGRAMACAO,
       ( select sum(EMP.QTDE_EMP)
         from PRODUCAO_ESTOQUE PE
         inner join ENTRADAMP EMP on EMP.FILIAL_EMP = PE.FILIAL_EMP_ES
                                 and EMP.FORNEC_EMP = PE.FORNEC_EMP_ES
                                 and EMP.SERIE_EMP = PE.SERIE_EMP_ES
                                 and EMP.DOCTO_EMP = PE.DOCTO_EMP_ES
                                 and EMP.ITEM_EMP = PE.ITEM_EMP_ES
                                 and EMP.ORDEM_EMP = PE.ORDEM_EMP_ES
                                 and ((EMP.TAMANHO_EMP = G.TAM_IT)
                                      or (G.TAM_IT = '*' and coalesce(EMP.TAMANHO_EMP, '') = ''))
         where PE.PEDIDO_ES = IT.PEDIDO_IT and PE.ITEM_PED_ES = IT.ITEM_IT
               and PE.STATUS_ES = 'A' 
       ) as QTDE_JA_LANCADA
from ITENSPV IT
inner join ITENSPVGRADE G on G.PEDIDO_IT = IT.PEDIDO_IT and G.ITEM_IT = IT.ITEM_IT
)";

// The order-item row is the lock two stations booking the same item queue on.
const std::string kBloqItemPed = R"(select PEDIDO_IT from ITENSPV
where PEDIDO_IT = :PED
and ITEM_IT = :ITEM
for update with lock)";

// A unit box's first look: the box's order item locked when it has a line of the box's size, as
// MontarLinhas followed by BloquearItensPedido would take it, in one statement. FOUND tells
// whether the box is there; PED and ITEM name the item locked, null when none was.
const std::string kBloqLinhasCxUnit = R"(execute block (COD type of column CODCXUNIT.CODIGO_CX = :COD)
returns (FOUND integer, PED type of column ITENSPV.PEDIDO_IT, ITEM type of column ITENSPV.ITEM_IT)
as
declare P type of column CODCXUNIT.PEDIDO_CX;
declare I type of column CODCXUNIT.ITEM_CX;
declare T type of column CODCXUNIT.TAM_CX;
begin
  FOUND = 0;
  for select PEDIDO_CX, ITEM_CX, TAM_CX from CODCXUNIT where CODIGO_CX = :COD into :P, :I, :T do
  begin
    FOUND = 1;
    if (exists (select 1 from ITENSPV IT
                inner join ITENSPVGRADE G on G.PEDIDO_IT = IT.PEDIDO_IT and G.ITEM_IT = IT.ITEM_IT
                where IT.PEDIDO_IT = :P and IT.ITEM_IT = :I and TAM_IT = :T)) then
      select PEDIDO_IT, ITEM_IT from ITENSPV where PEDIDO_IT = :P and ITEM_IT = :I
        for update with lock into :PED, :ITEM;
    leave;
  end
  suspend;
end)";

const std::string kCabecalhoProdEstCanc =
    R"(select ID_ES, DATA_CANC_ES, USUARIO_CANC_ES, PROG_ES, FICHA_ES, SUBFICHA_ES, STATUS_ES,
       FILIAL_EMP_ES, FORNEC_EMP_ES, DOCTO_EMP_ES, SERIE_EMP_ES, ITEM_EMP_ES, ORDEM_EMP_ES
from PRODUCAO_ESTOQUE P
)";

const std::string kEntMpAdd = R"(insert into ENTRADAMP (
FILIAL_EMP,
FORNEC_EMP,
DOCTO_EMP,
SERIE_EMP,
ITEM_EMP,
ORDEM_EMP,
DATA_EMP,
TIPO_EMP,
QTDE_EMP,
PROD_EMP,
PADRON_EMP,
TAMANHO_EMP,
MPRIMA_EMP,
COR_EMP,
USUARIO_EMP,
PROG_EMP,
FICHA_EMP,

PRECO_EMP,
PRREAL_EMP,
PRMEDIO_EMP,
DESCTO_EMP,
DESPES_EMP,
ATUEST_EMP,
COMGRADE_EMP,

CST_EMP,
IPI_EMP,
VRIPI_EMP,
ICMS_EMP,
VRICM_EMP,
BASEICM_EMP,
OUTROSICM_EMP,
ISENTOSICM_EMP,
BASEIPI_EMP,
OUTROSIPI_EMP,
ISENTOSIPI_EMP,
GRADE_EMP,
MOV_FISICA_EMP,
ID_ESTOQUE_MOV_INT_EMP,
ID_PROD_ITEM_ESTOQUE_EMP,
REG_SPED_K280_EMP,
REG_SPED_K280_MES_ANO_EMP)
values
(
:FILIAL_EMP,
:FORNEC_EMP,
:DOCTO_EMP,
:SERIE_EMP,
:ITEM_EMP,
:ORDEM_EMP,
:DATA_EMP,
:TIPO_EMP,
:QTDE_EMP,
:PROD_EMP,
:PADRON_EMP,
:TAMANHO_EMP,
0,
'',
:USUARIO_EMP,
:PROG_EMP,
:FICHA_EMP,

0,
0,
0,
0,
0,
'N',
'N',

'',
0,
0,
0,
0,
0,
0,
0,
0,
0,
0,
'',
:MOV_FISICA_EMP,
:ID_ESTOQUE_MOV_INT_EMP,
:ID_PROD_ITEM_ESTOQUE_EMP,
:REG_SPED_K280_EMP,
:REG_SPED_K280_MES_ANO_EMP))";

const std::string kProdEstAdd = R"(insert into PRODUCAO_ESTOQUE (
ID_ES,
DATA_ES,
USUARIO_ES,
PEDIDO_ES,
ITEM_PED_ES,
CODIGO_CXCOLET_ES,
CODIGO_CXUNIT_ES,
PROG_ES ,
FICHA_ES ,
SUBFICHA_ES ,
STATUS_ES ,
FILIAL_EMP_ES ,
FORNEC_EMP_ES,
DOCTO_EMP_ES,
SERIE_EMP_ES,
ITEM_EMP_ES,
ORDEM_EMP_ES,
ID_ESTOQUE_MOV_INT_ES    )

values (
  :ID_PRODUCAO_ESTOQUE,
  :DATA_LANC,
  :USUARIO,
  :PEDIDO,
  :ITEM_PED,
  :CODIGO_CXCOLET,
  :CODIGO_CXUNIT,
  :PROG,
  :FICHA,
  :SUBFICHA ,
  'A',
  :FILIAL_EMP,
  :FORNEC_EMP,
  :DOCTO_EMP,
  :SERIE_EMP,
  :ITEM_EMP ,
  :ORDEM_EMP,
  :ID_ESTOQUE_MOV_INT

))";

// `text` with every ":FROM" marker (the whole name) written as ":TO".
std::string renamed(std::string text, const std::string& from, const std::string& to) {
    const std::string marker = ":" + from;
    for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at)) {
        const std::size_t end = at + marker.size();
        const char next = end < text.size() ? text[end] : ' ';
        if (std::isalnum(static_cast<unsigned char>(next)) || next == '_' || next == '$') {
            at = end;
            continue;
        }
        text.replace(at, marker.size(), ":" + to);
        at += to.size() + 1;
    }
    return text;
}

// The entry's stock item found, its id taken from its generator and both rows written, in one
// statement: the item's look-up as sqlProdItemEstoque's (its first row), then the two inserts as
// they stand, the id shared as ITEM_EMP and ID_ES. MISSING when the item is not there yet: then
// nothing is written and nothing taken, and the caller creates the item first. Each parameter has
// the type of the column it fills, as the installation defines it.
std::string linhaEntradaAdd() {
    // PRODUCAO_ESTOQUE's parameters that are named after no column of it; the *_EMP ones are
    // ENTRADAMP's, given the same values in both rows.
    static const std::pair<const char*, const char*> kColunasProdEst[] = {
        {"DATA_LANC", "DATA_ES"},
        {"USUARIO", "USUARIO_ES"},
        {"PEDIDO", "PEDIDO_ES"},
        {"ITEM_PED", "ITEM_PED_ES"},
        {"CODIGO_CXCOLET", "CODIGO_CXCOLET_ES"},
        {"CODIGO_CXUNIT", "CODIGO_CXUNIT_ES"},
        {"PROG", "PROG_ES"},
        {"FICHA", "FICHA_ES"},
        {"SUBFICHA", "SUBFICHA_ES"},
        {"ID_ESTOQUE_MOV_INT", "ID_ESTOQUE_MOV_INT_ES"}};
    const std::string entMp = renamed(renamed(kEntMpAdd, "ITEM_EMP", "ID"), "ID_PROD_ITEM_ESTOQUE_EMP", "ID_ITEM");
    const std::string prodEst = renamed(renamed(kProdEstAdd, "ITEM_EMP", "ID"), "ID_PRODUCAO_ESTOQUE", "ID");
    std::string header = " CODIGO type of column PROD_ITEM_ESTOQUE.CODIGO_PI = :CODIGO";
    auto add = [&header](const std::string& name, const std::string& column) {
        if (header.find(" " + name + " type of column") != std::string::npos) return;
        header += ",\n " + name + " type of column " + column + " = :" + name;
    };
    for (const std::string& name : db::parseNamedParameters(entMp).names) {
        if (name != "ID" && name != "ID_ITEM") add(name, "ENTRADAMP." + name);
    }
    for (const auto& [name, column] : kColunasProdEst) {
        add(name, std::string("PRODUCAO_ESTOQUE.") + column);
    }
    return "execute block (\n" + header +
           ")\n"
           "returns (MISSING integer)\n"
           "as\n"
           "declare ID type of column PRODUCAO_ESTOQUE.ID_ES;\n"
           "declare ID_ITEM type of column PROD_ITEM_ESTOQUE.ID_PI;\n"
           "begin\n"
           "  MISSING = 0;\n"
           "  for select ID_PI from PROD_ITEM_ESTOQUE where CODIGO_PI = :CODIGO into :ID_ITEM do leave;\n"
           "  if (ID_ITEM is null or ID_ITEM <= 0) then\n"
           "    MISSING = 1;\n"
           "  else\n"
           "  begin\n"
           "    ID = gen_id(" +
           kGeradorProdEst + ", 1);\n" + entMp + ";\n" + prodEst +
           ";\n"
           "  end\n"
           "  suspend;\n"
           "end";
}

} // namespace

struct TdmEstoqueProducao::Componentes {
    MemTable cdsProdEst{"cdsProdEst"};
    MemTable cdsProdEstCanc{"cdsProdEstCanc"};

    std::unique_ptr<Query> sqlParam, sqlParams, sqlBloqLinhasCxUnit, sqlCodCxUnit, sqlCodCxColet, sqlSubFicha,
        sqlProdEst, sqlBloqItemPed;
    std::unique_ptr<Query> sqlLinhaEntradaAdd, sqlProdItemEstoque, sqlDescProdItemEst, sqlAddProdItemEstoque;
    std::unique_ptr<Query> sqlProdEstCanc, sqlChaveLogEntradaMp, sqlEntMpDel, sqlDataServ;
    std::unique_ptr<db::Provider> dspProdEst, dspProdEstCanc;

    Componentes() { cdsProdEst.addFieldDef(db::FieldDef::real("QTDE_NOVO_LANC")); }
    ~Componentes() { soltar(); }

    void soltar() {
        cdsProdEst.close();
        cdsProdEstCanc.close();
        cdsProdEst.setProvider(nullptr);
        cdsProdEstCanc.setProvider(nullptr);
        dspProdEst.reset();
        dspProdEstCanc.reset();
    }

    void criar(Connection& c) {
        soltar();
        auto q = [&c](const char* nome, const std::string& sql) {
            auto query = std::make_unique<Query>(c, nome);
            query->setSql(sql);
            return query;
        };
        sqlParam = q("sqlParam", "SELECT VALOR_PA FROM PARAM WHERE GRUPO_PA = :GRUPO AND PARAM_PA = :PARAM");
        sqlParams = q("sqlParams", "SELECT PARAM_PA, VALOR_PA FROM PARAM WHERE GRUPO_PA = 'PRODUCAO_ESTOQUE' AND "
                                   "PARAM_PA IN ('ATU_CODCXCOLET', 'ATU_CODCXUNIT', 'ATU_FILIAL_PROG')");
        sqlCodCxUnit = q("sqlCodCxUnit", "select PROD_CX, PADRON_CX, TAM_CX, PROG_CX, FICHA_CX, PEDIDO_CX, ITEM_CX\n"
                                         "from CODCXUNIT\n"
                                         "where CODIGO_CX = :COD");
        sqlCodCxColet = q("sqlCodCxColet", "select PEDIDO_CX, ITEMPED_CX, NUMERACAO_CX, QTPARES_CX\n"
                                           "from CODCXCOLET\n"
                                           "where CODIGO_CX = :COD");
        sqlSubFicha = q("sqlSubFicha", "select QTDE_PR, TAMA_PR from SUBPROD\n"
                                       "where PROG_PR = :PROG\n"
                                       "and FICHA_PR = :FICHA\n"
                                       "and SUBFICHA_PR = :SUBFICHA");
        sqlProdEst = q("sqlProdEst", kCabecalhoProdEst);
        sqlBloqItemPed = q("sqlBloqItemPed", kBloqItemPed);
        sqlBloqItemPed->setSingleRow(true);
        sqlBloqLinhasCxUnit = q("sqlBloqLinhasCxUnit", kBloqLinhasCxUnit);
        sqlBloqLinhasCxUnit->setSingleRow(true);
        sqlLinhaEntradaAdd = q("sqlLinhaEntradaAdd", linhaEntradaAdd());
        sqlLinhaEntradaAdd->setSingleRow(true);
        sqlProdItemEstoque =
            q("sqlProdItemEstoque", "SELECT ID_PI, DESCRICAO_PI FROM PROD_ITEM_ESTOQUE WHERE CODIGO_PI = :CODIGO");
        sqlDescProdItemEst =
            q("sqlDescProdItemEst", "SELECT PR.DESC_PR, PR.DESCNF_PR,\n"
                                    "(SELECT PP.DESC_PP FROM PADRONIZ_PRODUTO PP WHERE PP.PROD_PP = :PROD AND "
                                    "PP.PADRONIZ_PP = :PADRON) DESC_PADRON,\n"
                                    "(SELECT F.EMISNOTA_FORMA_AGRUP_ITENS_FI FROM FILIAL F WHERE F.COD_FI = :FILIAL) "
                                    "FILIAL_FORMA_AGRUP_ITENS\n"
                                    "FROM PRODUTO PR\n"
                                    "WHERE PR.COD_PR = :PROD");
        sqlAddProdItemEstoque =
            q("sqlAddProdItemEstoque",
              "insert into PROD_ITEM_ESTOQUE(ID_PI,PROD_PI,PADRON_PI,TAMANHO_PI,CODIGO_PI,DESCRICAO_PI,DATA_"
              "INCLUSAO_PI,STATUS_PI,USUARIO_INCLUSAO_PI)\n"
              "                                           values "
              "(:O_ID_PROD_ITEM_EST,:I_PROD,:I_PADRON,:I_TAMANHO,:V_CODIGO,:V_DESC_PROD_ITEM_EST,cast('now' as "
              "timestamp),'A','AUTOMATICO');");
        sqlProdEstCanc = q("sqlProdEstCanc", kCabecalhoProdEstCanc);
        sqlChaveLogEntradaMp =
            q("sqlChaveLogEntradaMp",
              "SELECT "
              "E.FILIAL_EMP||'|'||E.FORNEC_EMP||'|'||E.DOCTO_EMP||'|'||E.SERIE_EMP||'|'||E.ITEM_EMP||'|'||E.PROD_EMP||'"
              "|'||E.PADRON_EMP||'|'||E.TAMANHO_EMP CHAVE_LOG\n"
              "FROM ENTRADAMP E\n"
              "WHERE FILIAL_EMP = :FILIAL\n"
              "AND FORNEC_EMP = :FORNEC\n"
              "AND DOCTO_EMP = :DOC\n"
              "AND SERIE_EMP = :SER\n"
              "AND ITEM_EMP = :ITEM\n"
              "AND ORDEM_EMP = :ORDEM");
        sqlEntMpDel = q("sqlEntMpDel", "delete from ENTRADAMP\n"
                                       "where FILIAL_EMP = :FILIAL\n"
                                       "and FORNEC_EMP = :FORNEC\n"
                                       "and DOCTO_EMP = :DOC\n"
                                       "and SERIE_EMP = :SER\n"
                                       "and ITEM_EMP = :ITEM\n"
                                       "and ORDEM_EMP = :ORDEM");
        sqlDataServ = q("sqlDataServ", "select CURRENT_TIMESTAMP as DATA_ATUAL from RDB$DATABASE");

        dspProdEst = std::make_unique<db::Provider>(*sqlProdEst, "dspProdEst");
        dspProdEstCanc = std::make_unique<db::Provider>(*sqlProdEstCanc, "dspProdEstCanc");
        dspProdEstCanc->setUpdateTable("PRODUCAO_ESTOQUE");
        cdsProdEst.setProvider(dspProdEst.get());
        cdsProdEstCanc.setProvider(dspProdEstCanc.get());
    }
};

TdmEstoqueProducao::TdmEstoqueProducao() : m_comp(std::make_unique<Componentes>()) {}

TdmEstoqueProducao::~TdmEstoqueProducao() = default;

void TdmEstoqueProducao::DefinirConexao(Connection& conexao) {
    m_conexao = &conexao;
    // The statements follow the connection, so that they always run in the transaction the
    // booking joins or opens.
    if (m_conexaoPendente || m_conexaoComponentes != &conexao) {
        m_comp->criar(conexao);
        m_conexaoComponentes = &conexao;
        m_conexaoPendente = false;
    }
}

Connection& TdmEstoqueProducao::conexao() const {
    if (!m_conexao) {
        throw std::logic_error("TdmEstoqueProducao: DefinirConexao was not called");
    }
    return *m_conexao;
}

TdmEstoqueProducao::Componentes& TdmEstoqueProducao::comp() const {
    return *m_comp;
}

MemTable& TdmEstoqueProducao::cdsProdEst() {
    return m_comp->cdsProdEst;
}

std::string TdmEstoqueProducao::LerParametro(const std::string& grupo, const std::string& param) {
    conexao();
    Query& q = *comp().sqlParam;
    q.close();
    q.param("GRUPO").setString(grupo);
    q.param("PARAM").setString(param);
    q.open();
    std::string valor = q.eof() ? std::string() : q.field("VALOR_PA").asString();
    q.close();
    return valor;
}

void TdmEstoqueProducao::LerParametros() {
    // The three rows in one read; a parameter given twice counts by its first row, as LerParametro reads it.
    conexao();
    Query& q = *comp().sqlParams;
    q.close();
    q.open();
    std::map<std::string, std::string> valores;
    for (; !q.eof(); q.next()) {
        // A CHAR column pads the name; the comparison in SQL did not see the padding.
        valores.try_emplace(withoutTrailingBlanks(q.field("PARAM_PA").asString()), q.field("VALOR_PA").asString());
    }
    q.close();
    auto valor = [&valores](const char* param) {
        const auto it = valores.find(param);
        return it == valores.end() ? std::string() : it->second;
    };
    m_atuCodCxColet = valor("ATU_CODCXCOLET") != "N";
    m_atuCodCxUnit = valor("ATU_CODCXUNIT") != "N";
    m_atuFilialProg = valor("ATU_FILIAL_PROG") == "S";
}

double TdmEstoqueProducao::Arredondar(double valor, int casas) {
    const double p = std::pow(10.0, casas);
    char texto[64];
    std::snprintf(texto, sizeof texto, "%.15g", p * valor);
    const double v = std::strtod(texto, nullptr);
    double r = std::trunc(v);
    const double f = v - r;
    if (f >= 0.5) {
        r += 1;
    } else if (f <= -0.5) {
        r -= 1;
    }
    return r / p;
}

bool TdmEstoqueProducao::PrepararRequisicao(TRegEntradaEstoqueProd& reg) const {
    using T = TTipoLancProducaoEstoque;
    auto semFicha = [&reg] {
        reg.Programacao.clear();
        reg.Ficha.clear();
        reg.Subficha.clear();
    };
    switch (reg.TipoLancProducaoEstoque) {
    case T::tlCxUnit:
        if (!m_atuCodCxUnit) return false;
        if (reg.CodigoCxUnit < 1) throw recusa("O parametro CodigoCxUnit não foi informado corretamente.");
        reg.CodigoCxColet = 0;
        semFicha();
        return true;
    case T::tlCxColet:
        if (!m_atuCodCxColet) return false;
        if (reg.CodigoCxColet < 1) throw recusa("O parametro CodigoCxColet não foi informado corretamente.");
        reg.CodigoCxUnit = 0;
        semFicha();
        return true;
    case T::tlFicha:
        if (reg.Programacao.empty() || reg.Ficha.empty()) {
            throw recusa("Os parametros Programacao/Ficha não forão informados corretamente.");
        }
        reg.CodigoCxUnit = 0;
        reg.CodigoCxColet = 0;
        reg.Subficha.clear();
        return true;
    case T::tlSubficha:
        if (reg.Programacao.empty() || reg.Ficha.empty() || reg.Subficha.empty()) {
            throw recusa("Os parametros Programacao/Ficha/Subficha não forão informados corretamente.");
        }
        reg.CodigoCxUnit = 0;
        reg.CodigoCxColet = 0;
        return true;
    case T::tlPedidoItem:
    case T::tlPedidoItemQtde:
        if (reg.Pedido.empty() || reg.ItemPed.empty()) {
            throw recusa("Os parametros Pedido/ItemPed não forão informados corretamente.");
        }
        reg.CodigoCxUnit = 0;
        reg.CodigoCxColet = 0;
        semFicha();
        return true;
    case T::tlAvulso:
        reg.CodigoCxUnit = 0;
        reg.CodigoCxColet = 0;
        return true;
    case T::tlMovInterno:
        if (reg.IdMovEstInterno < 1) throw recusa("O parametro IdMovEstInterno não foi informado corretamente.");
        reg.CodigoCxUnit = 0;
        reg.CodigoCxColet = 0;
        return true;
    }
    throw recusa(kMsgTipo);
}

void TdmEstoqueProducao::AbrirLinhas(const std::string& selecao) {
    MemTable& t = comp().cdsProdEst;
    t.close();
    comp().sqlProdEst->setSql(kCabecalhoProdEst + selecao);
}

void TdmEstoqueProducao::AbrirLinhasPedidoItemTam(const std::string& ped, const std::string& item,
                                                  const std::string& tam) {
    AbrirLinhas("where IT.PEDIDO_IT = :PED\nand IT.ITEM_IT = :ITEM\nand TAM_IT = :TAM");
    Query& q = *comp().sqlProdEst;
    q.param("PED").setString(ped);
    q.param("ITEM").setString(item);
    q.param("TAM").setString(tam);
    comp().cdsProdEst.open();
}

void TdmEstoqueProducao::AbrirLinhasPedidoItem(const std::string& ped, const std::string& item) {
    AbrirLinhas("where IT.PEDIDO_IT = :PED\nand IT.ITEM_IT = :ITEM");
    Query& q = *comp().sqlProdEst;
    q.param("PED").setString(ped);
    q.param("ITEM").setString(item);
    comp().cdsProdEst.open();
}

void TdmEstoqueProducao::AbrirLinhasProgFicha(const std::string& prog, const std::string& ficha) {
    AbrirLinhas("where IT.PROG_IT = :PROG\nand IT.FICHA_IT = :FICHA\n"
                "and IT.SIT_IT in ('P','L') and ((IT.STATUS_IT = '') or (IT.STATUS_IT is null))");
    Query& q = *comp().sqlProdEst;
    q.param("PROG").setString(prog);
    q.param("FICHA").setString(ficha);
    comp().cdsProdEst.open();
}

double TdmEstoqueProducao::LancarLimitado(double qtde) {
    MemTable& t = comp().cdsProdEst;
    const double falta = t.value("QTPED_IT").asDouble() - t.value("QTDE_JA_LANCADA").asDouble();
    const double tomado = falta > 0 ? (qtde <= falta ? qtde : falta) : 0.0;
    t.edit();
    t.setValue("QTDE_NOVO_LANC", Arredondar(tomado, 8));
    t.post();
    return tomado;
}

void TdmEstoqueProducao::LancarFixo(double qtde) {
    MemTable& t = comp().cdsProdEst;
    t.edit();
    t.setValue("QTDE_NOVO_LANC", Arredondar(qtde, 8));
    t.post();
}

void TdmEstoqueProducao::LancarLinhasCxColet(const std::string& numeracao, const std::string& qtPares) {
    MemTable& t = comp().cdsProdEst;
    // Slots of three characters; a slot starts below character 100 (counting from 1).
    for (std::size_t pos = 0; pos + 1 < 100; pos += 3) {
        const std::string tam = pos < numeracao.size() ? numeracao.substr(pos, 2) : std::string();
        if (trimmed(tam).empty()) {
            break;
        }
        const int qtde = wholeNumberOr0(pos < qtPares.size() ? trimmed(qtPares.substr(pos, 2)) : std::string());
        if (qtde <= 0) {
            continue;
        }
        for (t.first(); !t.eof(); t.next()) {
            if (t.value("TAM_IT").asString() == tam) {
                LancarLimitado(qtde);
                break;
            }
        }
    }
}

void TdmEstoqueProducao::LancarLinhasSubficha(const TRegEntradaEstoqueProd& reg) {
    Query& s = *comp().sqlSubFicha;
    s.close();
    s.param("PROG").setString(reg.Programacao);
    s.param("FICHA").setString(reg.Ficha);
    s.param("SUBFICHA").setString(reg.Subficha);
    s.open();
    std::vector<std::pair<double, std::string>> tamanhos;
    for (; !s.eof(); s.next()) {
        tamanhos.emplace_back(s.field("QTDE_PR").asDouble(), s.field("TAMA_PR").asString());
    }
    s.close();

    AbrirLinhasProgFicha(reg.Programacao, reg.Ficha);
    MemTable& t = comp().cdsProdEst;
    // The lines in size order, kept aside: an index would move an edited line behind the other
    // lines of its size.
    std::vector<std::pair<std::string, int>> porTamanho;
    for (t.first(); !t.eof(); t.next()) {
        porTamanho.emplace_back(t.value("TAM_IT").asString(), t.currentRow());
    }
    std::stable_sort(porTamanho.begin(), porTamanho.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [qtdeSub, tam] : tamanhos) {
        double q = qtdeSub;
        auto linha = std::lower_bound(porTamanho.begin(), porTamanho.end(), tam,
                                      [](const auto& l, const std::string& v) { return l.first < v; });
        for (; linha != porTamanho.end() && linha->first == tam; ++linha) {
            t.moveToRow(linha->second);
            q -= LancarLimitado(q);
            if (q <= 0) {
                break;
            }
        }
    }
}

bool TdmEstoqueProducao::MontarLinhas(const TRegEntradaEstoqueProd& reg) {
    using T = TTipoLancProducaoEstoque;
    MemTable& t = comp().cdsProdEst;
    t.close();
    switch (reg.TipoLancProducaoEstoque) {
    case T::tlCxUnit: {
        Query& q = *comp().sqlCodCxUnit;
        q.close();
        q.param("COD").setInt(reg.CodigoCxUnit);
        q.open();
        if (q.eof()) {
            q.close();
            return false;
        }
        const std::string ped = q.field("PEDIDO_CX").asString();
        const std::string item = q.field("ITEM_CX").asString();
        const std::string tam = q.field("TAM_CX").asString();
        q.close();
        AbrirLinhasPedidoItemTam(ped, item, tam);
        t.first();
        if (!t.eof()) {
            LancarLimitado(1);
        }
        return true;
    }
    case T::tlCxColet: {
        Query& q = *comp().sqlCodCxColet;
        q.close();
        q.param("COD").setInt(reg.CodigoCxColet);
        q.open();
        if (q.eof()) {
            q.close();
            return false;
        }
        const std::string ped = q.field("PEDIDO_CX").asString();
        const std::string item = q.field("ITEMPED_CX").asString();
        const std::string numeracao = q.field("NUMERACAO_CX").asString();
        const std::string qtPares = q.field("QTPARES_CX").asString();
        q.close();
        AbrirLinhasPedidoItem(ped, item);
        LancarLinhasCxColet(numeracao, qtPares);
        return true;
    }
    case T::tlFicha:
    case T::tlPedidoItem:
        if (reg.TipoLancProducaoEstoque == T::tlFicha) {
            AbrirLinhasProgFicha(reg.Programacao, reg.Ficha);
        } else {
            AbrirLinhasPedidoItem(reg.Pedido, reg.ItemPed);
        }
        for (t.first(); !t.eof(); t.next()) {
            LancarLimitado(t.value("QTPED_IT").asDouble());
        }
        return true;
    case T::tlSubficha:
        LancarLinhasSubficha(reg);
        return true;
    case T::tlPedidoItemQtde:
        AbrirLinhasPedidoItem(reg.Pedido, reg.ItemPed);
        for (t.first(); !t.eof(); t.next()) {
            LancarFixo(reg.Quantidade);
        }
        return true;
    case T::tlAvulso:
    case T::tlMovInterno:
        AbrirLinhasPedidoItem("ZZZZZZZZ", "ZZZ");
        t.append();
        t.setValue("PEDIDO_IT", Value("00000000"));
        t.setValue("ITEM_IT", Value("000"));
        t.setValue("PROD_IT", Value(reg.Produto));
        t.setValue("PADRON_IT", Value(reg.Padronizacao));
        t.setValue("TAM_IT", Value(reg.Tamanho));
        t.setValue("PROG_IT", Value("000000"));
        t.setValue("FICHA_IT", Value("0000"));
        t.setValue("FILIAL_PEDVENDA", Value(std::int32_t{0}));
        t.setValue("FILIAL_PROGRAMACAO", Value(std::int32_t{0}));
        t.setValue("QTPED_IT", Value(std::int32_t{0}));
        t.setValue("QTDE_NOVO_LANC", Value(Arredondar(reg.Quantidade, 8)));
        t.post();
        return true;
    }
    throw recusa(kMsgTipo);
}

void TdmEstoqueProducao::AbrirComBloqueio(Query& q) {
    db::ConflictRetry retry(conexao(), db::kConflictAttempts);
    for (;;) {
        try {
            q.close();
            q.open();
            return;
        } catch (const db::DbError& e) {
            q.close();
            if (!retry.again(e.isLockConflict() && !e.hasCode(isc_lock_timeout))) {
                throw;
            }
        }
    }
}

bool TdmEstoqueProducao::BloquearItensPedido(std::set<std::pair<std::string, std::string>>& bloqueados) {
    MemTable& t = comp().cdsProdEst;
    // Every item of the set, also one that looks fully booked: what it lacks is only known under its
    // lock. Sorted, so that two bookings spanning the same items take their locks in the same order.
    std::set<std::pair<std::string, std::string>> novos;
    for (t.first(); !t.eof(); t.next()) {
        std::pair item{t.value("PEDIDO_IT").asString(), t.value("ITEM_IT").asString()};
        if (!bloqueados.count(item)) {
            novos.insert(std::move(item));
        }
    }
    Query& q = *comp().sqlBloqItemPed;
    for (const auto& [ped, item] : novos) {
        q.param("PED").setString(ped);
        q.param("ITEM").setString(item);
        AbrirComBloqueio(q);
        q.close();
        bloqueados.emplace(ped, item);
    }
    return !novos.empty();
}

bool TdmEstoqueProducao::BloquearLinhasCxUnit(std::int32_t codigo,
                                              std::set<std::pair<std::string, std::string>>& bloqueados) {
    Query& q = *comp().sqlBloqLinhasCxUnit;
    q.param("COD").setInt(codigo);
    AbrirComBloqueio(q);
    const bool achou = q.field("FOUND").asInt() == 1;
    if (!q.field("PED").isNull()) {
        bloqueados.emplace(q.field("PED").asString(), q.field("ITEM").asString());
    }
    q.close();
    return achou;
}

void TdmEstoqueProducao::LancarEntrada(TRegEntradaEstoqueProd reg) {
    using T = TTipoLancProducaoEstoque;
    conexao();
    LerParametros();
    comp().cdsProdEst.close();
    if (reg.DataLanc < DateTime::fromDate(2017, 1, 1)) {
        throw recusa("O parametro DataLanc não foi informado corretamente.");
    }
    if (!PrepararRequisicao(reg)) {
        return;
    }
    // A unit box's lines name one order item only, its own: its lock is taken with the first look.
    const bool cxUnit = reg.TipoLancProducaoEstoque == T::tlCxUnit;
    if (!cxUnit && !MontarLinhas(reg)) {
        return;
    }

    db::UnitOfWork transacao(conexao());
    MemTable& t = comp().cdsProdEst;
    std::set<std::pair<std::string, std::string>> bloqueados;
    if (cxUnit && (!BloquearLinhasCxUnit(reg.CodigoCxUnit, bloqueados) || !MontarLinhas(reg))) {
        transacao.commit();
        return;
    }
    if (reg.TipoLancProducaoEstoque != T::tlAvulso && reg.TipoLancProducaoEstoque != T::tlMovInterno) {
        // What another station booked meanwhile is only seen once its lock is ours: the lines are
        // read again under the locks, until no item of them is left unlocked.
        while (BloquearItensPedido(bloqueados)) {
            if (!MontarLinhas(reg)) {
                transacao.commit();
                return;
            }
        }
    }
    for (t.first(); !t.eof(); t.next()) {
        if (t.value("QTDE_NOVO_LANC").asDouble() != 0) {
            GravarLinhaEntrada(reg);
        }
    }
    transacao.commit();
}

void TdmEstoqueProducao::GravarLinhaEntrada(const TRegEntradaEstoqueProd& reg) {
    conexao();
    MemTable& t = comp().cdsProdEst;
    const std::int32_t filialProg = t.value("FILIAL_PROGRAMACAO").asInt();
    const std::int32_t filialPed = t.value("FILIAL_PEDVENDA").asInt();
    if (reg.UsarFilialInformada == "S" && reg.FilialInformada > 0) {
        m_filialLanc = reg.FilialInformada;
    } else if (m_atuFilialProg && filialProg > 0) {
        m_filialLanc = filialProg;
    } else if (filialPed > 0) {
        m_filialLanc = filialPed;
    } else {
        m_filialLanc = reg.Filial;
    }

    const std::string prod = t.value("PROD_IT").asString();
    const std::string padron = t.value("PADRON_IT").asString();
    const std::string tam = t.value("TAM_IT").asString();

    const DateTime data = SqlTimeStampAt(reg.DataLanc, 0, 0, 0);
    const std::string docto = reg.Documento.empty() ? std::string("PRODES") : reg.Documento;
    const std::int32_t fornec = -1;
    const std::string serie = "ES";
    const std::int32_t ordem = 1;

    Query& e = *comp().sqlLinhaEntradaAdd;
    e.param("FILIAL_EMP").setInt(m_filialLanc);
    e.param("FORNEC_EMP").setInt(fornec);
    e.param("DOCTO_EMP").setString(docto);
    e.param("SERIE_EMP").setString(serie);
    e.param("ORDEM_EMP").setInt(ordem);
    e.param("DATA_EMP").setDateTime(data);
    e.param("TIPO_EMP").setString("EP");
    e.param("QTDE_EMP").setDouble(Arredondar(t.value("QTDE_NOVO_LANC").asDouble(), 8));
    e.param("PROD_EMP").setString(prod);
    e.param("PADRON_EMP").setString(padron);
    e.param("TAMANHO_EMP").setString(withoutTrailingBlanks(tam) == "*" ? std::string() : tam);
    e.param("USUARIO_EMP").setString(reg.Usuario);
    e.param("PROG_EMP").setString(t.value("PROG_IT").asString());
    e.param("FICHA_EMP").setString(t.value("FICHA_IT").asString());
    e.param("MOV_FISICA_EMP").setString("S");
    e.param("ID_ESTOQUE_MOV_INT_EMP").setInt(0);
    e.param("REG_SPED_K280_EMP").setString(reg.RegSpedK280);
    e.param("REG_SPED_K280_MES_ANO_EMP").setString(reg.RegSpedK280MesAno);
    // The production link's own columns; FILIAL_EMP to ORDEM_EMP and the id it shares with the entry.
    e.param("DATA_LANC").setDateTime(data);
    e.param("USUARIO").setString(reg.Usuario);
    e.param("PEDIDO").setString(t.value("PEDIDO_IT").asString());
    e.param("ITEM_PED").setString(t.value("ITEM_IT").asString());
    e.param("CODIGO_CXCOLET").setInt(reg.CodigoCxColet);
    e.param("CODIGO_CXUNIT").setInt(reg.CodigoCxUnit);
    e.param("PROG").setString(reg.Programacao);
    e.param("FICHA").setString(reg.Ficha);
    e.param("SUBFICHA").setString(reg.Subficha);
    e.param("ID_ESTOQUE_MOV_INT").setInt(reg.IdMovEstInterno);
    e.param("CODIGO").setString(CodigoItemEstoque(prod, padron, tam));
    auto gravou = [&e] {
        e.open();
        const bool faltou = e.field("MISSING").asInt() != 0;
        e.close();
        return !faltou;
    };
    if (!gravou()) {
        // The first entry of this product, pattern and size: its stock item is made, then used.
        BuscarProdItemEstoque(prod, padron, tam, m_filialLanc);
        if (!gravou()) {
            throw db::DbError("Stock item " + CodigoItemEstoque(prod, padron, tam) + " not found after it was made");
        }
    }
}

std::string TdmEstoqueProducao::CodigoItemEstoque(const std::string& produto, const std::string& padron,
                                                  const std::string& tamanho) {
    // A CHAR column pads its value; the padding is not part of the pattern or size.
    const std::string pad = withoutTrailingBlanks(padron);
    const std::string tam = withoutTrailingBlanks(tamanho);
    std::string codigo = produto;
    if (!pad.empty() && pad != "*") codigo += "." + pad;
    if (!tam.empty() && tam != "*") codigo += "." + tam;
    return codigo;
}

std::int32_t TdmEstoqueProducao::BuscarProdItemEstoque(const std::string& produto, const std::string& padron,
                                                       const std::string& tamanho, std::int32_t filial) {
    conexao();
    const std::string pad = withoutTrailingBlanks(padron);
    const std::string tam = withoutTrailingBlanks(tamanho);
    const std::string codigo = CodigoItemEstoque(produto, padron, tamanho);

    Query& busca = *comp().sqlProdItemEstoque;
    busca.close();
    busca.param("CODIGO").setString(codigo);
    busca.open();
    const std::int32_t existente = busca.eof() ? 0 : busca.field("ID_PI").asInt();
    busca.close();
    if (existente > 0) {
        return existente;
    }

    Query& d = *comp().sqlDescProdItemEst;
    d.close();
    d.param("PROD").setString(produto);
    d.param("PADRON").setString(padron);
    d.param("FILIAL").setInt(filial);
    d.open();
    std::string descricao;
    if (!d.eof()) {
        const std::string descNf = d.field("DESCNF_PR").asString();
        descricao = descNf.empty() ? d.field("DESC_PR").asString() : descNf;
        const std::string descPadron = d.field("DESC_PADRON").asString();
        if (!descPadron.empty()) {
            descricao += " " + descPadron;
            if (!tam.empty()) {
                descricao += " " + tam;
            }
            if (d.field("FILIAL_FORMA_AGRUP_ITENS").asString() == "PRODPADTAMREF") {
                descricao += " REF " + codigo;
            }
        }
    }
    d.close();

    const std::int32_t id = conexao().nextId(kGeradorProdItem);
    Query& add = *comp().sqlAddProdItemEstoque;
    add.param("O_ID_PROD_ITEM_EST").setInt(id);
    add.param("I_PROD").setString(produto);
    add.param("I_PADRON").setString(pad.empty() ? std::string("*") : padron);
    add.param("I_TAMANHO").setString(tam.empty() ? std::string("*") : tam);
    add.param("V_CODIGO").setString(codigo);
    add.param("V_DESC_PROD_ITEM_EST").setString(descricao);
    try {
        add.execute();
    } catch (const db::DbError& e) {
        // Another station created the item while this one waited on its code: book against theirs.
        if (!e.isUniqueViolation()) {
            throw;
        }
        busca.close();
        busca.open();
        const std::int32_t deles = busca.eof() ? 0 : busca.field("ID_PI").asInt();
        busca.close();
        if (deles <= 0) {
            throw;
        }
        return deles;
    }
    return id;
}

void TdmEstoqueProducao::CancelarEntrada(TRegEntradaEstoqueProd reg) {
    using T = TTipoLancProducaoEstoque;
    conexao();
    Componentes& c = comp();
    Query& sel = *c.sqlProdEstCanc;
    std::string linhas;
    switch (reg.TipoLancProducaoEstoque) {
    case T::tlCxUnit:
        linhas = "where CODIGO_CXUNIT_ES = :COD_CX_UNIT\n";
        break;
    case T::tlCxColet:
        linhas = "where CODIGO_CXCOLET_ES = :COD_CX_COLET\n";
        break;
    case T::tlFicha:
        linhas = "where PROG_ES = :PROG\nand FICHA_ES = :FICHA\n";
        break;
    case T::tlSubficha:
        linhas = "where PROG_ES = :PROG\nand FICHA_ES = :FICHA\nand SUBFICHA_ES = :SUBFICHA\n";
        break;
    case T::tlPedidoItem:
        linhas = "where PEDIDO_ES = :PED\n"
                 "and ITEM_PED_ES = :ITEM\n"
                 "and ((P.CODIGO_CXCOLET_ES = 0) OR (P.CODIGO_CXCOLET_ES IS NULL))\n"
                 "and ((P.CODIGO_CXUNIT_ES = 0) OR (P.CODIGO_CXUNIT_ES IS NULL))\n"
                 "and ((P.PROG_ES = '') OR (P.PROG_ES IS NULL))\n"
                 "and ((P.FICHA_ES = '') OR (P.FICHA_ES IS NULL))\n"
                 "and ((P.SUBFICHA_ES = '') OR (P.SUBFICHA_ES IS NULL))\n";
        break;
    case T::tlAvulso:
        linhas = "where ID_ES = :ID_PRODUCAO_ESTOQUE\n";
        break;
    case T::tlMovInterno:
        linhas = "where ID_ESTOQUE_MOV_INT_ES = :ID_ESTOQUE_MOV_INT\n";
        break;
    default:
        // Kind 5 bookings are taken back with kind 4; other kinds have no selection.
        throw recusa(kMsgTipo);
    }
    c.cdsProdEstCanc.close();
    sel.setSql(kCabecalhoProdEstCanc + linhas + "and STATUS_ES='A' ");
    switch (reg.TipoLancProducaoEstoque) {
    case T::tlCxUnit:
        sel.param("COD_CX_UNIT").setInt(reg.CodigoCxUnit);
        break;
    case T::tlCxColet:
        sel.param("COD_CX_COLET").setInt(reg.CodigoCxColet);
        break;
    case T::tlSubficha:
        sel.param("SUBFICHA").setString(reg.Subficha);
        [[fallthrough]];
    case T::tlFicha:
        sel.param("PROG").setString(reg.Programacao);
        sel.param("FICHA").setString(reg.Ficha);
        break;
    case T::tlPedidoItem:
        sel.param("PED").setString(reg.Pedido);
        sel.param("ITEM").setString(reg.ItemPed);
        break;
    case T::tlAvulso:
        sel.param("ID_PRODUCAO_ESTOQUE").setInt(reg.IdProducaoEstoque);
        break;
    default:
        sel.param("ID_ESTOQUE_MOV_INT").setInt(reg.IdMovEstInterno);
        break;
    }
    MemTable& links = c.cdsProdEstCanc;
    links.open();

    db::UnitOfWork transacao(conexao());
    bool marcou = false;
    Query& chave = *c.sqlChaveLogEntradaMp;
    Query& del = *c.sqlEntMpDel;
    Query& agora = *c.sqlDataServ;
    auditlog::TdmLog log(reg.Usuario, conexao());
    for (links.first(); !links.eof(); links.next()) {
        for (Query* q : {&chave, &del}) {
            q->close();
            q->param("FILIAL").setInt(links.value("FILIAL_EMP_ES").asInt());
            q->param("FORNEC").setInt(links.value("FORNEC_EMP_ES").asInt());
            q->param("DOC").setString(links.value("DOCTO_EMP_ES").asString());
            q->param("SER").setString(links.value("SERIE_EMP_ES").asString());
            q->param("ITEM").setInt(links.value("ITEM_EMP_ES").asInt());
            q->param("ORDEM").setInt(links.value("ORDEM_EMP_ES").asInt());
        }
        chave.open();
        const std::string chaveLog = chave.eof() ? std::string() : chave.field("CHAVE_LOG").asString();
        chave.close();
        // One reading of the server's clock stamps both the audit row and the cancelled link.
        agora.close();
        agora.open();
        const DateTime momento = agora.fieldAt(0).asDateTime();
        agora.close();
        if (!chaveLog.empty()) {
            log.WriteRow({chaveLog, "ENTRADAMP", "EXCLUIDO", reg.Usuario, momento,
                          "Cancelamento de Entrada de Estoque de Producao", ""});
        }
        del.execSql();

        links.edit();
        links.setValue("DATA_CANC_ES", Value(momento));
        links.setValue("USUARIO_CANC_ES", Value(reg.Usuario));
        links.setValue("STATUS_ES", Value("C"));
        links.post();
        marcou = true;
    }
    if (marcou) {
        links.applyChanges();
    }
    transacao.commit();
}

} // namespace vek::stock
