#pragma once

#include "db/Query.h"

#include <QImage>

#include <string>

namespace vek {

class StationContext;

/// Product pictures from the catalogue database.
class ProductPictures {
public:
    explicit ProductPictures(StationContext& ctx);

    /// The medium thumbnail of the product's pattern, else the small one; the empty text when the
    /// pattern has neither.
    std::string LookupThumbnail(const std::string& product, const std::string& pattern);

    /// The picture of the last looked-up product (the scan's or the enquiry's).
    std::string cdsImgProd;

private:
    db::Query sqlImgProd;
};

/// Picture data as the catalogue stores it (JPEG or PNG); a null image for anything else.
QImage decodePicture(const std::string& data);

} // namespace vek
