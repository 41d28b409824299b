#pragma once

// What a sector-40 scan sends along the route 10 → 20 → 30 → 40 once its box is locked, sent bare:
// the sector's data, the validation's reads (previous sector 30 on product P100's route, done, not
// a group of sectors; then the unit-box rules of 40 and its group) and the box's two sector rows.
// Shared by the benchmarks that compare a sector station with its bare statements.
#include "db/Connection.h"
#include "db/Query.h"
#include "station/StationContext.h"
#include "validation/TdmProducaoValidacao.h"

#include <string>

namespace vek::bench {

class BareSectorRecord {
public:
    explicit BareSectorRecord(db::Connection& c)
        : m_c(c), sector(c), previousGroup(c), groupMembers(c), done(c), product(c), sequence(c), rows(c), unit(c),
          ps(c) {
        namespace vsql = validation::sql;
        sector.setSql(sql::kDadosSetor);
        previousGroup.setSql(vsql::kMembrosAgrupamento);
        groupMembers.setSql(vsql::kSetorAgrupamento);
        done.setSql(vsql::kCxUnitBaixadaNoSetor);
        product.setSql(vsql::kProdutoSetor);
        sequence.setSql(vsql::kSetor);
        rows.setSql(vsql::kProdSetorUnit);
        unit.setSql("insert into PRODUCAO_SETOR_CXUNIT (ID_PU, PROG_PU, FICHA_PU, SUBFICHA_PU, SETOR_PU, FUNCIONAR_PU, "
                    "TIPO_OPERACAO_SETOR_PU, TIPO_ATUALIZACAO_PU, DTSAIDA_PU, HORASAIDA_PU, CODCXUNIT_PU, QTDE_PU) "
                    "values (:ID, :PROG, :FICHA, '0000', '40', '7', 'P', 'U', cast('now' as timestamp), '10:00:00', "
                    ":COD, 1)");
        ps.setSql("insert into PRODUCAO_SETOR (ID_PS, PROG_PS, FICHA_PS, SUBFICHA_PS, SETOR_PS, FUNCIONAR_PS, "
                  "TIPO_OPERACAO_SETOR_PS, TIPO_ATUALIZACAO_PS, DTSAIDA_PS, HORASAIDA_PS, CODCXUNIT_PS, QTDE_PS) "
                  "values (0, :PROG, :FICHA, '0000', '40', '7', 'P', 'U', cast('now' as timestamp), '10:00:00', "
                  ":COD, 1)");
    }

    /// The sector's data and the validation's reads for box `code`.
    void validate(int code) {
        sector.param("COD_SETOR").setString("40");
        sector.open();
        // The product's route, read once for every rule that asks.
        product.param("PROD").setString("P100");
        product.open();
        previousGroup.param("SETOR_AGRUP").setString("30");
        previousGroup.open();
        done.param("CODCXUNIT").setInt(code);
        done.param("SETOR").setString("30");
        done.open();
        sequence.open();
        rows.param("CXUNIT").setInt(code);
        rows.open();
        groupMembers.param("SETOR").setString("40");
        groupMembers.open();
    }

    /// The box's unit row and its production row in sector 40.
    void record(int code, const std::string& prog, const std::string& ficha) {
        unit.param("ID").setInt64(m_c.nextGeneratorValue("ID_PRODUCAO_SETOR_CXUNIT"));
        for (db::Query* q : {&unit, &ps}) {
            q->param("PROG").setString(prog);
            q->param("FICHA").setString(ficha);
            q->param("COD").setInt(code);
            q->execute();
        }
    }

private:
    db::Connection& m_c;
    db::Query sector, previousGroup, groupMembers, done, product, sequence, rows, unit, ps;
};

} // namespace vek::bench
