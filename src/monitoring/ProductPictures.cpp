#include "monitoring/ProductPictures.h"

#include <QByteArray>

namespace vek {

ProductPictures::ProductPictures(db::Connection& catalogue) : sqlImgProd(catalogue, "sqlImgProd") {
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

std::optional<std::string> ProductPictures::TryLookupThumbnail(const std::string& product, const std::string& pattern) {
    if (!catalogueAvailable()) {
        return std::nullopt;
    }
    try {
        std::string picture = LookupThumbnail(product, pattern);
        m_retryAt.reset();
        return picture;
    } catch (const std::exception&) {
        CatalogueFailed();
        return std::nullopt;
    }
}

void ProductPictures::CatalogueFailed() {
    m_retryAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRetryMs);
}

bool ProductPictures::catalogueAvailable() const {
    return !m_retryAt || std::chrono::steady_clock::now() >= *m_retryAt;
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
