#pragma once

#include "db/Query.h"

#include <QImage>

#include <chrono>
#include <optional>
#include <string>

namespace vek {

namespace db {
class Connection;
}

/// Product pictures from the catalogue database.
class ProductPictures {
public:
    /// Reads through `catalogue` (the context's sqlConCat), which must outlive it.
    explicit ProductPictures(db::Connection& catalogue);

    /// The medium thumbnail of the product's pattern, else the small one; the empty text when the
    /// pattern has neither.
    std::string LookupThumbnail(const std::string& product, const std::string& pattern);
    /// The same, or nothing when the catalogue cannot be read now. After a failure the catalogue is
    /// left alone for kRetryMs: a catalogue server that is away or silent costs one scan its
    /// picture and its wait, not every scan.
    std::optional<std::string> TryLookupThumbnail(const std::string& product, const std::string& pattern);
    /// The catalogue could not be opened or read: no lookups until kRetryMs have passed.
    void CatalogueFailed();
    bool catalogueAvailable() const;

    static constexpr int kRetryMs = 30000;

    /// The picture of the last looked-up product (the scan's or the enquiry's).
    std::string cdsImgProd;

private:
    db::Query sqlImgProd;
    std::optional<std::chrono::steady_clock::time_point> m_retryAt;
};

/// Picture data as the catalogue stores it (JPEG or PNG); a null image for anything else.
QImage decodePicture(const std::string& data);

} // namespace vek
