#pragma once

// Internal to the database layer: a statement's parameter values into its input message.

#include "db/FbApi.h"

#include <ibase.h>

#include <cstddef>
#include <vector>

namespace vek::db {

class Connection;
class Param;

// How one positional marker is sent to the server. Rebuilding the input format costs a round of
// metadata calls, so it is only done when the shape of the bound values changes.
struct InShape {
    unsigned type = SQL_NULL;
    unsigned length = 0;
    int scale = 0;
    unsigned charSet = 0;
    int subType = 0;
    bool operator==(const InShape&) const = default;
};

struct InField {
    unsigned offset = 0;
    unsigned nullOffset = 0;
};

/// A prepared statement's input message: the format the server described, the one the values
/// are bound with now, and the buffer they are written into.
struct InMessage {
    fb::Ref<Firebird::IMessageMetadata> described; // input format as the server describes it
    std::vector<InShape> describedShape;
    fb::Ref<Firebird::IMessageMetadata> meta; // input format as bound
    std::vector<InShape> shape;
    std::vector<InField> fields;
    std::vector<unsigned char> buf;
    std::vector<InShape> scratch; // the shape of the values bound now, kept to avoid allocating per run
};

/// Writes the values of `params`, one per marker (`markers` holds each marker's parameter), into
/// the message, rebuilding its format first when their shape changed. Blob values are written on
/// the server in `tra`.
void encodeParams(InMessage& in, const std::vector<Param>& params, const std::vector<std::size_t>& markers,
                  Connection& conn, Firebird::IAttachment* att, Firebird::ITransaction* tra);

} // namespace vek::db
