#include "util/TaxExports.h"

#include "util/TaxId.h"

#include <cstring>
#include <string>
#include <string_view>

namespace {

std::string_view viewOf(const char* text) {
    return text == nullptr ? std::string_view() : std::string_view(text);
}

size_t copyOut(const std::string& result, char* out, size_t outSize) {
    if (out != nullptr && outSize > 0) {
        const size_t n = result.size() < outSize ? result.size() : outSize - 1;
        std::memcpy(out, result.data(), n);
        out[n] = '\0';
    }
    return result.size();
}

// Nothing may unwind into a C caller; an allocation failure gives the empty text.
template <typename F>
size_t textResult(F&& compute, char* out, size_t outSize) noexcept {
    try {
        return copyOut(compute(), out, outSize);
    } catch (...) {
        return copyOut(std::string(), out, outSize);
    }
}

} // namespace

extern "C" {

int CgcCpfValido(const char* text) {
    try {
        return vek::isTaxIdValid(viewOf(text)) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

char* des(char* buffer) {
    if (buffer == nullptr) {
        return nullptr;
    }
    char* write = buffer;
    for (const char* read = buffer; *read != '\0'; ++read) {
        if (*read >= '0' && *read <= '9') {
            *write++ = *read;
        }
    }
    *write = '\0';
    return buffer;
}

size_t desFormataCGCCPF(const char* text, char* out, size_t outSize) {
    return textResult([text] { return vek::taxIdDigits(viewOf(text)); }, out, outSize);
}

size_t formataCGCCPF(const char* text, char* out, size_t outSize) {
    return textResult([text] { return vek::formatTaxId(viewOf(text)); }, out, outSize);
}

} // extern "C"
