#pragma once

// The bare side of bench/fleet_bench: the statements a station's scan of each kind of work sends,
// on a connection of their own, without the station around them.
#include "BareSectorRecord.h"
#include "auditlog/TdmLog.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "db/UnitOfWork.h"
#include "scan/BoxWriteOff.h"
#include "scan/SectorRecords.h"
#include "station/StationContext.h"
#include "validation/TDadosValidacao.h"
#include "validation/TdmProducaoValidacao.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace vek::bench {

/// The fleet's kinds of work: conveyors and sector-40 stations on boxes of their own, and conveyors
/// completing the same tickets in sector 50.
enum class Variant { Conveyor, Sector, Contended };

/// The message of a scan that went through.
inline constexpr const char* kUpdated = "Etiqueta Atualizada.";
/// The station's default key (CHAVE=2) opens the database with this password.
inline constexpr const char* kPassword = "tovrak47";

class BareFleetScanner {
public:
    BareFleetScanner(Variant variant, const std::string& location, std::string conveyor)
        : m_variant(variant), m_conveyor(std::move(conveyor)) {
        c.setDatabase(location);
        c.setPassword(kPassword);
        box.setSql(vek::sql::kCodCxUnScan);
        off.setSql(vek::sql::kQuilbar);
        countAll.setSql(vek::sql::kPesqEtiqProgFicha);
        // Sector mode.
        lock.setSql(vek::sql::kBloqCxUnit);
        lock.setSingleRow(true);
        sector.setSql(vek::sql::kDadosSetor);
        countInSector.setSql(vek::sql::kPesqEtiqProgFichaSetor);
        // The ticket's completion in sector 50.
        ticket.setSql(vek::sql::kBloqContaFicha);
        ticket.setSingleRow(true);
        recorded.setSql("select * \nfrom PRODUCAO_SETOR\nWHERE\nPROG_PS=:PROG and\nFICHA_PS=:FICHA and\n"
                        "SUBFICHA_PS=:SUBFICHA and\nSETOR_PS=:SETOR");
        keyFields.setSql(vek::auditlog::sql::kCampoChavePrimaria);
        logTime.setSql(vek::auditlog::sql::kDataServidor);
        log.setSql(vek::auditlog::sql::kGravarLog);
        completion.setSql("insert into PRODUCAO_SETOR (ID_PS, PROG_PS, FICHA_PS, SUBFICHA_PS, SETOR_PS, "
                          "TIPO_OPERACAO_SETOR_PS, TIPO_ATUALIZACAO_PS, DTSAIDA_PS, HORASAIDA_PS, QTDE_PS) values "
                          "(0, :PROG, :FICHA, '0000', '50', 'P', 'F', cast('now' as timestamp), '10:00:00', :QTDE)");
    }
    ~BareFleetScanner() { c.close(); }
    BareFleetScanner(const BareFleetScanner&) = delete;
    BareFleetScanner& operator=(const BareFleetScanner&) = delete;

    /// What the station would show for the scan; "Etiqueta Atualizada." when it went through.
    std::string scan(int code) {
        box.close();
        box.param("COD").setInt(code);
        box.open();
        if (box.eof()) return "not found";
        const std::string prog = box.field("PROG_CX").asString(), ficha = box.field("FICHA_CX").asString();
        box.close();
        const bool ok = vek::db::runInTransaction(c, [&](vek::db::Transaction& t) {
            const bool through =
                m_variant == Variant::Sector ? sectorUnit(code, prog, ficha) : conveyorUnit(code, prog, ficha);
            if (!through) {
                t.rollback();
                return false;
            }
            t.commit();
            return true;
        });
        return ok ? kUpdated : "already written off";
    }

private:
    void setWriteOff(int code, const char* sectorCode) {
        off.param("COD").setInt(code);
        off.param("ESTEIRA").setString(m_conveyor);
        off.param("SETOR").setString(sectorCode);
        off.param("FUNCIONARIO").setString("7");
    }

