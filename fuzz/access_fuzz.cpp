// Feeds arbitrary bytes to the access server answer decoder and the company list builder.
// The first byte chooses the road: even, the rest is taken as an answer off the wire; odd, the rest
// is a text that is encoded first, so that the fuzzer also reaches the list through a valid answer
// (and the text must come back unchanged).
#include "access/DatabaseList.h"
#include "access/ResponseCodec.h"
#include "json/JSONExceptions.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

using namespace vek::access;

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// Walks the entries the way the client does, so that a dangling company reference shows.
void readList(const std::string& text) {
    CompanyList companies;
    try {
        companies = ParseDatabaseList(text);
    } catch (const vek::json::JSONException&) {
        return;
    } catch (const std::invalid_argument&) {
        return;
    } catch (const std::out_of_range&) {
        return;
    }
    for (const auto& company : companies) {
        for (const auto& database : company->databases) {
            if (database->company != company.get()) fail("database without its company");
            if (letterOf(database->kind).size() != 1) fail("kind without a letter");
            const TDatabaseInfo* found = FindDatabase(*company, database->kind, database->parent, true);
            if (!found || found->kind != database->kind) fail("listed database not found");
        }
        (void)FilterDatabases(*company, TDatabaseKind::G, 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    if ((data[0] & 1) == 0) {
        std::string text;
        try {
            text = DecodeResponse(rest);
        } catch (const DecodeError&) {
            return 0;
        }
        if (text.size() > static_cast<std::size_t>(kMaxPlainLength)) fail("decoded text beyond the bound");
        readList(text);
    } else {
        const std::int32_t offset = (data[0] >> 1) * 37 % 4096;
        const std::string body = EncodeResponse(rest, offset);
        if (DecodeResponse(body) != rest) fail("encoding did not round-trip");
        readList(rest);
    }
    return 0;
}
