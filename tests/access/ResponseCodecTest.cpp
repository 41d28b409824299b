#include "access/ResponseCodec.h"
#include "access/ResponseKeyTable.h"
#include "support/Thrown.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <climits>
#include <fstream>
#include <string>

using namespace vek::access;
using vek::test::thrown;

namespace {

std::string le32(std::int32_t value) {
    std::string out;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF));
    return out;
}

std::string deflated(const std::string& bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(bytes.data()),
             static_cast<uLong>(bytes.size()));
    out.resize(size);
    return out;
}

// An answer built by hand, independently of EncodeResponse.
std::string answer(std::int32_t offset, std::int32_t length, const std::string& keyed) {
    return le32(offset) + le32(length) + deflated(keyed);
}

std::string keyedFrom(std::int32_t offset, const std::string& text) {
    std::string out = text;
    for (std::size_t k = 0; k < out.size(); ++k) {
        out[k] = static_cast<char>(out[k] ^ ResponseKeyTable[(static_cast<std::size_t>(offset) + k) % 4096]);
    }
    return out;
}

} // namespace

TEST(ResponseKeyTable, IsTheCommittedFile) {
    std::ifstream in(VEK_KEY_TABLE_FILE);
    ASSERT_TRUE(in) << VEK_KEY_TABLE_FILE;
    std::string hex;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        for (char c : line) {
            if (std::isxdigit(static_cast<unsigned char>(c))) hex += c;
        }
    }
    ASSERT_EQ(hex.size(), 2 * kResponseKeyTableSize);
    for (std::size_t i = 0; i < kResponseKeyTableSize; ++i) {
        ASSERT_EQ(ResponseKeyTable[i], std::stoul(hex.substr(2 * i, 2), nullptr, 16)) << "byte " << i;
    }
}

TEST(DecodeResponse, ReadsAnswersBuiltByHand) {
    const std::string text = "[{\"codigo\":1}] and some Latin text: S\xE3o Paulo";
    struct Case {
        const char* name;
        std::int32_t offset;
        std::int32_t length;
        std::string expected;
    };
    const Case cases[] = {
        {"from the start", 0, static_cast<std::int32_t>(text.size()), text},
        {"wrapping past the table's end", 4090, static_cast<std::int32_t>(text.size()), text},
        {"last byte of the table", 4095, static_cast<std::int32_t>(text.size()), text},
        {"length shorter than the data", 100, 5, text.substr(0, 5)},
        {"empty text", 7, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecodeResponse(answer(c.offset, c.length, keyedFrom(c.offset, text))), c.expected);
    }
}

TEST(DecodeResponse, EncodeAndDecodeAgree) {
    std::string allBytes;
    for (int i = 0; i < 9000; ++i) allBytes.push_back(static_cast<char>(i * 7 % 256));
    for (std::int32_t offset : {0, 1, 2048, 4095}) {
        SCOPED_TRACE(offset);
        const std::string body = EncodeResponse(allBytes, offset);
        EXPECT_EQ(body.substr(0, 8), le32(offset) + le32(9000));
        EXPECT_EQ(DecodeResponse(body), allBytes);
    }
    EXPECT_THROW(EncodeResponse("x", 4096), DecodeError);
    EXPECT_THROW(EncodeResponse("x", -1), DecodeError);
}

TEST(DecodeResponse, RefusesBrokenAnswers) {
    const std::string text(300, 'a');
    const std::string good = answer(10, 300, keyedFrom(10, text));
    std::string flipped = good;
    flipped[12] = static_cast<char>(flipped[12] ^ 0x55);
    std::string badChecksum = good;
    badChecksum.back() = static_cast<char>(badChecksum.back() ^ 1);
    const std::string bomb = le32(0) + le32(kMaxPlainLength) + deflated(std::string(kMaxPlainLength + 1, '\0'));
    struct Case {
        const char* name;
        std::string body;
    };
    const Case cases[] = {
        {"empty body", ""},
        {"header cut short", good.substr(0, 6)},
        {"header without a stream", good.substr(0, 8)},
        {"stream cut in the middle", good.substr(0, good.size() / 2)},
        {"stream without its checksum", good.substr(0, good.size() - 4)},
        {"damaged stream", flipped},
        {"wrong checksum", badChecksum},
        {"not a zlib stream", le32(0) + le32(3) + "abc"},
        {"length beyond the data", answer(0, 301, keyedFrom(0, text))},
        {"negative length", answer(0, -1, keyedFrom(0, text))},
        {"length beyond the bound", answer(0, kMaxPlainLength + 1, keyedFrom(0, text))},
        {"inflates beyond the bound", bomb},
        {"offset -1", answer(-1, 300, keyedFrom(0, text))},
        {"offset 4096", answer(4096, 300, keyedFrom(0, text))},
        {"offset INT_MIN", answer(INT_MIN, 300, keyedFrom(0, text))},
        {"offset INT_MAX", answer(INT_MAX, 300, keyedFrom(0, text))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(DecodeResponse(c.body), DecodeError);
    }
}

TEST(DecodeResponse, NamesTheOffsetItRefuses) {
    const auto refused = thrown<DecodeError>([&] { DecodeResponse(answer(5000, 1, "x")); });
    ASSERT_TRUE(refused) << "no error";
    EXPECT_NE(std::string(refused->what()).find("5000"), std::string::npos) << refused->what();
}
