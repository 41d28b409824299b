#include "monitoring/RecentEntries.h"

#include "db/FieldDef.h"
#include "monitoring/FeedDatagram.h"
#include "monitoring/ProductPictures.h"
#include "station/StationContext.h"

#include <exception>

namespace vek {

namespace {

std::vector<db::FieldDef> entryFields() {
    using db::FieldDef;
    return {
        FieldDef::text("PROG", 6),
        FieldDef::text("FICHA", 4),
        FieldDef::text("PRODUTO", 8),
        FieldDef::text("PRODUTO_DESC", 100),
        FieldDef::text("PADRON", 5),
        FieldDef::text("PADRON_DESC", 100),
        FieldDef::text("MARCA", 8),
        FieldDef::text("MARCA_DESC", 75),
        FieldDef::real("QTDE_PAR").withFormat("#,###,##0").withAlignment(db::FieldAlign::Left),
        FieldDef::text("OBS_PRODUCAO", 80),
        FieldDef::blob("IMAGEM_CATALOGO"),
    };
}

// The looked-up values of one entry, gathered before anything is put in the list.
struct EntryValues {
    std::string prod, prodDesc, padron, padronDesc, marca, marcaDesc, obs, picture;
    double pairs = 0;
};

} // namespace

RecentEntries::RecentEntries(StationContext& ctx, ProductPictures& pictures)
    : m_ctx(ctx), m_pictures(pictures), sqlUltEnt(ctx.sqlCon, "sqlUltEnt") {
    sqlUltEnt.setSql("select P.PROG_PS, P.FICHA_PS, P.QTDE_PS, I.PROD_IT, I.PADRON_IT, PR.DESC_PR, PP.DESC_PP, "
                     "I.MARCA_IT, I.OBSPROD_IT,\n"
                     "       (select T.DESC_TA\n"
                     "        from TABELA T\n"
                     "        where T.NUM_TA = '70' and\n"
                     "              T.COD_TA = I.MARCA_IT) MARCA_DESC\n"
                     "from PRODUCAO_SETOR P\n"
                     "inner join ITENSPV I on I.PROG_IT = P.PROG_PS and I.FICHA_IT = P.FICHA_PS\n"
                     "left join PRODUTO PR on PR.COD_PR = I.PROD_IT\n"
                     "left join PADRONIZ_PRODUTO PP on PP.PADRONIZ_PP = I.PADRON_IT and PP.PROD_PP = I.PROD_IT\n"
                     "where  P.PROG_PS = :prog and\n"
                     "      P.FICHA_PS = :ficha");
    cdsUltEnt.setFieldDefs(entryFields());
    // Entries are never written back: without a change log, dropped entries leave nothing behind.
    cdsUltEnt.setLogChanges(false);
    cdsUltEnt.createEmpty(); // the panel's grid is built over it before the feed starts
}

void RecentEntries::Start(int capacity) {
    cdsUltEnt.close();
    cdsUltEnt.createEmpty();
    m_capacity = capacity < 0 ? 0 : capacity;
    m_started = true;
}

void RecentEntries::HandleDatagram(std::string_view bytes) noexcept {
    if (!m_started) {
        return;
    }
    try {
        if (const auto entry = parseFeedDatagram(bytes)) {
            AddRecentEntry(entry->prog, entry->ficha);
        }
    } catch (...) {
        // Whatever another system sends must not disturb the station.
    }
}

void RecentEntries::AddRecentEntry(const std::string& prog, const std::string& ficha) {
    EntryValues v;
    // A text longer than its column matches no row; the server would refuse it instead.
    if (prog.size() <= kProgLength && ficha.size() <= kFichaLength) {
        sqlUltEnt.close();
        sqlUltEnt.param("prog").setString(prog);
        sqlUltEnt.param("ficha").setString(ficha);
        sqlUltEnt.open();
        if (!sqlUltEnt.eof()) {
            v.prod = sqlUltEnt.field("PROD_IT").asString();
            v.prodDesc = sqlUltEnt.field("DESC_PR").asString();
            v.padron = sqlUltEnt.field("PADRON_IT").asString();
            v.padronDesc = sqlUltEnt.field("DESC_PP").asString();
            v.marca = sqlUltEnt.field("MARCA_IT").asString();
            v.marcaDesc = sqlUltEnt.field("MARCA_DESC").asString();
            v.pairs = sqlUltEnt.field("QTDE_PS").asDouble();
            v.obs = sqlUltEnt.field("OBSPROD_IT").asString();
        }
        sqlUltEnt.close(); // only the first row is used; the rest is not kept
    }
    if (m_ctx.ImagesOn) {
        v.picture = m_pictures.TryLookupThumbnail(v.prod, v.padron).value_or(std::string());
    }

    cdsUltEnt.first();
    cdsUltEnt.insert();
    try {
        cdsUltEnt.setValue("PROG", db::Value(prog));
        cdsUltEnt.setValue("FICHA", db::Value(ficha));
        cdsUltEnt.setValue("PRODUTO", db::Value(v.prod));
        cdsUltEnt.setValue("PRODUTO_DESC", db::Value(v.prodDesc));
        cdsUltEnt.setValue("PADRON", db::Value(v.padron));
        cdsUltEnt.setValue("PADRON_DESC", db::Value(v.padronDesc));
        cdsUltEnt.setValue("MARCA", db::Value(v.marca));
        cdsUltEnt.setValue("MARCA_DESC", db::Value(v.marcaDesc));
        cdsUltEnt.setValue("QTDE_PAR", db::Value(v.pairs));
        cdsUltEnt.setValue("OBS_PRODUCAO", db::Value(v.obs));
        if (!v.picture.empty()) {
            cdsUltEnt.setValue("IMAGEM_CATALOGO", db::Value(db::Blob{std::move(v.picture)}));
        }
        cdsUltEnt.post();
    } catch (...) {
        cdsUltEnt.cancel();
        throw;
    }
    while (cdsUltEnt.recordCount() > m_capacity) {
        cdsUltEnt.last();
        cdsUltEnt.deleteRecord();
    }
    cdsUltEnt.first();
}

} // namespace vek
