#pragma once

#include "db/Value.h"
#include "validation/TDadosValidacao.h"
#include "validation/TRetorno.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vek::db {
class Query;
}

namespace vek::validation {

/// The statements the module sends, as sent (lines joined by line breaks).
namespace sql {
extern const char* const kSetor;                    // sqlSetor: the production-sequence sectors
extern const char* const kProdutoSetor;             // the product's sectors, parameter PROD
extern const char* const kSetorAgrupamento;         // sqlSetorAgrupamento: members of SETOR
extern const char* const kMembrosAgrupamento;       // the same for the previous-sector check, SETOR_AGRUP
extern const char* const kFichaBaixadaNoSetor;      // ticket (or its sub-ticket) recorded in SETOR
extern const char* const kCxUnitBaixadaNoSetor;     // unit box CODCXUNIT recorded in SETOR
extern const char* const kProg;                     // sqlProg
extern const char* const kFichaProdSetor;           // sqlFichaProdSetor
extern const char* const kSubFichaProdSetor;        // sqlSubFichaProdSetor
extern const char* const kSubP;                     // sqlSubP
extern const char* const kCodCxCol;                 // sqlCodCxCol
extern const char* const kSubProdSubFichaPrincipal; // sqlSubProd: the sub-ticket as a whole
extern const char* const kSubProdCxColet;           // sqlSubProd: the collective box or a sub-production part
extern const char* const kProdSetorFicha;           // sqlProdSetor for a whole ticket
extern const char* const kProdSetorSubFicha;        // sqlProdSetor for one sub-ticket
extern const char* const kProdSetorUnit;            // sqlProdSetorUnit
} // namespace sql

/// The sector-sequence validation of one ticket, sub-ticket, collective box or unit box: may it be
/// recorded in the sector of its TDadosValidacao? Create one per validation, call ValidarFicha or
/// ValidarCxUnit once, and let it go (also when the call raises).
///
/// The module only reads, and only through the context's connection, in whatever transaction the
/// connection holds. A refusal is a TRetorno with Valido false; database errors propagate.
class TdmProducaoValidacao {
public:
    /// `dados` is not owned and must outlive the module.
    explicit TdmProducaoValidacao(const TDadosValidacao& dados);
    ~TdmProducaoValidacao();
    TdmProducaoValidacao(const TdmProducaoValidacao&) = delete;
    TdmProducaoValidacao& operator=(const TdmProducaoValidacao&) = delete;

    /// Ticket validation (kinds "F", "S", "T" and any other kind given).
    TRetorno ValidarFicha();
    /// Unit-box validation; the previous-sector check runs only when `validarSetorAnterior`.
    TRetorno ValidarCxUnit(std::int32_t codCxUnit, bool validarSetorAnterior);

    // The shared steps.

    /// Passes when the product has no production-sequence sector, or when `setor` is one of them.
    TRetorno ValidarProdutoSetor(const std::string& produto, const std::string& setor);
    /// Passes for a sector outside the production sequence, or one whose update kind is "N" or
    /// `tipoAtualizacao`.
    TRetorno TipoAtualizacaoValido(const std::string& setor, const std::string& tipoAtualizacao);
    /// The grouping sector of `setor`; empty when it has none or is not in the production sequence.
    std::string GrupoDoSetor(const std::string& setor);

    /// Whether the ticket or box is recorded in a sector: the validation's own existence query.
    using TesteBaixado = std::function<bool(const std::string& setor)>;
    /// Every sector of the context's SetorAnterior that the product passes through must hold the
    /// ticket or box: a sector holds it when the product passes through it and `registrado` says
    /// so. A grouping sector is done when it or any one of its members holds it. The first sector
    /// not done refuses.
    TRetorno ValidarSetorAnterior(const TesteBaixado& registrado);

    /// The items of a SETORANT_SE text: separated by commas, blanks and control characters around
    /// items dropped and separating items too, double quotes keeping commas and blanks inside an
    /// item (a doubled quote stands for one), consecutive commas and a trailing comma giving empty
    /// items.
    static std::vector<std::string> ItensSetorAnterior(std::string_view texto);

private:
    struct Componentes;

    void AbrirSetores();
    /// The product's sectors (kProdutoSetor's rows), read on the first question of this validation.
    const std::vector<std::vector<db::Value>>& SetoresDoProduto(const std::string& produto);
    bool FichaBaixadaNoSetor(const std::string& setor);
    bool CxUnitBaixadaNoSetor(std::int32_t codCxUnit, const std::string& setor);
    TRetorno RegrasSetorFicha();
    TRetorno RegrasSetorCxUnit(std::int32_t codCxUnit);
    TRetorno RegrasTipoFicha();
    TRetorno RegrasCxColet();
    /// Within a group, a ticket or box may be recorded in the grouping sector or one member only.
    TRetorno ExclusividadeNoGrupo(const db::Query& linhas, std::string_view colunaSetor, const std::string& grupo);

    const TDadosValidacao& m_dados;
    std::unique_ptr<Componentes> m_c;
};

} // namespace vek::validation
