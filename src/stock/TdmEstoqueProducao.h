#pragma once

#include "util/DateTime.h"

#include <cstdint>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>

namespace vek::auditlog {
class TdmLog;
} // namespace vek::auditlog

namespace vek::db {
class Connection;
class MemTable;
class Query;
} // namespace vek::db

namespace vek::stock {

/// What a production-stock booking books. Values 7 and 9 to 255 are refused.
enum class TTipoLancProducaoEstoque : std::uint8_t {
    tlCxUnit = 0,         // one unit box
    tlCxColet = 1,        // one collective box
    tlFicha = 2,          // what a ticket still lacks
    tlSubficha = 3,       // the quantities of one sub-ticket
    tlPedidoItem = 4,     // what an order item still lacks
    tlPedidoItemQtde = 5, // a given quantity on every size of an order item
    tlAvulso = 6,         // a given quantity of a product, pattern and size, without order
    tlMovInterno = 8,     // like tlAvulso, tied to an internal stock movement
};

/// One booking or cancellation request. Start from a default-constructed record and fill what the
/// kind needs; texts are 8-bit.
struct TRegEntradaEstoqueProd {
    std::int32_t Filial = 0;
    std::string Usuario;
    std::string Documento; // empty: "PRODES"
    DateTime DataLanc;     // only the date is written; the default (day 0) counts as not set
    TTipoLancProducaoEstoque TipoLancProducaoEstoque = TTipoLancProducaoEstoque::tlCxUnit;
    std::string RegSpedK280MesAno;
    std::string RegSpedK280;
    std::string UsarFilialInformada; // "S": book into FilialInformada when it is above 0
    std::int32_t FilialInformada = 0;
    std::string Programacao;
    std::string Ficha;
    std::string Subficha;
    std::int32_t CodigoCxColet = 0;
    std::int32_t CodigoCxUnit = 0;
    std::string Pedido;
    std::string ItemPed;
    std::int32_t IdProducaoEstoque = 0;
    std::int32_t IdMovEstInterno = 0;
    std::string Produto;
    std::string Padronizacao;
    std::string Tamanho;
    double Quantidade = 0;
};

/// A request the module will not book or cancel; the message is 8-bit text.
class ELancProducaoEstoqueException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Books finished goods into production stock (stock entry lines and their production links) and
/// takes such bookings back. Database errors pass through as db::DbError.
class TdmEstoqueProducao {
public:
    TdmEstoqueProducao();
    ~TdmEstoqueProducao();
    TdmEstoqueProducao(const TdmEstoqueProducao&) = delete;
    TdmEstoqueProducao& operator=(const TdmEstoqueProducao&) = delete;

    /// Not owned; must outlive the module or be replaced first.
    void DefinirConexao(db::Connection& conexao);

    /// Books the request. Joins the connection's open transaction (no commit, no rollback) or runs
    /// in one of its own. Raises ELancProducaoEstoqueException for a rejected request.
    void LancarEntrada(TRegEntradaEstoqueProd reg);
    /// Cancels the active bookings of the request's source (kinds 0 to 4, 6 and 8), with the same
    /// transaction rule as LancarEntrada.
    void CancelarEntrada(const TRegEntradaEstoqueProd& reg);

    /// VALOR_PA of one PARAM row; empty when there is none.
    std::string LerParametro(const std::string& grupo, const std::string& param);
    /// The switches of group PRODUCAO_ESTOQUE, read again by every booking.
    void LerParametros();
    bool AtuCodCxColet() const { return m_atuCodCxColet; }
    bool AtuCodCxUnit() const { return m_atuCodCxUnit; }
    bool AtuFilialProg() const { return m_atuFilialProg; }
    /// The branch of the line written last.
    std::int32_t FilialLanc() const { return m_filialLanc; }

    /// Half away from zero to `casas` places, after dropping the representation error of the
    /// scaled value (1.005 to 2 places gives 1.01).
    static double Arredondar(double valor, int casas);

