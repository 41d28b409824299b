#pragma once

#include <cstdint>
#include <string>

namespace vek::db {
class Connection;
}

namespace vek::validation {

/// One sector validation request. Texts are 8-bit.
class TDadosValidacao {
public:
    TDadosValidacao(std::string produto, std::string setor, std::string prog, std::string ficha, std::string subFicha,
                    std::string setorAnterior, std::string tipoAtualizacao, std::int32_t codCxColet,
                    db::Connection& conexao)
        : Produto(std::move(produto)), SubFicha(std::move(subFicha)), Setor(std::move(setor)), Ficha(std::move(ficha)),
          Prog(std::move(prog)), SetorAnterior(std::move(setorAnterior)), TipoAtualizacao(std::move(tipoAtualizacao)),
          CodCxColet(codCxColet), Conexao(conexao) {}

    std::string Produto;         // product of the ticket or box
    std::string SubFicha;        // "0000": the whole ticket
    std::string Setor;           // the sector to record in
    std::string Ficha;           // ticket within the programme
    std::string Prog;            // production programme
    std::string SetorAnterior;   // SETORANT_SE of the sector: the sectors that must come before
    std::string TipoAtualizacao; // "F" ticket, "S" sub-ticket, "T" collective box, "U" unit box
    std::int32_t CodCxColet;     // collective box, 0 when the update is not for one
    db::Connection& Conexao;     // not owned: every query of the validation runs on it
};

} // namespace vek::validation
