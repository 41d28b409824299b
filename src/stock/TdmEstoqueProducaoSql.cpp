#include "stock/TdmEstoqueProducaoSql.h"

#include "db/SqlText.h"

#include <cctype>
#include <string>
#include <utility>

namespace vek::stock::sql {

const char* const kGeradorProdEst = "ID_PRODUCAO_ESTOQUE";
const char* const kGeradorProdItem = "ID_PROD_ITEM_ESTOQUE";

const char* const kParam = "SELECT VALOR_PA FROM PARAM WHERE GRUPO_PA = :GRUPO AND PARAM_PA = :PARAM";
const char* const kParams = "SELECT PARAM_PA, VALOR_PA FROM PARAM WHERE GRUPO_PA = 'PRODUCAO_ESTOQUE' AND "
                            "PARAM_PA IN ('ATU_CODCXCOLET', 'ATU_CODCXUNIT', 'ATU_FILIAL_PROG')";

const char* const kCodCxUnit = "select PROD_CX, PADRON_CX, TAM_CX, PROG_CX, FICHA_CX, PEDIDO_CX, ITEM_CX\n"
                               "from CODCXUNIT\n"
                               "where CODIGO_CX = :COD";
const char* const kCodCxColet = "select PEDIDO_CX, ITEMPED_CX, NUMERACAO_CX, QTPARES_CX\n"
                                "from CODCXCOLET\n"
                                "where CODIGO_CX = :COD";
const char* const kSubFicha = "select QTDE_PR, TAMA_PR from SUBPROD\n"
                              "where PROG_PR = :PROG\n"
                              "and FICHA_PR = :FICHA\n"
                              "and SUBFICHA_PR = :SUBFICHA";

// A line of size "*" is written with an empty TAMANHO_EMP, so its bookings are matched by that.
const char* const kCabecalhoProdEst =
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
const char* const kBloqItemPed = R"(select PEDIDO_IT from ITENSPV
where PEDIDO_IT = :PED
and ITEM_IT = :ITEM
for update with lock)";

// A unit box's first look: the box's order item locked when it has a line of the box's size, as
// MontarLinhas followed by BloquearItensPedido would take it, in one statement. FOUND tells
// whether the box is there; PED and ITEM name the item locked, null when none was.
const char* const kBloqLinhasCxUnit = R"(execute block (COD type of column CODCXUNIT.CODIGO_CX = :COD)
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

const char* const kLinhasPedidoItemTam = "where IT.PEDIDO_IT = :PED\nand IT.ITEM_IT = :ITEM\nand TAM_IT = :TAM";
const char* const kLinhasPedidoItem = "where IT.PEDIDO_IT = :PED\nand IT.ITEM_IT = :ITEM";
const char* const kLinhasProgFicha = "where IT.PROG_IT = :PROG\nand IT.FICHA_IT = :FICHA\n"
                                     "and IT.SIT_IT in ('P','L') and ((IT.STATUS_IT = '') or (IT.STATUS_IT is null))";

namespace {

const char* const kEntMpAdd = R"(insert into ENTRADAMP (
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

const char* const kProdEstAdd = R"(insert into PRODUCAO_ESTOQUE (
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

} // namespace

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

const char* const kProdItemEstoque = "SELECT ID_PI, DESCRICAO_PI FROM PROD_ITEM_ESTOQUE WHERE CODIGO_PI = :CODIGO";
const char* const kDescProdItemEst = "SELECT PR.DESC_PR, PR.DESCNF_PR,\n"
                                     "(SELECT PP.DESC_PP FROM PADRONIZ_PRODUTO PP WHERE PP.PROD_PP = :PROD AND "
                                     "PP.PADRONIZ_PP = :PADRON) DESC_PADRON,\n"
                                     "(SELECT F.EMISNOTA_FORMA_AGRUP_ITENS_FI FROM FILIAL F WHERE F.COD_FI = :FILIAL) "
                                     "FILIAL_FORMA_AGRUP_ITENS\n"
                                     "FROM PRODUTO PR\n"
                                     "WHERE PR.COD_PR = :PROD";
