#include "db/FbApi.h"

#include <ibase.h>

#include <array>
#include <vector>

namespace vek::db::fb {

Firebird::IMaster* master() {
    // The library is never unloaded: unloading it aborts the process later.
    static Firebird::IMaster* m = Firebird::fb_get_master_interface();
    return m;
}

Firebird::IUtil* util() {
    static Firebird::IUtil* u = master()->getUtilInterface();
    return u;
}

Firebird::IProvider* provider() {
    static Firebird::IProvider* p = master()->getDispatcher();
    return p;
}

void rethrow(const Firebird::FbException& e) {
    Firebird::IStatus* st = e.getStatus();
    std::array<char, 2048> text{};
    util()->formatStatus(text.data(), static_cast<unsigned>(text.size()), st);
    std::vector<std::intptr_t> codes;
    if (const intptr_t* v = st->getErrors()) {
        // Walk the (kind, value) pairs; a counted string takes three slots. String arguments point
        // into the status and are never read from the copy.
        std::size_t i = 0;
        while (i < 256 && v[i] != isc_arg_end) {
            const std::size_t width = v[i] == isc_arg_cstring ? 3 : 2;
            codes.insert(codes.end(), v + i, v + i + width);
            i += width;
        }
        codes.push_back(isc_arg_end);
    }
    throw DbError(text.data(), std::move(codes));
}

Xpb::Xpb(unsigned kind) : m_b(call([&](auto* st) { return util()->getXpbBuilder(st, kind, nullptr, 0); })) {}

const unsigned char* Xpb::buffer() {
    return call([&](auto* st) { return m_b->getBuffer(st); });
}

unsigned Xpb::length() {
    return call([&](auto* st) { return m_b->getBufferLength(st); });
}

} // namespace vek::db::fb
