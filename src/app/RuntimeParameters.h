#pragma once

#include <string>

namespace vek {

namespace db {
class Connection;
}
class MessageBoxes;

/// Behaviour switches from the PARAM table, read once at start-up.
struct RuntimeParameters {
    std::string SERVIDOR_NODE;
    bool VALIDAR_SETOR_ANT_OBRIG = true;
    bool ATUALIZAR_ESTOQUE = false;
    std::string GRUPO_PROD_ATUALIZAR_ESTOQUE;
    std::string TIPO_PEDIDO_ATUALIZAR_ESTOQUE;
    int FILIAL_ESTOQUE = 1; // the stock branch (group ATU_CAIXA_UNITARIA)
    std::string TIPO_MOVTO_ESTOQUE;
    bool ALERTA_SONORO = false;
    std::string GRUPO_USU_AUT_CANC_ATU_CXUNIT;
    bool MSG_CONLUSAO = false;
    int BLOQ_ETIQ_EMISSAO_MAIOR_DIAS = 90;
    int FILIAL_ESTOQUE_PRODUCAO = 0; // the production-stock branch (group PRODUCAO_ESTOQUE)
};

/// One parameter's value, the empty text when its row does not exist. A database error shows the
/// "Erro" box about the PARAM table and is passed on.
std::string ReadParam(db::Connection& connection, MessageBoxes& boxes, const std::string& group,
                      const std::string& name);

/// Reads both groups; warns for every row of PRODUCAO_ESTOQUE read while its branch is not set.
/// `settingsBranch` (the settings file's FILIAL_ESTOQUE) replaces the stock branch when above 0.
RuntimeParameters LoadParameters(db::Connection& connection, MessageBoxes& boxes, int settingsBranch);

} // namespace vek
