#include "db/RowDecoding.h"

#include "db/ServerCall.h"

#include <ibase.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace vek::db {

using namespace Firebird;

namespace {

template <class T>
T get(const std::vector<unsigned char>& buf, unsigned offset) {
    T v;
    std::memcpy(&v, buf.data() + offset, sizeof v);
    return v;
}

std::string readBlob(Connection& c, IAttachment* att, ITransaction* tra, ISC_QUAD id) {
    std::string out;
    fb::Ref<IBlob> blob(fb::callServer(c, [&](auto* st) { return att->openBlob(st, tra, &id, 0, nullptr); }));
    char chunk[32768];
    for (;;) {
        unsigned got = 0;
        const int r = fb::callServer(c, [&](auto* st) { return blob->getSegment(st, sizeof chunk, chunk, &got); });
        if (r != IStatus::RESULT_OK && r != IStatus::RESULT_SEGMENT) {
            break;
        }
        out.append(chunk, got);
    }
    fb::callServer(c, [&](auto* st) { blob->close(st); });
    blob.forget();
    return out;
}

} // namespace

std::vector<Value> decodeRow(const OutMessage& out, Connection& conn, IAttachment* att, ITransaction* tra) {
    const std::vector<unsigned char>& buf = out.buf;
    std::vector<Value> row;
    row.reserve(out.fields.size());
    for (const OutField& f : out.fields) {
        if (get<short>(buf, f.nullOffset) != 0) {
            row.emplace_back();
            continue;
        }
        const unsigned char* p = buf.data() + f.offset;
        switch (f.type) {
        case SQL_TEXT:
            row.emplace_back(std::string(reinterpret_cast<const char*>(p), f.length));
            break;
        case SQL_VARYING: {
            const auto len = get<unsigned short>(buf, f.offset);
            row.emplace_back(std::string(reinterpret_cast<const char*>(p + 2), len));
            break;
        }
        case SQL_SHORT:
        case SQL_LONG:
        case SQL_INT64: {
            std::int64_t raw = f.type == SQL_SHORT  ? get<short>(buf, f.offset)
                               : f.type == SQL_LONG ? get<ISC_LONG>(buf, f.offset)
                                                    : get<ISC_INT64>(buf, f.offset);
            if (f.scale < 0) {
                row.emplace_back(Decimal{raw, -f.scale});
            } else if (f.type == SQL_INT64) {
                row.emplace_back(raw);
            } else {
                row.emplace_back(static_cast<std::int32_t>(raw));
            }
            break;
        }
        case SQL_FLOAT:
            row.emplace_back(static_cast<double>(get<float>(buf, f.offset)));
            break;
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            row.emplace_back(get<double>(buf, f.offset));
            break;
        case SQL_TIMESTAMP: {
            const auto ts = get<ISC_TIMESTAMP>(buf, f.offset);
            row.emplace_back(DateTime::fromParts(ts.timestamp_date, ts.timestamp_time));
            break;
        }
        case SQL_TYPE_DATE:
            row.emplace_back(DateTime::fromParts(get<ISC_DATE>(buf, f.offset), 0));
            break;
        case SQL_TYPE_TIME:
            // A time of day alone sits on day zero of the serial calendar.
            row.emplace_back(DateTime::fromSerial(0).addTicks(get<ISC_TIME>(buf, f.offset)));
            break;
        case SQL_BLOB:
            row.emplace_back(Blob{readBlob(conn, att, tra, get<ISC_QUAD>(buf, f.offset))});
            break;
        case SQL_BOOLEAN:
            row.emplace_back(*p != 0);
            break;
        default:
            row.emplace_back();
            break;
        }
    }
    return row;
}

} // namespace vek::db
