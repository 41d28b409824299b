#include "monitoring/ProductPictures.h"

#include "station/StationContext.h"

#include <QByteArray>

namespace vek {

ProductPictures::ProductPictures(StationContext& ctx) : sqlImgProd(ctx.sqlConCat, "sqlImgProd") {
    sqlImgProd.setSql("SELECT THUMBM_PP, THUMB_PP\n"
                      "FROM PADRONIZ_PRODUTO\n"
                      "WHERE PRODUTO_PP = :PROD\n"
                      "AND PADRONIZ_PP = :PADRON");
}

std::string ProductPictures::LookupThumbnail(const std::string& product, const std::string& pattern) {
    std::string result;
    sqlImgProd.close();
    sqlImgProd.param("PROD").setString(product);
    sqlImgProd.param("PADRON").setString(pattern);
    sqlImgProd.open();
    if (!sqlImgProd.eof()) {
        const db::Value& m = sqlImgProd.field("THUMBM_PP");
        result = !m.isNull() ? m.asBlob() : sqlImgProd.field("THUMB_PP").asBlob();
    }
    sqlImgProd.close();
    return result;
}

QImage decodePicture(const std::string& data) {
    const QByteArray bytes = QByteArray::fromRawData(data.data(), static_cast<qsizetype>(data.size()));
    QImage img;
    if (!img.loadFromData(bytes, "JPG") && !img.loadFromData(bytes, "PNG")) {
        return {};
    }
    return img;
}

} // namespace vek
