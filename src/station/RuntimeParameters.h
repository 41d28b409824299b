#pragma once

#include <string>

namespace vek {

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
    /// True once the rows were read. Before that the tone switch's default does not hold: an error
    /// of a station that could not read its parameters sounds the alarm.
    bool read = false;
};

} // namespace vek
