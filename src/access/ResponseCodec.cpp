#include "access/ResponseCodec.h"

#include "access/ResponseKeyTable.h"

#include <zlib.h>

#include <array>
#include <climits>
#include <memory>

namespace vek::access {

namespace {

constexpr std::size_t kHeaderSize = 8;

std::int32_t readInt32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    }
    return static_cast<std::int32_t>(value);
}

void appendInt32(std::string& out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
}

void applyKey(std::string& text, std::int32_t offset) {
    std::size_t k = static_cast<std::size_t>(offset);
    for (char& c : text) {
        c = static_cast<char>(static_cast<unsigned char>(c) ^ ResponseKeyTable[k]);
        k = (k + 1) % kResponseKeyTableSize;
    }
}

void checkOffset(std::int32_t offset) {
    if (offset < 0 || offset >= static_cast<std::int32_t>(kResponseKeyTableSize)) {
        throw DecodeError("Resposta do servidor de acesso com deslocamento fora da tabela: " + std::to_string(offset));
    }
}

struct InflateEnd {
    void operator()(z_stream* stream) const { inflateEnd(stream); }
};

// The whole stream, up to its end and its checksum, and never more than the bound.
std::string inflateBounded(std::string_view compressed) {
    if (compressed.size() > UINT_MAX) throw DecodeError("Resposta do servidor de acesso grande demais.");
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) throw DecodeError("Falha ao iniciar a descompressao.");
    const std::unique_ptr<z_stream, InflateEnd> guard(&stream);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());

    std::string out;
    std::array<char, 16384> chunk{};
    for (;;) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk.data());
        stream.avail_out = static_cast<uInt>(chunk.size());
        const int rc = inflate(&stream, Z_NO_FLUSH);
        const std::size_t produced = chunk.size() - stream.avail_out;
        if (out.size() + produced > static_cast<std::size_t>(kMaxPlainLength)) {
            throw DecodeError("Resposta do servidor de acesso grande demais.");
        }
        out.append(chunk.data(), produced);
        if (rc == Z_STREAM_END) return out;
        if (rc == Z_BUF_ERROR || (rc == Z_OK && stream.avail_in == 0 && produced < chunk.size())) {
            throw DecodeError("Resposta do servidor de acesso incompleta.");
        }
        if (rc != Z_OK) throw DecodeError("Resposta do servidor de acesso corrompida.");
    }
}

} // namespace

std::string DecodeResponse(std::string_view body) {
    if (body.size() < kHeaderSize) throw DecodeError("Resposta do servidor de acesso incompleta.");
    const std::int32_t offset = readInt32(body, 0);
    const std::int32_t length = readInt32(body, 4);
    checkOffset(offset);
    if (length < 0 || length > kMaxPlainLength) {
        throw DecodeError("Resposta do servidor de acesso com tamanho invalido: " + std::to_string(length));
    }
    std::string text = inflateBounded(body.substr(kHeaderSize));
    if (text.size() < static_cast<std::size_t>(length)) {
        throw DecodeError("Resposta do servidor de acesso menor que o tamanho informado.");
    }
    text.resize(static_cast<std::size_t>(length));
    applyKey(text, offset);
    return text;
}

std::string EncodeResponse(std::string_view text, std::int32_t offset) {
    checkOffset(offset);
    if (text.size() > static_cast<std::size_t>(kMaxPlainLength)) {
        throw DecodeError("Texto grande demais para uma resposta do servidor de acesso.");
    }
    std::string plain(text);
    applyKey(plain, offset);

    uLongf capacity = compressBound(static_cast<uLong>(plain.size()));
    std::string compressed(capacity, '\0');
    if (compress2(reinterpret_cast<Bytef*>(compressed.data()), &capacity, reinterpret_cast<const Bytef*>(plain.data()),
                  static_cast<uLong>(plain.size()), Z_BEST_COMPRESSION) != Z_OK) {
        throw DecodeError("Falha ao comprimir a resposta.");
    }
    compressed.resize(capacity);

    std::string body;
    body.reserve(kHeaderSize + compressed.size());
    appendInt32(body, offset);
    appendInt32(body, static_cast<std::int32_t>(plain.size()));
    body += compressed;
    return body;
}

} // namespace vek::access
