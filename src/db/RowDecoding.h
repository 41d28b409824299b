#pragma once

// Internal to the database layer: a row of a statement's output message as values.

#include "db/FbApi.h"
#include "db/Value.h"

#include <vector>

namespace vek::db {

class Connection;

struct OutField {
    unsigned type = 0;
    int scale = 0;
    int subType = 0;
    unsigned length = 0;
    unsigned offset = 0;
    unsigned nullOffset = 0;
};

/// A prepared statement's output message: its format, where each column sits, and the buffer a
/// row is fetched into.
struct OutMessage {
    fb::Ref<Firebird::IMessageMetadata> meta;
    std::vector<OutField> fields;
    std::vector<unsigned char> buf;
};

/// The row the buffer holds now, one value per column. Blob columns are read from the server in `tra`.
std::vector<Value> decodeRow(const OutMessage& out, Connection& conn, Firebird::IAttachment* att,
                             Firebird::ITransaction* tra);

} // namespace vek::db