    // Pending boxes of the ticket after this one.
    int countTicket(vek::db::Query& q, int& doneBoxes) {
        q.close();
        q.open();
        int pending = 0;
        doneBoxes = 0;
        for (; !q.eof(); q.next()) {
            if (q.field("STATUS").asString() == "B") doneBoxes = q.field("QTDE").asInt();
            if (q.field("STATUS").asString() == "P") pending = q.field("QTDE").asInt();
        }
        q.close();
        return pending;
    }

    bool conveyorUnit(int code, const std::string& prog, const std::string& ficha) {
        setWriteOff(code, "");
        off.execute();
        if (off.field("CODIGO_CX").isNull()) return false;
        if (m_variant == Variant::Contended) {
            // As the station: the ticket's first box locked and its boxes counted in one statement.
            ticket.close();
            ticket.param("PROG").setString(prog);
            ticket.param("FICHA").setString(ficha);
            ticket.open();
            const int doneBoxes = ticket.field("DONE").asInt(), pending = ticket.field("PENDING").asInt();
            ticket.close();
            if (pending == 0) complete(prog, ficha, doneBoxes);
            return true;
        }
        countAll.param("PROG").setString(prog);
        countAll.param("FICHA").setString(ficha);
        int doneBoxes = 0;
        countTicket(countAll, doneBoxes);
        return true;
    }

    void complete(const std::string& prog, const std::string& ficha, int doneBoxes) {
        sector.close();
        sector.param("COD_SETOR").setString("50");
        sector.open();
        const vek::validation::TDadosValidacao data("P100", "50", prog, ficha, "0000",
                                                    sector.field("SETORANT_SE").asString(), "F", 0, c);
        if (const auto r = vek::validation::TdmProducaoValidacao(data).ValidarFicha(); !r.Valido)
            throw std::runtime_error("ticket " + ficha + " refused in sector 50: " + r.Mensagem);
        recorded.close();
        recorded.param("PROG").setString(prog);
        recorded.param("FICHA").setString(ficha);
        recorded.param("SUBFICHA").setString("0000");
        recorded.param("SETOR").setString("50");
        recorded.open();
        const bool already = !recorded.eof();
        recorded.close();
        if (already) return;
        keyFields.close();
        keyFields.param("NOME_TABELA").setString("PRODUCAO_SETOR");
        keyFields.open();
        keyFields.close();
        logTime.close();
        logTime.open();
        const vek::DateTime at = logTime.fieldAt(0).asDateTime();
        logTime.close();
        log.param("CHAVE").setString("0");
        log.param("ARQ").setString("PRODUCAO_SETOR");
        log.param("CAMPO").setString("INSERIDO");
        log.param("USUARIO").setString("QUILBAR");
        log.param("DATA").setDateTime(at);
        log.param("VRANT").setString("INSERIDO");
        log.param("VRATU").setString("INSERIDO");
        log.execute();
        completion.param("PROG").setString(prog);
        completion.param("FICHA").setString(ficha);
        completion.param("QTDE").setInt(doneBoxes);
        completion.execute();
    }

    // The same statements as bench/sector_bench: the box locked, validated along the route 10 → 20
    // → 30 → 40, written off (40 is the last sector) and recorded in 40.
    bool sectorUnit(int code, const std::string& prog, const std::string& ficha) {
        lock.close();
        lock.param("COD").setInt(code);
        lock.open();
        const bool writtenOff = !lock.eof() && !lock.field("DTBAIXA_CX").isNull();
        lock.close();
        if (writtenOff) return false;
        record.validate(code);
        setWriteOff(code, "40");
        off.execute();
        if (off.field("CODIGO_CX").isNull()) return false;
        record.record(code, prog, ficha);
        countInSector.param("SETOR").setString("40");
        countInSector.param("PROG").setString(prog);
        countInSector.param("FICHA").setString(ficha);
        int doneBoxes = 0;
        countTicket(countInSector, doneBoxes);
        return true;
    }

    Variant m_variant;
    std::string m_conveyor;
    vek::db::Connection c;
    vek::db::Query box{c}, off{c}, countAll{c}, lock{c}, sector{c}, countInSector{c}, ticket{c}, recorded{c},
        keyFields{c}, logTime{c}, log{c}, completion{c};
    BareSectorRecord record{c};
};

} // namespace vek::bench
