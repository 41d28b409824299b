#include "app/ParameterLoader.h"

#include "db/Query.h"
#include "station/Platform.h"

#include <QString>

#include <charconv>
#include <optional>
#include <stdexcept>

namespace vek {

namespace sql {
const char* const kReadParam = "select VALOR_PA from PARAM\n"
                               "where GRUPO_PA=:GRUPO\n"
                               "and PARAM_PA=:PARAM";
const char* const kParam = "select p.*\n"
                           "from PARAM P\n"
                           "where P.GRUPO_PA in ('ATU_CAIXA_UNITARIA', 'PRODUCAO_ESTOQUE')   ";
} // namespace sql

namespace {

std::optional<int> wholeNumber(const std::string& text) {
    std::size_t b = 0;
    while (b < text.size() && text[b] == ' ') ++b;
    const char* first = text.data() + b;
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;
    int v = 0;
    const auto r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || r.ptr != last || first == last) {
        return std::nullopt;
    }
    return v;
}

} // namespace

std::string ReadParam(db::Connection& connection, MessageBoxes& boxes, const std::string& group,
                      const std::string& name) {
    db::Query q(connection, "sqlReadParam");
    q.setSql(sql::kReadParam);
    q.param("GRUPO").setString(group);
    q.param("PARAM").setString(name);
    try {
        q.open();
        std::string value = q.field("VALOR_PA").asString();
        q.close();
        return value;
    } catch (const std::exception&) {
        boxes.show(MessageBoxes::Icon::Error, QStringLiteral("Erro"),
                   QString::fromUtf8("Erro ao abrir a tabela PARAM\rVerifique a Conexão com o Banco de Dados."));
        throw;
    }
}

void LoadParameters(db::Connection& connection, MessageBoxes& boxes, int settingsBranch, RuntimeParameters& p) {
    p = RuntimeParameters();
    p.SERVIDOR_NODE = ReadParam(connection, boxes, "DASHBOARD_PRODUCAO", "SERVIDOR_NODE");

    db::Query q(connection, "sqlParam");
    q.setSql(sql::kParam);
    q.open();
    bool productionStockRows = false;
    for (; !q.eof(); q.next()) {
        const std::string group = q.field("GRUPO_PA").asString();
        const std::string name = q.field("PARAM_PA").asString();
        const std::string value = q.field("VALOR_PA").asString();
        if (group == "ATU_CAIXA_UNITARIA") {
            if (name == "VALIDAR_SETOR_ANT_OBRIG") {
                p.VALIDAR_SETOR_ANT_OBRIG = value != "N";
            } else if (name == "ATUALIZAR_ESTOQUE") {
                p.ATUALIZAR_ESTOQUE = value == "S";
            } else if (name == "GRUPO_PROD_ATUALIZAR_ESTOQUE") {
                p.GRUPO_PROD_ATUALIZAR_ESTOQUE = value;
            } else if (name == "TIPO_PEDIDO_ATUALIZAR_ESTOQUE") {
                p.TIPO_PEDIDO_ATUALIZAR_ESTOQUE = value;
            } else if (name == "FILIAL_ESTOQUE") {
                const auto branch = wholeNumber(value);
                if (!branch) {
                    throw std::runtime_error("'" + value + "' is not a valid integer value");
                }
                if (*branch > 0) {
                    p.FILIAL_ESTOQUE = *branch;
                }
            } else if (name == "TIPO_MOVTO_ESTOQUE") {
                p.TIPO_MOVTO_ESTOQUE = value;
            } else if (name == "ALERTA_SONORO") {
                p.ALERTA_SONORO = value == "S";
            } else if (name == "GRUPO_USU_AUT_CANC_ATU_CXUNIT") {
                p.GRUPO_USU_AUT_CANC_ATU_CXUNIT = value;
            } else if (name == "MSG_CONLUSAO") {
                p.MSG_CONLUSAO = value == "S";
            } else if (name == "BLOQ_ETIQ_EMISSAO_MAIOR_DIAS") {
                p.BLOQ_ETIQ_EMISSAO_MAIOR_DIAS = wholeNumber(value).value_or(90);
            }
        } else if (group == "PRODUCAO_ESTOQUE") {
            productionStockRows = true;
            if (name == "FILIAL_ESTOQUE") {
                p.FILIAL_ESTOQUE_PRODUCAO = wholeNumber(value).value_or(0);
            }
        }
    }
    q.close();
    p.read = true;
    // Judged on the whole group: the server returns the rows in no particular order.
    if (productionStockRows && p.FILIAL_ESTOQUE_PRODUCAO <= 0) {
        boxes.show(MessageBoxes::Icon::Warning, QStringLiteral("Alerta"),
                   QString::fromUtf8("A filial do estoque de produção não foi configurada na tabela PARAM.\r"
                                     "Grupo: PRODUCAO_ESTOQUE, Param: FILIAL_ESTOQUE"));
    }
    if (settingsBranch > 0) {
        p.FILIAL_ESTOQUE = settingsBranch;
    }
}

RuntimeParameters LoadParameters(db::Connection& connection, MessageBoxes& boxes, int settingsBranch) {
    RuntimeParameters p;
    LoadParameters(connection, boxes, settingsBranch, p);
    return p;
}

} // namespace vek
