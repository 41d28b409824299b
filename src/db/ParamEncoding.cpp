#include "db/ParamEncoding.h"

#include "db/Query.h"
#include "db/ServerCall.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>
#include <variant>

namespace vek::db {

using namespace Firebird;

namespace {

constexpr unsigned kMaxVarchar = 32765;

unsigned roundCapacity(std::size_t n) {
    unsigned cap = 32;
    while (cap < n && cap < kMaxVarchar) {
        cap *= 2;
    }
    return std::min(cap, kMaxVarchar);
}

template <class T>
void put(std::vector<unsigned char>& buf, unsigned offset, T v) {
    std::memcpy(buf.data() + offset, &v, sizeof v);
}

InShape shapeFor(const Param& p, const InShape& described) {
    InShape s;
    const Value& v = p.value();
    std::visit(
        [&](const auto& x) {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, Null>) {
                s = described;
                if (s.type == SQL_NULL) {
                    // An untyped marker (such as "? is null"): send a one-byte text.
                    s = InShape{SQL_VARYING, 1, 0, 0, 0};
                }
            } else if constexpr (std::is_same_v<T, std::string>) {
                unsigned len = roundCapacity(x.size());
                if ((described.type == SQL_VARYING || described.type == SQL_TEXT) && described.length > len) {
                    len = std::min(described.length, kMaxVarchar);
                }
                if (described.type == SQL_BLOB) {
                    s = InShape{SQL_BLOB, 8, 0, described.charSet, described.subType};
                } else {
                    s = InShape{SQL_VARYING, len, 0, 0, 0};
                }
            } else if constexpr (std::is_same_v<T, std::int32_t>) {
                s = InShape{SQL_LONG, 4, 0, 0, 0};
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                s = InShape{SQL_INT64, 8, 0, 0, 0};
            } else if constexpr (std::is_same_v<T, double>) {
                s = InShape{SQL_DOUBLE, 8, 0, 0, 0};
            } else if constexpr (std::is_same_v<T, Decimal>) {
                s = InShape{SQL_INT64, 8, -x.scale, 0, 0};
            } else if constexpr (std::is_same_v<T, DateTime>) {
                s = p.bindAsDate() ? InShape{SQL_TYPE_DATE, 4, 0, 0, 0} : InShape{SQL_TIMESTAMP, 8, 0, 0, 0};
            } else if constexpr (std::is_same_v<T, Blob>) {
                s = InShape{SQL_BLOB, 8, 0, described.type == SQL_BLOB ? described.charSet : 0,
                            described.type == SQL_BLOB ? described.subType : 0};
            } else {
                s = InShape{SQL_BOOLEAN, 1, 0, 0, 0};
            }
        },
        v.storage());
    return s;
}

// The format for the values as bound now, built from the described one when their shape changed.
void bindFormat(InMessage& in, const std::vector<InShape>& shape) {
    const std::size_t n = shape.size();
    if (n == 0 || (in.meta && shape == in.shape)) {
        return;
    }
    fb::call([&](auto* st) {
        fb::Ref<IMetadataBuilder> b(in.described->getBuilder(st));
        for (unsigned i = 0; i < n; ++i) {
            b->setType(st, i, shape[i].type | 1u);
            b->setLength(st, i, shape[i].length);
            b->setScale(st, i, shape[i].scale);
            b->setCharSet(st, i, shape[i].charSet);
            b->setSubType(st, i, shape[i].subType);
        }
        in.meta.reset(b->getMetadata(st));
        in.buf.assign(in.meta->getMessageLength(st), 0);
        in.fields.assign(n, {});
        for (unsigned i = 0; i < n; ++i) {
            in.fields[i].offset = in.meta->getOffset(st, i);
            in.fields[i].nullOffset = in.meta->getNullOffset(st, i);
        }
    });
    in.shape = shape;
}

ISC_QUAD writeBlob(Connection& c, IAttachment* att, ITransaction* tra, const std::string& bytes) {
    ISC_QUAD id{};
    fb::Ref<IBlob> blob(fb::callServer(c, [&](auto* st) { return att->createBlob(st, tra, &id, 0, nullptr); }));
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const unsigned n = static_cast<unsigned>(std::min<std::size_t>(32768, bytes.size() - pos));
        fb::callServer(c, [&](auto* st) { blob->putSegment(st, n, bytes.data() + pos); });
        pos += n;
    }
    fb::callServer(c, [&](auto* st) { blob->close(st); });
    blob.forget();
    return id;
}

} // namespace

void encodeParams(InMessage& in, const std::vector<Param>& params, const std::vector<std::size_t>& markers,
                  Connection& conn, IAttachment* att, ITransaction* tra) {
    const std::size_t n = markers.size();
    std::vector<InShape>& shape = in.scratch;
    shape.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        shape[i] = shapeFor(params[markers[i]], in.describedShape[i]);
    }
    bindFormat(in, shape);
    for (std::size_t i = 0; i < n; ++i) {
        const Param& p = params[markers[i]];
        const InField& f = in.fields[i];
        const Value& v = p.value();
        put<short>(in.buf, f.nullOffset, v.isNull() ? -1 : 0);
        if (v.isNull()) {
            continue;
        }
        switch (shape[i].type) {
        case SQL_VARYING: {
            const std::string s = v.asString();
            if (s.size() > shape[i].length) {
                throw DbError("Parameter '" + p.name() + "' is too long");
            }
            put<unsigned short>(in.buf, f.offset, static_cast<unsigned short>(s.size()));
            std::memcpy(in.buf.data() + f.offset + 2, s.data(), s.size());
            break;
        }
        case SQL_LONG:
            put<ISC_LONG>(in.buf, f.offset, v.asInt());
            break;
        case SQL_INT64:
            if (const auto* dec = std::get_if<Decimal>(&v.storage())) {
                put<ISC_INT64>(in.buf, f.offset, dec->mantissa);
            } else {
                put<ISC_INT64>(in.buf, f.offset, v.asInt64());
            }
            break;
        case SQL_DOUBLE:
            put<double>(in.buf, f.offset, v.asDouble());
            break;
        case SQL_TIMESTAMP: {
            const DateTime t = v.asDateTime();
            ISC_TIMESTAMP ts;
            ts.timestamp_date = t.dayNumber();
            ts.timestamp_time = static_cast<ISC_TIME>(t.ticks());
            put<ISC_TIMESTAMP>(in.buf, f.offset, ts);
            break;
        }
        case SQL_TYPE_DATE:
            put<ISC_DATE>(in.buf, f.offset, v.asDateTime().dayNumber());
            break;
        case SQL_BLOB:
            put<ISC_QUAD>(in.buf, f.offset, writeBlob(conn, att, tra, v.asBlob()));
            break;
        case SQL_BOOLEAN:
            put<unsigned char>(in.buf, f.offset, v.asBool() ? 1 : 0);
            break;
        default:
            throw DbError("Parameter '" + p.name() + "' has an unsupported type");
        }
    }
}

} // namespace vek::db
