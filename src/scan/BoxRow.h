#pragma once

#include "util/DateTime.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vek {

namespace db {
class Query;
}

/// A unit box's row as a scan reads it once and hands to its later steps (validation, stock, the
/// messages), so no step depends on a cursor that another statement may have moved. Texts are 8-bit.
struct BoxRow {
    std::int32_t code = 0;              // CODIGO_CX
    std::string product;                // PROD_CX
    std::string pattern;                // PADRON_CX
    std::string patternDescription;     // DESC_PA
    std::string size;                   // TAM_CX
    std::string programme;              // PROG_CX
    std::string ticket;                 // FICHA_CX
    std::optional<DateTime> emission;   // DTEMISSAO_CX
    std::optional<DateTime> cancelled;  // DATA_CANC_CX
    std::optional<DateTime> writtenOff; // DTBAIXA_CX
    std::string order;                  // PEDIDO_CX
    std::string orderItem;              // ITEM_CX
    std::string brandCode;              // COD_MARCA
    std::string productGroup;           // GRUPO_PR
    std::string orderType;              // TIPO_PEDIDO
    std::optional<DateTime> serverTime; // DATA_SERV: the server's clock, where the look-up reads it

    /// The current row of a box query (`sqlCodCxUn`, `sqlCodCxUnSubProd`).
    static BoxRow of(const db::Query& query);
};

} // namespace vek