    /// Opens a statement that takes a row lock, again while another station's lock conflicts
    /// (within the connection's bounds); a lock timeout is passed on.
    void AbrirComBloqueio(db::Query& q);
    /// A unit box's first look and its order item's lock in one statement: false when the box is
    /// not there; the item locked, if any, joins `bloqueados`.
    bool BloquearLinhasCxUnit(std::int32_t codigo, std::set<std::pair<std::string, std::string>>& bloqueados);
    /// Writes the current line of cdsProdEst as its stock entry and production link, under the
    /// next id of ID_PRODUCAO_ESTOQUE, taken in the same statement.
    void GravarLinhaEntrada(const TRegEntradaEstoqueProd& reg);
    /// The stock item's code of product, pattern and size ("PROD.PADRON.TAM", "*" and blanks left out).
    static std::string CodigoItemEstoque(const std::string& produto, const std::string& padron,
                                         const std::string& tamanho);
    /// Id of the stock item of product, pattern and size, created when missing.
    std::int32_t BuscarProdItemEstoque(const std::string& produto, const std::string& padron,
                                       const std::string& tamanho, std::int32_t filial);

    /// The work set of the last booking: one row per order line with QTDE_NOVO_LANC.
    db::MemTable& cdsProdEst();

private:
    struct Componentes;

    db::Connection& conexao() const;
    Componentes& comp() const;
    /// Checks and clears the request for its kind; false when the kind's switch is off.
    bool PrepararRequisicao(TRegEntradaEstoqueProd& reg) const;
    /// Fills the work set and its quantities; false when the request's box does not exist.
    bool MontarLinhas(const TRegEntradaEstoqueProd& reg);
    void AbrirLinhasPedidoItemTam(const std::string& ped, const std::string& item, const std::string& tam);
    void AbrirLinhasPedidoItem(const std::string& ped, const std::string& item);
    void AbrirLinhasProgFicha(const std::string& prog, const std::string& ficha);
    void AbrirLinhas(const std::string& selecao);
    double LancarLimitado(double qtde);
    void LancarFixo(double qtde);
    /// Serialises bookings of the same order items across stations.
    /// Locks the order items of the work set not locked yet, adding them to `bloqueados`; true when
    /// there were any (the lines must then be read again under the new locks).
    bool BloquearItensPedido(std::set<std::pair<std::string, std::string>>& bloqueados);
    void LancarLinhasCxColet(const std::string& numeracao, const std::string& qtPares);
    void LancarLinhasSubficha(const TRegEntradaEstoqueProd& reg);

    // The steps of CancelarEntrada, in the order they run.
    /// The links' selection for the kind; kinds without one are refused before any statement runs.
    static const char* SelecaoCancelamento(TTipoLancProducaoEstoque tipo);
    /// Opens cdsProdEstCanc on the request's active links.
    void AbrirLigacoesCancelamento(const TRegEntradaEstoqueProd& reg, const char* selecao);
    /// Takes back the current link: its entry's audit row, the entry deleted, the link marked.
    void CancelarLigacao(const TRegEntradaEstoqueProd& reg, auditlog::TdmLog& log);
    /// Points the key look-up and the delete at the current link's stock entry.
    void ApontarEntradaDaLigacao();
    /// The entry's audit key; empty when the entry is gone or a column of the key is null.
    std::string LerChaveLogEntrada();
    /// The server's clock, read once per link.
    DateTime LerDataServidor();
    /// Marks the current link cancelled, to be applied with the others once all are done.
    void MarcarLigacaoCancelada(const DateTime& momento, const std::string& usuario);

    db::Connection* m_conexao = nullptr;
    db::Connection* m_conexaoComponentes = nullptr;
    bool m_conexaoPendente = true;
    std::unique_ptr<Componentes> m_comp;
    bool m_atuCodCxColet = true;
    bool m_atuCodCxUnit = true;
    bool m_atuFilialProg = false;
    std::int32_t m_filialLanc = 0;
};

} // namespace vek::stock
