#include "json/TZAbstractObject.h"

#include "json/JSONExceptions.h"

#include <cstdint>

namespace vek::json {

bool TZAbstractObject::sameAs(const TZAbstractObject* other) const {
    return other == this;
}

JSONValuePtr TZAbstractObject::duplicate() const {
    throw NotImplmentedFeature(kNotImplementedMessage);
}

std::string TZAbstractObject::toText() const {
    static constexpr char kHex[] = "0123456789ABCDEF";
    auto address = reinterpret_cast<std::uintptr_t>(this);
    std::string digits(2 * sizeof address, '0');
    for (std::size_t i = digits.size(); i-- > 0; address >>= 4) {
        digits[i] = kHex[address & 0xF];
    }
    return std::string(className()) + " <" + digits + ">";
}

const char* TZAbstractObject::className() const {
    return "TZAbstractObject";
}

} // namespace vek::json