const char* const kAddProdItemEstoque =
    "insert into PROD_ITEM_ESTOQUE(ID_PI,PROD_PI,PADRON_PI,TAMANHO_PI,CODIGO_PI,DESCRICAO_PI,DATA_"
    "INCLUSAO_PI,STATUS_PI,USUARIO_INCLUSAO_PI)\n"
    "                                           values "
    "(:O_ID_PROD_ITEM_EST,:I_PROD,:I_PADRON,:I_TAMANHO,:V_CODIGO,:V_DESC_PROD_ITEM_EST,cast('now' as "
    "timestamp),'A','AUTOMATICO');";

const char* const kCabecalhoProdEstCanc =
    R"(select ID_ES, DATA_CANC_ES, USUARIO_CANC_ES, PROG_ES, FICHA_ES, SUBFICHA_ES, STATUS_ES,
       FILIAL_EMP_ES, FORNEC_EMP_ES, DOCTO_EMP_ES, SERIE_EMP_ES, ITEM_EMP_ES, ORDEM_EMP_ES
from PRODUCAO_ESTOQUE P
)";

const char* const kCancCxUnit = "where CODIGO_CXUNIT_ES = :COD_CX_UNIT\n";
const char* const kCancCxColet = "where CODIGO_CXCOLET_ES = :COD_CX_COLET\n";
const char* const kCancFicha = "where PROG_ES = :PROG\nand FICHA_ES = :FICHA\n";
const char* const kCancSubficha = "where PROG_ES = :PROG\nand FICHA_ES = :FICHA\nand SUBFICHA_ES = :SUBFICHA\n";
const char* const kCancPedidoItem = "where PEDIDO_ES = :PED\n"
                                    "and ITEM_PED_ES = :ITEM\n"
                                    "and ((P.CODIGO_CXCOLET_ES = 0) OR (P.CODIGO_CXCOLET_ES IS NULL))\n"
                                    "and ((P.CODIGO_CXUNIT_ES = 0) OR (P.CODIGO_CXUNIT_ES IS NULL))\n"
                                    "and ((P.PROG_ES = '') OR (P.PROG_ES IS NULL))\n"
                                    "and ((P.FICHA_ES = '') OR (P.FICHA_ES IS NULL))\n"
                                    "and ((P.SUBFICHA_ES = '') OR (P.SUBFICHA_ES IS NULL))\n";
const char* const kCancAvulso = "where ID_ES = :ID_PRODUCAO_ESTOQUE\n";
const char* const kCancMovInterno = "where ID_ESTOQUE_MOV_INT_ES = :ID_ESTOQUE_MOV_INT\n";
const char* const kCancAtivas = "and STATUS_ES='A' ";

const char* const kChaveLogEntradaMp =
    "SELECT "
    "E.FILIAL_EMP||'|'||E.FORNEC_EMP||'|'||E.DOCTO_EMP||'|'||E.SERIE_EMP||'|'||E.ITEM_EMP||'|'||E.PROD_EMP||'"
    "|'||E.PADRON_EMP||'|'||E.TAMANHO_EMP CHAVE_LOG\n"
    "FROM ENTRADAMP E\n"
    "WHERE FILIAL_EMP = :FILIAL\n"
    "AND FORNEC_EMP = :FORNEC\n"
    "AND DOCTO_EMP = :DOC\n"
    "AND SERIE_EMP = :SER\n"
    "AND ITEM_EMP = :ITEM\n"
    "AND ORDEM_EMP = :ORDEM";
const char* const kEntMpDel = "delete from ENTRADAMP\n"
                              "where FILIAL_EMP = :FILIAL\n"
                              "and FORNEC_EMP = :FORNEC\n"
                              "and DOCTO_EMP = :DOC\n"
                              "and SERIE_EMP = :SER\n"
                              "and ITEM_EMP = :ITEM\n"
                              "and ORDEM_EMP = :ORDEM";
const char* const kDataServ = "select CURRENT_TIMESTAMP as DATA_ATUAL from RDB$DATABASE";

} // namespace vek::stock::sql
