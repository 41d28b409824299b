#include "enquiry/LabelEnquiry.h"

#include "db/DataSetHelpers.h"
#include "db/SqlTrace.h"
#include "monitoring/ProductPictures.h"
#include "monitoring/ProductionMonitor.h"
#include "station/StationContext.h"
#include "util/Format.h"
#include "util/Text.h"
#include "util/TextCodec.h"

namespace vek::enquiry {

namespace {

std::string sqlLiteral(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

} // namespace

std::string EnquirySectorFilter(const std::string& configured, const std::string& sector,
                                const std::string& previousSectors) {
    if (!configured.empty()) return QuotedList(configured);
    if (!previousSectors.empty()) return QuotedList(sector + "," + previousSectors);
    return {};
}

std::string EnquirySectorsSql(const std::string& product, const std::string& filterList) {
    const std::string literal = sqlLiteral(product);
    std::string sql = "SELECT COD_SE, NOME_SE FROM SETOR S WHERE SEQPROD_SE = 'S'\n";
    if (!filterList.empty()) sql += "AND COD_SE IN (" + filterList + ")\n";
    sql += "AND ( ((SELECT COUNT(*) FROM PRODUTO_SETOR PS INNER JOIN SETOR SE ON SE.COD_SE = PS.CODIGO_SETOR_PS "
           "WHERE PS.CODIGO_PRODUTO_PS = " +
           literal +
           " AND SE.SEQPROD_SE = 'S') = 0) OR ((SELECT COUNT(*) FROM PRODUTO_SETOR PS WHERE PS.CODIGO_SETOR_PS = "
           "S.COD_SE AND PS.CODIGO_PRODUTO_PS = " +
           literal + ") > 0))\n";
    sql += "ORDER BY ORDEM_SE";
    return sql;
}

LabelEnquiry::LabelEnquiry(StationContext& ctx, ProductionMonitor& monitor, ProductPictures& pictures,
                           StationModules& modules)
    : sqlSetoresConsulta(ctx.sqlCon, "sqlSetoresConsulta"), sqlCodCxUnConsulta(ctx.sqlCon, "sqlCodCxUnConsulta"),
      m_ctx(ctx), m_monitor(monitor), m_pictures(pictures), m_records(ctx, monitor, modules) {
    sqlCodCxUnConsulta.setSql(sql::kCodCxUn);
    cdsSetoresConsulta.setFieldDefs({db::FieldDef::text("SETOR", 3).withLabel("Setores"),
                                     db::FieldDef::text("DESC_SETOR", 50).withLabel(" "),
                                     db::FieldDef::integer("QTDE_ATUALIZADA").withLabel("Atualizado"),
                                     db::FieldDef::integer("QTDE_PENDENTE").withLabel("Pendente")});
    cdsSetoresConsulta.createEmpty();
    cdsSetoresConsulta.setLogChanges(false);
}

bool LabelEnquiry::cancellationAvailable() const {
    return m_ctx.AccessDbOn && !m_ctx.params.GRUPO_USU_AUT_CANC_ATU_CXUNIT.empty();
}

void LabelEnquiry::Open() {
    EnquiredCode = 0;
    AuthorisingUser.clear();
    ClearEnquiry();
}

void LabelEnquiry::ClearEnquiry() {
    ClearDataSet(cdsSetoresConsulta);
    fields = {};
    m_ctx.display.paintEnquiryMessage({}, MessageColour::Neutral, false);
    pictureVisible = false;
    picture.clear();
}

void LabelEnquiry::EnquireLabel(const std::string& text) {
    ClearEnquiry();
    if (text.find_first_not_of(" \t") == std::string::npos) return;
    EnquiredCode = wholeNumberOr0(text);
    if (EnquiredCode == 0) {
        m_ctx.display.ShowEnquiryError(cp1252("Código Inválido."));
        return;
    }
    db::Query& box = sqlCodCxUnConsulta;
    box.close();
    box.param("COD").setInt(EnquiredCode);
    box.open();
    if (box.eof()) {
        m_ctx.display.ShowEnquiryError(cp1252("Código Não Localizado."));
        return;
    }
    fields.prod = box.field("PROD_CX").asString();
    fields.pad = box.field("PADRON_CX").asString() + " " + box.field("DESC_PA").asString();
    fields.tam = box.field("TAM_CX").asString();
    fields.prog = box.field("PROG_CX").asString();
    fields.ficha = box.field("FICHA_CX").asString();
    m_records.CountTicketBoxesInSector(fields.prog, fields.ficha, m_ctx.settings.SETOR);
    fields.totFicha = std::to_string(m_monitor.countDone() + m_monitor.countPending());
    if (!box.field("DATA_CANC_CX").isNull()) {
        m_ctx.display.ShowEnquiryError(cp1252("Código CANCELADO em ") +
                                       formatDateTime("dd/MM HH:mm", box.field("DATA_CANC_CX").asDateTime()));
    }
    if (m_ctx.settings.EXIBIR_IMG_PRODUTO == "S" && m_ctx.ImagesOn) {
        const std::string data =
            m_pictures.TryLookupThumbnail(fields.prod, box.field("PADRON_CX").asString()).value_or(std::string());
        if (!data.empty()) {
            m_pictures.cdsImgProd = data;
            picture = data;
            pictureVisible = true;
        } else {
            pictureVisible = false;
        }
    }
    LoadEnquirySectors();
    m_ctx.display.SuccessBeep();
}

void LabelEnquiry::LoadEnquirySectors() {
    m_ctx.OpenSectorData(m_ctx.settings.SETOR);
    ResetClientDataSet(cdsSetoresConsulta, "", false);
    std::string previous;
    if (!m_ctx.sqlDadosSetor.eof()) previous = m_ctx.sqlDadosSetor.field("SETORANT_SE").asString();
    const std::string filter =
        EnquirySectorFilter(m_ctx.settings.SETORES_CONSULTA_ETIQUETA, m_ctx.settings.SETOR, previous);
    sqlSetoresConsulta.close();
    sqlSetoresConsulta.setSql(EnquirySectorsSql(fields.prod, filter));
    if (traceBaseDir.empty())
        WriteSqlTrace(sqlSetoresConsulta, "sqlSetoresConsulta");
    else
        WriteSqlTrace(sqlSetoresConsulta, "sqlSetoresConsulta", traceBaseDir);
    struct Finally {
        LabelEnquiry& e;
        ~Finally() {
            e.cdsSetoresConsulta.first();
            e.sqlSetoresConsulta.close();
        }
    } finally{*this};
    sqlSetoresConsulta.open();
    db::UpdatesSuspended quiet(cdsSetoresConsulta);
    for (; !sqlSetoresConsulta.eof(); sqlSetoresConsulta.next()) {
        cdsSetoresConsulta.append();
        const std::string sector = sqlSetoresConsulta.field("COD_SE").asString();
        cdsSetoresConsulta.setValue("SETOR", db::Value(sector));
        cdsSetoresConsulta.setValue("DESC_SETOR", sqlSetoresConsulta.field("NOME_SE"));
        m_records.CountTicketBoxesInSector(fields.prog, fields.ficha, sector);
        cdsSetoresConsulta.setValue("QTDE_ATUALIZADA", db::Value(std::int32_t{m_monitor.countDone()}));
        cdsSetoresConsulta.setValue("QTDE_PENDENTE", db::Value(std::int32_t{m_monitor.countPending()}));
        cdsSetoresConsulta.post();
    }
}

void LabelEnquiry::RequestCancellation() {
    if (EnquiredCode == 0) {
        m_ctx.display.ShowWarningBox("Consulte a Etiqueta para cancelamento.");
        return;
    }
    AuthorisingUser.clear();
    if (consent) {
        if (auto user = consent(m_ctx.params.GRUPO_USU_AUT_CANC_ATU_CXUNIT)) AuthorisingUser = *user;
    }
    if (!AuthorisingUser.empty() && showCancellation) showCancellation();
}

} // namespace vek::enquiry
