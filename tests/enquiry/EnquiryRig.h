#pragma once
// A sector station's context on fresh main and access-control databases, with recorders for tones
// and boxes: the enquiry and the cancellation run without a window.
#include "db/Query.h"
#include "enquiry/LabelEnquiry.h"
#include "enquiry/SectorCancellation.h"
#include "monitoring/ProductPictures.h"
#include "monitoring/ProductionMonitor.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"
#include "scan/StationModules.h"
#include "station/StationContext.h"
#include "support/Box.h"
#include "support/RecordingDisplay.h"
#include "support/TestDb.h"
#include "support/Tones.h"
#include "util/TextCodec.h"

#include <QString>

#include <string>
#include <vector>

namespace vek::test {

inline QString u8(const char* s) {
    return QString::fromUtf8(s);
}

/// Product P100 passes 10, 20 and 30 (ORDEM 1..3); sector 40 is outside the sequence. Ticket
/// 000123/0001 has boxes 1001..1003; the station is sector 20.
class EnquiryRig {
public:
    EnquiryRig() {
        display.setOutputs(Platform{&tones, &boxes, {}}, &ctx.params);
        ctx.settings.ATU_PRODUCAO_SETOR_CXUNIT = "S";
        ctx.settings.SETOR = "20";
        ctx.settings.FUNCIONARIO = "7";
        ctx.settings.EXIBIR_IMG_PRODUTO = "N";
        ctx.sqlCon.setDatabase(db.path());
        ctx.sqlConAcesso.setDatabase(access.path());
        ctx.configured = true;
        ctx.AccessDbOn = true;
        ctx.params.ALERTA_SONORO = true;
        ctx.params.GRUPO_USU_AUT_CANC_ATU_CXUNIT = "SUPERV";
        enquiry.traceBaseDir = db.dir();
        int order = 0;
        for (const auto& [code, previous, seq] :
             {std::tuple{"10", "", "S"}, {"20", "10", "S"}, {"30", "20", "S"}, {"40", "30", "N"}}) {
            db.exec(std::string("insert into SETOR (COD_SE, NOME_SE, SETORANT_SE, ORDEM_SE, SEQPROD_SE) values ('") +
                    code + "', 'SETOR " + code + "', '" + previous + "', " + std::to_string(++order) + ", '" + seq +
                    "')");
        }
        route("P100", {"10", "20", "30"});
        for (int code : {1001, 1002, 1003}) box(code, "P100", "000123", "0001");
    }
    ~EnquiryRig() {
        ctx.sqlCon.close();
        ctx.sqlConAcesso.close();
    }

    void route(const std::string& product, const std::vector<std::string>& sectors) {
        for (const std::string& s : sectors)
            db.exec("insert into PRODUTO_SETOR (CODIGO_PRODUTO_PS, CODIGO_SETOR_PS) values ('" + product + "', '" + s +
                    "')");
    }
    void box(const Box& b) { db.exec(b.sql()); }
    void box(int code, const std::string& product, const std::string& prog, const std::string& ficha) {
        box(Box::usual(code).prod(product).prog(prog).ficha(ficha));
    }
    /// The box recorded in a sector, as a sector station records it.
    void recorded(int code, const std::string& sector, int id) {
        db.exec("insert into PRODUCAO_SETOR_CXUNIT (ID_PU, PROG_PU, FICHA_PU, SUBFICHA_PU, SETOR_PU, QTDE_PU, "
                "CODCXUNIT_PU, DTSAIDA_PU) values (" +
                std::to_string(id) + ", '000123', '0001', '0000', '" + sector + "', 1, " + std::to_string(code) +
                ", cast('now' as timestamp))");
        db.exec("insert into PRODUCAO_SETOR (ID_PS, PROG_PS, FICHA_PS, SUBFICHA_PS, SETOR_PS, QTDE_PS, CODCXUNIT_PS) "
                "values (0, '000123', '0001', '0000', '" +
                sector + "', 1, " + std::to_string(code) + ")");
    }
    int count(const std::string& fromWhere) const {
        auto c = db.connect();
        db::Query q(*c);
        q.setSql("select count(*) as N from " + fromWhere);
        q.open();
        return q.field("N").asInt();
    }
    /// Rows of the sector list as "SETOR|DESC_SETOR|updated|pending".
    std::vector<std::string> sectorRows() {
        std::vector<std::string> rows;
        db::MemTable& t = enquiry.cdsSetoresConsulta;
        const int current = t.currentRow();
        for (t.first(); !t.eof(); t.next()) {
            rows.push_back(t.value("SETOR").asString() + "|" + t.value("DESC_SETOR").asString() + "|" +
                           std::to_string(t.value("QTDE_ATUALIZADA").asInt()) + "|" +
                           std::to_string(t.value("QTDE_PENDENTE").asInt()));
        }
        if (current >= 0) t.moveToRow(current);
        return rows;
    }
    QString enquiryMessage() { return toQString(display.text("pnMsgConsulta")); }

    TestDb db{Schema::Main};
    TestDb access{Schema::Access};
    RecordingDisplay display;
    RecordingToneOutput tones;
    RecordingMessageBoxes boxes;
    StationContext ctx{display};
    ProductionMonitor monitor{ctx};
    ProductPictures pictures{ctx.sqlConCat};
    StationModules modules{ctx.sqlCon};
    enquiry::LabelEnquiry enquiry{ctx, monitor, pictures, modules};
    enquiry::SectorCancellation cancellation{enquiry, modules};
};

} // namespace vek::test
